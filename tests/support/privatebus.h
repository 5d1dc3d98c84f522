#pragma once

#include <QProcess>
#include <QTemporaryDir>

// A dbus-daemon of the test's own, exported as the system bus (DBUS_SYSTEM_BUS_ADDRESS) while the object lives.
// Anyone may connect to it, own any name and call anything.
class PrivateBus
{
public:
    PrivateBus();
    ~PrivateBus();

    // Starts a process that is killed with the test, also when the test crashes.
    static void startChild(QProcess &process, const QString &program, const QStringList &arguments);

    QString socketPath() const { return dir.filePath("bus"); }

    QString address; // empty when the daemon did not start

private:
    QTemporaryDir dir; // a socket file, not an abstract one, so a network namespace reaches it too
    QProcess daemon;
    QByteArray previousAddress;
};
