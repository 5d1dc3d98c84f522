#include "support/privatebus.h"

#include "support/tempworkdir.h"

#include <QFile>
#include <QRegularExpression>

#include <signal.h>
#include <sys/prctl.h>

PrivateBus::PrivateBus(bool systemPolicy)
    : previousAddress(qgetenv("DBUS_SYSTEM_BUS_ADDRESS"))
{
    const QString socket = QStringLiteral("unix:path=") + dir.filePath(QStringLiteral("bus"));
    QStringList arguments{ QStringLiteral("--nofork"), QStringLiteral("--print-address=1") };
    if (systemPolicy) {
        // The machine's own policies; its own socket, and no user switch, pid file or service activation,
        // which could start the machine's services.
        QString config = QString::fromUtf8(TempWorkDir::readFile(QStringLiteral("/usr/share/dbus-1/system.conf")));
        config.replace(QRegularExpression(QStringLiteral("<listen>.*</listen>")), "<listen>" + socket + "</listen>");
        config.remove(QRegularExpression(QStringLiteral("<(user|pidfile|servicehelper)>.*</\\1>|<(fork|standard_system_servicedirs)/>")));
        config.replace(QStringLiteral("<includedir>system.d</includedir>"),
                       QStringLiteral("<includedir>/usr/share/dbus-1/system.d</includedir>"));
        QFile file(dir.filePath(QStringLiteral("system.conf")));
        if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0)
            return;
        file.close();
        arguments << QStringLiteral("--config-file=") + file.fileName();
    } else {
        arguments << QStringLiteral("--session") << QStringLiteral("--address=") + socket;
    }
    startChild(daemon, QStringLiteral("dbus-daemon"), arguments);
    if (daemon.waitForReadyRead(5000))
        address = QString::fromUtf8(daemon.readLine()).trimmed();
    if (isRunning())
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address.toUtf8());
}

PrivateBus::~PrivateBus()
{
    if (previousAddress.isNull())
        qunsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    else
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", previousAddress);
    daemon.kill();
    daemon.waitForFinished();
}

void PrivateBus::startChild(QProcess &process, const QString &program, const QStringList &arguments)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process.start(program, arguments);
}
