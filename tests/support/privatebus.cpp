#include "support/privatebus.h"

#include <signal.h>
#include <sys/prctl.h>

PrivateBus::PrivateBus()
    : previousAddress(qgetenv("DBUS_SYSTEM_BUS_ADDRESS"))
{
    startChild(daemon, "dbus-daemon",
               { "--session", "--nofork", "--print-address=1", "--address=unix:path=" + dir.filePath("bus") });
    if (daemon.waitForReadyRead(5000))
        address = QString::fromUtf8(daemon.readLine()).trimmed();
    if (!address.isEmpty())
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
