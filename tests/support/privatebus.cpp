#include "support/privatebus.h"

#include "support/tempworkdir.h"

#include <signal.h>
#include <sys/prctl.h>

PrivateBus::PrivateBus()
    : previousAddress(qgetenv("DBUS_SYSTEM_BUS_ADDRESS"))
{
    // Anyone may connect, own any name and call anything: the test's other users and services included.
    const QString config = dir.filePath("bus.conf");
    if (!TempWorkDir::writeFile(config, "<busconfig><listen>unix:path=" + QFile::encodeName(dir.filePath("bus"))
                                + "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/>"
                                  "<allow own=\"*\"/><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                                  "<allow eavesdrop=\"true\"/></policy></busconfig>", QFile::ReadOwner | QFile::WriteOwner))
        return;
    // Its folder is reached by users other than the test's, and from other mount namespaces.
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeGroup
                                          | QFile::ExeOther);
    startChild(daemon, "dbus-daemon", { "--config-file=" + config, "--nofork", "--print-address=1" });
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
