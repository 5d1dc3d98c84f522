#pragma once

#include "config/vpnserverinfo.h"
#include "support/tempworkdir.h"

#include <QProcess>
#include <QTemporaryDir>

// The real executable in a working folder and runtime folder of its own, as a user starts it: with a
// configuration file of these [settings] lines and profiles when there are any, by default driven to click the
// first profile and Connect as soon as its window is up (tests/support/uidriver). Its home is home/ in the working
// folder, and bin/ there comes first on its PATH.
struct RealClient
{
    explicit RealClient(const QByteArray &settings = QByteArray(), const QList<VpnServerInfo> &profiles = {});
    ~RealClient();

    // Starts it, as user when one is named (the test runs as root then); driver "" starts it undriven.
    void start(const QString &user = QString(), const QString &driver = QStringLiteral("orviuidriver"),
               const QStringList &arguments = {});
    // What it printed so far.
    QByteArray output();
    // A line for the driver (orviuidriver:watch) to carry out.
    void command(const QByteArray &line) { process.write(line + '\n'); }
    QString filePath(const QString &name) const { return dir.filePath(name); }
    QString runtimePath(const QString &name) const { return runtime.filePath(name); }
    // An executable script at name, in the working folder unless the path is absolute.
    bool writeScript(const QString &name, const QByteArray &body) const
    {
        return TempWorkDir::writeFile(QDir(dir.path()).filePath(name), body);
    }

    QTemporaryDir dir;     // the working folder
    QTemporaryDir runtime; // XDG_RUNTIME_DIR
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QProcess process;

private:
    void clearSegments();
};
