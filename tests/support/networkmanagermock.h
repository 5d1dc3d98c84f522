#pragma once

#include "support/privatebus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QProcess>
#include <QStringList>

// NetworkManager on a bus of the test's own: python3-dbusmock's, with what networkmanager_template.py adds.
struct MockNetworkManager
{
    ~MockNetworkManager();

    // walk: the [state, reason] pairs each VPN activation walks, as JSON; delay: seconds each changing call takes;
    // leftover: the login whose older client left its connection active, if any.
    bool start(const QByteArray &walk = "[]", double delay = 0, const QString &leftover = QString());
    QDBusMessage call(const QString &path, const QString &interface, const QString &method,
                      const QVariantList &arguments = {});
    QList<QDBusObjectPath> active();
    QList<QDBusObjectPath> connections();
    // What the one connection was given, secrets included, one "setting.key=value" a line, sorted (the template's
    // FlatSettings); the options it was activated with are the setting "activation".
    QStringList settings();

    PrivateBus privateBus;
    QDBusConnection bus = QDBusConnection::connectToBus(privateBus.address, "test"); // not connected without it
    QProcess process;
};
