#include "support/networkmanagermock.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QHostAddress>
#include <QTest>
#include <QtEndian>

namespace {

const QString kNm = "org.freedesktop.NetworkManager";
const QString kManager = "/org/freedesktop/NetworkManager";
const QString kSettings = "/org/freedesktop/NetworkManager/Settings";

QString text(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<QDBusVariant>())
        return text(value.value<QDBusVariant>().variant());
    if (value.userType() != qMetaTypeId<QDBusArgument>())
        return value.userType() == QMetaType::QStringList ? value.toStringList().join(',') : value.toString();
    QStringList parts;
    const QString signature = value.value<QDBusArgument>().currentSignature();
    if (signature == "au") {
        for (uint address : qdbus_cast<QList<uint>>(value))
            parts << QHostAddress(qFromBigEndian(address)).toString();
    } else if (signature == "a{ss}") {
        for (const auto &[key, item] : qdbus_cast<QMap<QString, QString>>(value).asKeyValueRange())
            parts << key + '=' + item;
    } else {
        for (const auto &[key, item] : qdbus_cast<QVariantMap>(value).asKeyValueRange())
            parts << key + '=' + text(item);
    }
    return parts.join(',');
}

} // namespace

MockNetworkManager::~MockNetworkManager()
{
    process.kill();
    process.waitForFinished();
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
    const QString path = connections().value(0).path(), interface = kNm + ".Settings.Connection";
    QStringList lines;
    for (const QDBusMessage &reply : { call(path, interface, "GetSettings"), call(path, interface, "GetSecrets", { "vpn" }) }) {
        const auto settings = qdbus_cast<QMap<QString, QVariantMap>>(reply.arguments().value(0));
        for (const auto &[setting, keys] : settings.asKeyValueRange()) {
            for (const auto &[key, value] : keys.asKeyValueRange())
                lines << setting + '.' + key + '=' + text(value);
        }
    }
    lines.removeIf([](const QString &line) { return line.startsWith("connection.uuid="); }); // the mock's own
    lines.sort();
    return lines;
}
