#include "profiletext.h"

#include <QByteArray>
#include <QFile>

QString vpnServerInfoText(const VpnServerInfo &info)
{
    switch (info.protocol) {
    case PPTP:
        return info.nickname + QStringLiteral(" - [PPTP] - {Server : ") + info.serverAddress
            + QStringLiteral(", User : ") + info.userName + QStringLiteral("}");
    case L2TP:
        return info.nickname + QStringLiteral(" - [L2TP] - {Server : ") + info.serverAddress
            + QStringLiteral(",  User : ") + info.userName + QStringLiteral("}");
    default:
        return info.nickname + QStringLiteral(" - [OpenVPN] - {User : ") + info.userName + QStringLiteral("}");
    }
}

QString loadOvpnConfigBase64(const QString &path)
{
    // No text mode: the stored configuration must decode to the file's exact bytes.
    if (path.isEmpty())
        return QString();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray bytes = file.readAll();
    file.close();
    return QString::fromLatin1(bytes.toBase64());
}
