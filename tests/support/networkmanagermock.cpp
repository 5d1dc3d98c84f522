#include "support/networkmanagermock.h"

#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QTest>

namespace {

const QString kNm = "org.freedesktop.NetworkManager";
const QString kManager = "/org/freedesktop/NetworkManager";
const QString kSettings = "/org/freedesktop/NetworkManager/Settings";

} // namespace

MockNetworkManager::~MockNetworkManager()
{
    process.close(); // kills it and waits
    QDBusConnection::disconnectFromBus("test");
}

bool MockNetworkManager::start(const QByteArray &walk, double delay, const QString &leftover)
{
    process.setStandardOutputFile(QProcess::nullDevice()); // its log of the calls it got
    const QByteArray parameters = "{\"walk\": " + walk + ", \"delay\": " + QByteArray::number(delay)
        + ", \"leftover\": \"" + leftover.toUtf8() + "\"}";
    PrivateBus::startChild(process, "/usr/bin/python3",
                           { "-m", "dbusmock", "--template", ORVI_NM_TEMPLATE, "--parameters", parameters });
    return QTest::qWaitFor([this] { return bus.interface()->isServiceRegistered(kNm).value(); }, 10000);
}

QDBusMessage MockNetworkManager::call(const QString &path, const QString &interface, const QString &method,
                                      const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kNm, path, interface, method);
    message.setArguments(arguments);
    return bus.call(message);
}

static QList<QDBusObjectPath> paths(MockNetworkManager &nm, const QString &path, const QString &interface,
                                    const QString &property)
{
    const QVariant value = nm.call(path, "org.freedesktop.DBus.Properties", "Get", { interface, property }).arguments().value(0);
    return qdbus_cast<QList<QDBusObjectPath>>(value.value<QDBusVariant>().variant());
}

QList<QDBusObjectPath> MockNetworkManager::active()
{
    return paths(*this, kManager, kNm, "ActiveConnections");
}

QList<QDBusObjectPath> MockNetworkManager::connections()
{
    return paths(*this, kSettings, kNm + ".Settings", "Connections");
}

QStringList MockNetworkManager::settings()
{
    return call(kSettings, "org.freedesktop.DBus.Mock", "FlatSettings").arguments().value(0).toStringList();
}
