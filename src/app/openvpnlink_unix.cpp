#include "app/userdatafolder.h"

#include <QFile>
#include <QStandardPaths>
#include <QtDebug>

void linkSystemOpenVpn()
{
    const QString link = QStringLiteral("openvpn.exe");
    // exists() follows the link, so one left dangling by a moved or removed OpenVPN is replaced.
    if (QFile::exists(link))
        return;
    QString program = QStandardPaths::findExecutable(QStringLiteral("openvpn"));
    // Debian puts it in /usr/sbin, which a user's PATH often lacks.
    if (program.isEmpty())
        program = QStandardPaths::findExecutable(QStringLiteral("openvpn"),
                                                 { QStringLiteral("/usr/sbin"), QStringLiteral("/sbin") });
    if (program.isEmpty())
        return;
    QFile::remove(link);
    if (!QFile::link(program, link))
        qWarning("Could not link %s as %s", qUtf8Printable(program), qUtf8Printable(link));
}
