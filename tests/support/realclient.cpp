#include "support/realclient.h"

#include "config/sharedconfig.h"

#include <QDir>
#include <QFile>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

RealClient::RealClient(const QByteArray &settings, const QList<VpnServerInfo> &profiles)
{
    QFile file(dir.filePath("shared_config.ini"));
    if ((!settings.isEmpty() || !profiles.isEmpty()) && file.open(QIODevice::WriteOnly))
        file.write("[settings]\n" + settings);
    file.close();
    if (!profiles.isEmpty()) {
        SharedConfig config(file.fileName());
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
}

void RealClient::start(const QString &user, const QString &driver, const QStringList &arguments)
{
    environment.insert("QT_QPA_GENERIC_PLUGINS", driver); // "" loads none, also where an earlier start had one
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

bool RealClient::writeScript(const QString &name, const QByteArray &body) const
{
    QFile file(QDir(dir.path()).filePath(name));
    return QFileInfo(file).dir().mkpath(".") && file.open(QIODevice::WriteOnly) && file.write(body) == body.size()
           && file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
