#include "engine/networkmanager/networkmanagerclient.h"

#include "engine/networkmanager/networkmanagerproxies.h"
#include "engine/networkmanager/networkmanagersecretagent.h"
#include "nmagentmanagerproxy.h"
#include "nmvpnconnectionproxy.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QFileInfo>
#include <QUuid>

#include <algorithm>

namespace {

const char *const kService = "org.freedesktop.NetworkManager";
const char *const kGeneration = "generation";
const char *const kPermissionDenied = "org.freedesktop.NetworkManager.PermissionDenied";
const char *const kAgentPath = "/org/freedesktop/NetworkManager/SecretAgent";
const uint kVpnHints = 0x1; // NM_SECRET_AGENT_CAPABILITY_VPN_HINTS: asked like the desktops' agents are

int clientCount = 0;
int agentCount = 0;

bool serviceMissing(const QDBusError &error)
{
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::NoServer:
    case QDBusError::Disconnected:
        return true;
    default:
        return false;
    }
}

} // namespace

QStringList defaultVpnPluginFolders()
{
    return { QStringLiteral("/usr/lib/NetworkManager/VPN"), QStringLiteral("/etc/NetworkManager/VPN") };
}

NetworkManagerClient::NetworkManagerClient(QObject *parent)
    : QObject(parent)
    , connectionName(QStringLiteral("orvi-networkmanager-%1").arg(++clientCount))
{
    connect(&agent, SIGNAL(moreSecretsRequested()), this, SLOT(onSecretsRefused()));
}

NetworkManagerClient::~NetworkManagerClient()
{
    // Closing the connection is what ends an activation bound to it, also when nothing else reaches NetworkManager.
    if (connected)
        QDBusConnection::disconnectFromBus(connectionName);
}

QDBusConnection NetworkManagerClient::bus()
{
    if (connected)
        return QDBusConnection(connectionName);
    connected = true;
    registerNetworkManagerTypes();
    // A connection of its own: closing it ends what was bound to it without touching anyone else's. The address is
    // the one every D-Bus client honours, read afresh (libdbus reads it once per process).
    QDBusConnection connection = QDBusConnection::connectToBus(
        qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS", QStringLiteral("unix:path=/var/run/dbus/system_bus_socket")),
        connectionName);
    manager = new NMManagerProxy(connection, this);
    // Subscribed before any activation, so that no state of a new VPN connection can come first.
    connection.connect(QLatin1String(kService), QString(), QLatin1String(NMVpnConnectionProxy::staticInterfaceName()),
                       QStringLiteral("VpnStateChanged"), this, SLOT(onVpnStateChanged(uint,uint,QDBusMessage)));
    auto *service = new QDBusServiceWatcher(QLatin1String(kService), connection,
                                            QDBusServiceWatcher::WatchForRegistration
                                                | QDBusServiceWatcher::WatchForUnregistration,
                                            this);
    connect(service, SIGNAL(serviceRegistered(QString)), this, SLOT(onServiceRegistered()));
    connect(service, SIGNAL(serviceUnregistered(QString)), this, SLOT(onServiceUnregistered()));
    connection.registerObject(QLatin1String(kAgentPath), &agent, QDBusConnection::ExportScriptableSlots);
    registerAgent();
    return connection;
}

void NetworkManagerClient::registerAgent()
{
    // One identifier per user and agent: a second client of the process that talks to NetworkManager gets its own.
    if (agentNumber == 0)
        agentNumber = ++agentCount;
    QString identifier = QStringLiteral("net.orvidudaru.client");
    if (agentNumber > 1)
        identifier += QStringLiteral(".%1").arg(agentNumber);
    const QDBusConnection connection = bus();
    if (!connection.isConnected())
        return;
    NMAgentManagerProxy agents(QLatin1String(kService), QStringLiteral("/org/freedesktop/NetworkManager/AgentManager"),
                               connection);
    watch(agents.RegisterWithCapabilities(identifier, kVpnHints), SLOT(onAgentRegistered(QDBusPendingCallWatcher*)));
}

