#include "support/realclient.h"

#include "app/singleinstance.h"
#include "config/sharedconfig.h"

#include <QDir>
#include <QFile>
#include <QSharedMemory>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

RealClient::RealClient(const QByteArray &settings, const QList<VpnServerInfo> &profiles)
{
    if (!settings.isEmpty() || !profiles.isEmpty())
        TempWorkDir::writeFile(filePath("shared_config.ini"), "[settings]\n" + settings, QFile::ReadOwner | QFile::WriteOwner);
    if (!profiles.isEmpty()) {
        SharedConfig config(filePath("shared_config.ini"));
        config.serverInfoList = profiles;
        config.save();
    }
    environment.insert("XDG_RUNTIME_DIR", runtime.path());
    environment.insert("QT_PLUGIN_PATH", ORVI_TEST_PLUGINS);
    environment.insert("PATH", dir.filePath("bin") + ':' + environment.value("PATH"));
    environment.insert("HOME", dir.filePath("home")); // made by the client when it writes there
    environment.remove("XDG_CONFIG_HOME");
    environment.remove("XDG_DATA_HOME");
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(dir.path());
}

RealClient::~RealClient()
{
    process.kill();
    process.waitForFinished();
    clearSegments();
}

// System V keys come from the key files' inode numbers, which the file system hands out again: a segment some
// killed client left, another user's even, could meet this client's key file and read as a running copy.
void RealClient::clearSegments()
{
    for (const char *name : { kInstanceMarkerKey, kWakeUpSignalKey }) {
        QFile(runtime.filePath(name)).open(QIODevice::Append); // kept, so the client's key is the one cleared
        QSharedMemory segment;
        segment.setNativeKey(runtime.filePath(name));
        if (segment.attach()) // and detached: gone unless someone holds it
            segment.detach();
    }
}

void RealClient::start(const QString &user, const QString &driver, const QStringList &arguments)
{
    environment.insert("QT_QPA_GENERIC_PLUGINS", driver); // "" loads none, also where an earlier start had one
    clearSegments();
    process.setProcessEnvironment(environment);
    if (!user.isEmpty()) {
        const passwd *account = ::getpwnam(qPrintable(user));
        const uid_t uid = account ? account->pw_uid : 0;
        const gid_t gid = account ? account->pw_gid : 0;
        for (const QString &path : { dir.path(), runtime.path(), filePath("shared_config.ini") }) {
            if (::chown(QFile::encodeName(path).constData(), uid, gid) != 0)
                qWarning("Cannot hand %s to %s", qPrintable(path), qPrintable(user));
        }
        process.setChildProcessModifier([uid, gid] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
                ::_exit(126);
        });
    }
    process.start(ORVI_EXECUTABLE, arguments);
}

QByteArray RealClient::output()
{
    return process.peek(1 << 20);
}
