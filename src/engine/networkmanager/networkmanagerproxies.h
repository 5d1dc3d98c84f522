#pragma once

// Typed proxies for the calls whose a{sa{sv}} arguments qdbusxml2cpp cannot type without annotations that
// NetworkManager's introspection files lack; written the way the generator writes the others.

#include "engine/networkmanager/networkmanagertypes.h"

#include <QDBusAbstractInterface>
#include <QDBusObjectPath>
#include <QDBusPendingReply>

// org.freedesktop.NetworkManager at /org/freedesktop/NetworkManager.
class NMManagerProxy : public QDBusAbstractInterface
{
    Q_OBJECT

public:
    static const char *staticInterfaceName() { return "org.freedesktop.NetworkManager"; }
    static const char *staticPath() { return "/org/freedesktop/NetworkManager"; }
    NMManagerProxy(const QDBusConnection &bus, QObject *parent = nullptr);

    // Replies the new connection's path, the active connection's path and a result map.
    QDBusPendingReply<QDBusObjectPath, QDBusObjectPath, QVariantMap>
    AddAndActivateConnection2(const NMVariantMapMap &connection, const QDBusObjectPath &device,
                              const QDBusObjectPath &specificObject, const QVariantMap &options);
    QDBusPendingReply<> DeactivateConnection(const QDBusObjectPath &activeConnection);
};

// org.freedesktop.NetworkManager.Settings at /org/freedesktop/NetworkManager/Settings.
class NMSettingsProxy : public QDBusAbstractInterface
{
    Q_OBJECT

public:
    static const char *staticInterfaceName() { return "org.freedesktop.NetworkManager.Settings"; }
    NMSettingsProxy(const QDBusConnection &bus, QObject *parent = nullptr);

    QDBusPendingReply<QDBusObjectPath> GetConnectionByUuid(const QString &uuid);
};

// org.freedesktop.NetworkManager.Settings.Connection, one stored connection.
class NMSettingsConnectionProxy : public QDBusAbstractInterface
{
    Q_OBJECT

public:
    static const char *staticInterfaceName() { return "org.freedesktop.NetworkManager.Settings.Connection"; }
    NMSettingsConnectionProxy(const QString &path, const QDBusConnection &bus, QObject *parent = nullptr);

    QDBusPendingReply<> Delete();
};