void NetworkManagerClient::onAgentRegistered(QDBusPendingCallWatcher *call)
{
    call->deleteLater();
    const QDBusPendingReply<> reply = *call;
    // Without it the desktop's own agent may ask the user for a password after a failed login.
    if (reply.isError() && !serviceMissing(reply.error()))
        qWarning("NetworkManager did not take this client as a secret agent: %s", qPrintable(reply.error().message()));
}

void NetworkManagerClient::onSecretsRefused()
{
    if (!ended)
        emit secretsRefused();
}

QString NetworkManagerClient::reasonText(uint reason, const QString &protocol)
{
    switch (reason) {
    case ReasonUserDisconnected:
        return tr("The VPN connection was closed outside this client.");
    case ReasonDeviceDisconnected:
        return tr("The network connection the VPN runs over went down.");
    case ReasonServiceStopped:
        return tr("The %1 plugin of NetworkManager stopped before the connection was made.").arg(protocol);
    case ReasonIpConfigInvalid:
        return tr("The VPN server sent no usable IP configuration.");
    case ReasonConnectTimeout:
        return tr("The VPN server did not answer in time.");
    case ReasonServiceStartTimeout:
        return tr("The %1 plugin of NetworkManager did not start in time.").arg(protocol);
    case ReasonServiceStartFailed:
        return tr("The %1 plugin of NetworkManager failed to start.").arg(protocol);
    case ReasonNoSecrets:
        return tr("NetworkManager had no password to send for the VPN connection.");
    case ReasonLoginFailed:
        return tr("Wrong user name or password: the VPN server refused the login.");
    case ReasonConnectionRemoved:
        return tr("The VPN connection was removed from NetworkManager during the dial.");
    default:
        return QString();
    }
}

bool NetworkManagerClient::vpnPluginInstalled(const QString &description, const QStringList &folders)
{
    return std::any_of(folders.cbegin(), folders.cend(), [&description](const QString &folder) {
        return QFileInfo::exists(QDir(folder).filePath(description));
    });
}

void NetworkManagerClient::checkService()
{
    const QDBusConnection connection = bus();
    if (!connection.isConnected()) {
        running = false;
        return;
    }
    watch(connection.interface()->asyncCall(QStringLiteral("NameHasOwner"), QLatin1String(kService)),
          SLOT(onServiceAnswered(QDBusPendingCallWatcher*)));
}

void NetworkManagerClient::onServiceAnswered(QDBusPendingCallWatcher *call)
{
    call->deleteLater();
    const QDBusPendingReply<bool> reply = *call;
    running = !reply.isError() && reply.value();
}

void NetworkManagerClient::onServiceRegistered()
{
    running = true;
    registerAgent(); // a NetworkManager that started again knows no agents
}

void NetworkManagerClient::onServiceUnregistered()
{
    running = false;
    if (!ended) {
        ended = true;
        emit refused(ServiceMissing, tr("NetworkManager left the system bus."));
    }
}

void NetworkManagerClient::activate(const NMVariantMapMap &connectionSettings, const QString &replacedUuid)
{
    ++generation;
    settings = connectionSettings;
    QVariantMap &identity = settings[QStringLiteral("connection")];
    if (!identity.contains(QStringLiteral("uuid")))
        identity.insert(QStringLiteral("uuid"), QUuid::createUuid().toString(QUuid::WithoutBraces));
    agent.answerFor(identity.value(QStringLiteral("uuid")).toString());
    activePath.clear();
    early.clear();
    ended = false;
    if (replacedUuid.isEmpty()) {
        addAndActivate();
        return;
    }
    NMSettingsProxy stored(bus());
    watch(stored.GetConnectionByUuid(replacedUuid), SLOT(onReplacedLookedUp(QDBusPendingCallWatcher*)));
}

