#pragma once

#include "engine/networkmanager/networkmanagersecretagent.h"
#include "engine/networkmanager/networkmanagertypes.h"

#include <QDBusConnection>
#include <QObject>
#include <QStringList>

class NMManagerProxy;
class QDBusMessage;
class QDBusPendingCall;
class QDBusPendingCallWatcher;

// Where NetworkManager looks for the descriptions of its VPN plugins.
QStringList defaultVpnPluginFolders();

// One VPN connection at a time through NetworkManager's D-Bus API. The connection is added and activated in one
// call, in memory only and bound to this client's bus connection: NetworkManager takes it down and deletes it when
// it ends, and also when the client's bus connection closes, however the client ends. Every call is asynchronous;
// answers and state changes arrive as signals through the event loop. The client connects to the system bus at its
// first call, not at its construction.
class NetworkManagerClient : public QObject
{
    Q_OBJECT

public:
    // NMVpnConnectionState
    enum VpnState : uint {
        VpnUnknown = 0,
        VpnPrepare = 1,
        VpnNeedAuth = 2,
        VpnConnect = 3,
        VpnIpConfigGet = 4,
        VpnActivated = 5,
        VpnFailed = 6,
        VpnDisconnected = 7,
    };
    // NMActiveConnectionStateReason; 0 and 1 name no cause.
    enum Reason : uint {
        ReasonUnknown = 0,
        ReasonNone = 1,
        ReasonUserDisconnected = 2,
        ReasonDeviceDisconnected = 3,
        ReasonServiceStopped = 4,
        ReasonIpConfigInvalid = 5,
        ReasonConnectTimeout = 6,
        ReasonServiceStartTimeout = 7,
        ReasonServiceStartFailed = 8,
        ReasonNoSecrets = 9,
        ReasonLoginFailed = 10,
        ReasonConnectionRemoved = 11,
    };
    // Why a call was refused.
    enum Refusal { ServiceMissing, NotAuthorized, Refused };
    Q_ENUM(Refusal)

    explicit NetworkManagerClient(QObject *parent = nullptr);
    ~NetworkManagerClient() override;

    // What a reason means to the user; protocol names the plugin ("PPTP", "OpenVPN"). Empty for the reasons that
    // name no cause.
    static QString reasonText(uint reason, const QString &protocol);
    // True when the plugin's description (nm-openvpn-service.name, say) is in one of the folders.
    static bool vpnPluginInstalled(const QString &description, const QStringList &folders = defaultVpnPluginFolders());

    // Asks whether NetworkManager is on the bus; serviceRunning() knows once the answer came.
    void checkService();
    // The last answer of checkService, or of NetworkManager coming and going since; false until one arrived.
    bool serviceRunning() const { return running; }

    // Adds settings as a connection of this client's and activates it. A stored connection with the uuid
    // replacedUuid (left behind by an older client) is deleted first. What follows arrives as vpnStateChanged()
    // or refused(); a new activation drops every word of the one before. This client's secret agent answers
    // NetworkManager's requests for more of the connection's secrets, refusing them.
    void activate(const NMVariantMapMap &settings, const QString &replacedUuid = QString());
    // Ends the activation, also one whose answer is still to come; no further state of it is reported.
    void deactivate();

signals:
    // The VPN state of the activation, with NetworkManager's reason.
    void vpnStateChanged(uint state, uint reason);
    // NetworkManager refused the activation, was not there, or left the bus while it ran.
    void refused(NetworkManagerClient::Refusal refusal, const QString &message);
    // NetworkManager asked for more secrets than the activation carries: the VPN server refused them (a wrong
    // password), or the plugin wants one the client does not hold. The request is refused.
    void secretsRefused();

private slots:
    void onServiceAnswered(QDBusPendingCallWatcher *call);
    void onServiceRegistered();
    void onServiceUnregistered();
    void onReplacedLookedUp(QDBusPendingCallWatcher *call);
    void onReplacedDeleted(QDBusPendingCallWatcher *call);
    void onActivated(QDBusPendingCallWatcher *call);
    void onDeactivated(QDBusPendingCallWatcher *call);
    void onAgentRegistered(QDBusPendingCallWatcher *call);
    void onSecretsRefused();
    void onVpnStateChanged(uint state, uint reason, const QDBusMessage &signal);

private:
    struct StateChange
    {
        QString path;
        uint state;
        uint reason;
    };

    // Connects at the first call; a connection that failed answers every call with an error.
    QDBusConnection bus();
    void registerAgent();
    void watch(const QDBusPendingCall &call, const char *slot);
    bool current(QDBusPendingCallWatcher *call) const;
    void addAndActivate();
    void deactivatePath(const QString &path);
    void refuse(const QDBusMessage &error);

    const QString connectionName;
    int agentNumber = 0;
    bool connected = false;
    bool running = false;
    NMManagerProxy *manager = nullptr;
    NetworkManagerSecretAgent agent;

    // The activation: its number, what it adds, and the active connection NetworkManager named for it.
    quint64 generation = 0;
    NMVariantMapMap settings;
    QString activePath;
    bool ended = true; // deactivated, refused, or not yet begun
    QList<StateChange> early; // states that came before the answer naming the activation's path
};
