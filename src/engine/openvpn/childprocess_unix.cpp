#include "engine/openvpn/childprocess.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

QString credentialFolder()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

void tieToClient(QProcess &process)
{
    // SIGTERM, not SIGKILL: OpenVPN then takes its tunnel down and runs its down script.
    const pid_t client = ::getpid();
    process.setChildProcessModifier([client] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != client) // the client died before the line above took effect
            ::_exit(127);
    });
}