void NetworkManagerClient::onReplacedLookedUp(QDBusPendingCallWatcher *call)
{
    call->deleteLater();
    if (!current(call))
        return;
    const QDBusPendingReply<QDBusObjectPath> reply = *call;
    if (!reply.isError()) {
        NMSettingsConnectionProxy replaced(reply.value().path(), bus());
        watch(replaced.Delete(), SLOT(onReplacedDeleted(QDBusPendingCallWatcher*)));
    } else if (serviceMissing(reply.error())) {
        refuse(reply.reply());
    } else {
        addAndActivate(); // nothing to replace
    }
}

void NetworkManagerClient::onReplacedDeleted(QDBusPendingCallWatcher *call)
{
    call->deleteLater();
    if (!current(call))
        return;
    const QDBusPendingReply<> reply = *call;
    if (reply.isError())
        refuse(reply.reply());
    else
        addAndActivate();
}

void NetworkManagerClient::addAndActivate()
{
    // "volatile": kept in memory and deleted as soon as it is no longer active; "dbus-client": deactivated when
    // this client's bus connection closes (NetworkManager 1.16 and later).
    const QVariantMap options{ { QStringLiteral("persist"), QStringLiteral("volatile") },
                               { QStringLiteral("bind-activation"), QStringLiteral("dbus-client") } };
    bus();
    watch(manager->AddAndActivateConnection2(settings, QDBusObjectPath("/"), QDBusObjectPath("/"), options),
          SLOT(onActivated(QDBusPendingCallWatcher*)));
}

void NetworkManagerClient::onActivated(QDBusPendingCallWatcher *call)
{
    call->deleteLater();
    const QDBusPendingReply<QDBusObjectPath, QDBusObjectPath, QVariantMap> reply = *call;
    if (reply.isError()) {
        if (current(call))
            refuse(reply.reply());
        return;
    }
    const QString path = reply.argumentAt<1>().path();
    if (!current(call)) {
        deactivatePath(path); // ended while NetworkManager was still deciding
        return;
    }
    activePath = path;
    const QList<StateChange> before = std::exchange(early, {});
    for (const StateChange &change : before) {
        if (change.path == path && !ended)
            emit vpnStateChanged(change.state, change.reason);
    }
}

void NetworkManagerClient::deactivate()
{
    if (ended)
        return;
    ended = true;
    agent.answerFor(QString());
    if (!activePath.isEmpty())
        deactivatePath(activePath);
}

void NetworkManagerClient::deactivatePath(const QString &path)
{
    watch(manager->DeactivateConnection(QDBusObjectPath(path)), SLOT(onDeactivated(QDBusPendingCallWatcher*)));
}

void NetworkManagerClient::onDeactivated(QDBusPendingCallWatcher *call)
{
    call->deleteLater();
    const QDBusPendingReply<> reply = *call;
    // A connection that ended by itself meanwhile is not active any more, which is what was asked.
    if (reply.isError() && !serviceMissing(reply.error())
        && reply.error().name() != QLatin1String("org.freedesktop.NetworkManager.ConnectionNotActive"))
        qWarning("NetworkManager did not deactivate the VPN connection: %s", qPrintable(reply.error().message()));
}

void NetworkManagerClient::onVpnStateChanged(uint state, uint reason, const QDBusMessage &signal)
{
    if (ended)
        return;
    if (activePath.isEmpty())
        early.append({ signal.path(), state, reason });
    else if (signal.path() == activePath)
        emit vpnStateChanged(state, reason);
}

void NetworkManagerClient::watch(const QDBusPendingCall &call, const char *slot)
{
    auto *watcher = new QDBusPendingCallWatcher(call, this);
    watcher->setProperty(kGeneration, generation);
    connect(watcher, SIGNAL(finished(QDBusPendingCallWatcher*)), this, slot);
}

bool NetworkManagerClient::current(QDBusPendingCallWatcher *call) const
{
    return !ended && call->property(kGeneration).toULongLong() == generation;
}

void NetworkManagerClient::refuse(const QDBusMessage &error)
{
    ended = true;
    const QDBusError cause(error);
    Refusal refusal = Refused;
    if (serviceMissing(cause))
        refusal = ServiceMissing;
    else if (cause.name() == QLatin1String(kPermissionDenied))
        refusal = NotAuthorized;
    emit refused(refusal, cause.message());
}
