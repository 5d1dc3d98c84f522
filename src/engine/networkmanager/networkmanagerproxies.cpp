#include "engine/networkmanager/networkmanagerproxies.h"

#include <QDBusMessage>
#include <QDBusMetaType>

namespace {

const char *const kService = "org.freedesktop.NetworkManager";

// The calls that change something may wait for a permission check; the desktop may ask the user to authorize them.
QDBusPendingCall authorizedCall(const QDBusAbstractInterface &proxy, const QString &method, const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(proxy.service(), proxy.path(), proxy.interface(), method);
    message.setArguments(arguments);
    message.setInteractiveAuthorizationAllowed(true);
    return proxy.connection().asyncCall(message);
}

} // namespace

void registerNetworkManagerTypes()
{
    // Under the names too, which exported slots (the secret agent's) spell their arguments with.
    qRegisterMetaType<NMVariantMapMap>("NMVariantMapMap");
    qRegisterMetaType<NMStringMap>("NMStringMap");
    qDBusRegisterMetaType<NMVariantMapMap>();
    qDBusRegisterMetaType<NMStringMap>();
    qDBusRegisterMetaType<QList<QVariantMap>>(); // aa{sv}, as ipv4.route-data

}

NMManagerProxy::NMManagerProxy(const QDBusConnection &bus, QObject *parent)
    : QDBusAbstractInterface(QLatin1String(kService), QLatin1String(staticPath()), staticInterfaceName(), bus, parent)
{
    registerNetworkManagerTypes();
}

QDBusPendingReply<QDBusObjectPath, QDBusObjectPath, QVariantMap>
NMManagerProxy::AddAndActivateConnection2(const NMVariantMapMap &connection, const QDBusObjectPath &device,
                                          const QDBusObjectPath &specificObject, const QVariantMap &options)
{
    return authorizedCall(*this, QStringLiteral("AddAndActivateConnection2"),
                          { QVariant::fromValue(connection), QVariant::fromValue(device),
                            QVariant::fromValue(specificObject), options });
}

QDBusPendingReply<> NMManagerProxy::DeactivateConnection(const QDBusObjectPath &activeConnection)
{
    return authorizedCall(*this, QStringLiteral("DeactivateConnection"), { QVariant::fromValue(activeConnection) });
}

NMSettingsProxy::NMSettingsProxy(const QDBusConnection &bus, QObject *parent)
    : QDBusAbstractInterface(QLatin1String(kService), QStringLiteral("/org/freedesktop/NetworkManager/Settings"),
                             staticInterfaceName(), bus, parent)
{
}

QDBusPendingReply<QDBusObjectPath> NMSettingsProxy::GetConnectionByUuid(const QString &uuid)
{
    return asyncCall(QStringLiteral("GetConnectionByUuid"), uuid);
}

NMSettingsConnectionProxy::NMSettingsConnectionProxy(const QString &path, const QDBusConnection &bus, QObject *parent)
    : QDBusAbstractInterface(QLatin1String(kService), path, staticInterfaceName(), bus, parent)
{
}

QDBusPendingReply<> NMSettingsConnectionProxy::Delete()
{
    return authorizedCall(*this, QStringLiteral("Delete"), {});
}
