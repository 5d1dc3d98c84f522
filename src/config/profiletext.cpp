#include "profiletext.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

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

QString loadOvpnConfigBase64(const QString &path, QList<MissingOvpnFile> *missing)
{
    // No text mode: the lines the import leaves alone must decode to the file's exact bytes.
    if (path.isEmpty())
        return QString();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray bytes = file.readAll();
    file.close();
    // OpenVPN looks for the files it names in its working folder; the client's is not the configuration's.
    return QString::fromLatin1(inlineOvpnFiles(bytes, QFileInfo(path).absoluteDir(), missing).toBase64());
}
