#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A dbus-daemon of the test's own, exported as the system bus (DBUS_SYSTEM_BUS_ADDRESS) while the object lives.
// With systemPolicy it runs on the system bus's configuration and policies, else on the session bus's, where
// anyone may own any name.
class PrivateBus
{
public:
    explicit PrivateBus(bool systemPolicy = false);
    ~PrivateBus();

    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    bool isRunning() const { return !address.isEmpty(); }

    // Starts a process that is killed with the test, also when the test crashes.
    static void startChild(QProcess &process, const QString &program, const QStringList &arguments);

    QString address;

private:
    QTemporaryDir dir;
    QProcess daemon;
    QByteArray previousAddress;
};
