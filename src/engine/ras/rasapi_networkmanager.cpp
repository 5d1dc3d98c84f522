// PPTP and L2TP through NetworkManager (as of NetworkManager 1.42 with its PPTP 1.2 and L2TP 1.20 plugins). The
// phonebook lives in this process; a dial hands the entry to NetworkManager as a VPN connection that only this user
// can see, and follows the VPN states NetworkManager reports for it. Only the RAS shapes live here: the D-Bus side
// is NetworkManagerClient's.

#include "engine/ras/rasapi_unix.h"

#include "engine/networkmanager/networkmanagerclient.h"
#include "engine/networkmanager/networkmanagersettings.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QHash>
#include <QHostAddress>
#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

using Client = NetworkManagerClient;

// How long a failure without a cause waits for the disconnection that may name it.
const int kCauseWaitMs = 100;

// The RAS connection states the VPN states show as.
enum : std::uint32_t {
    RasStateConnectDevice = 2,
    RasStateAuthenticate = 5,
    RasStateAuthProject = 10,
};

// Failures as RAS error codes (the RAS name of each in its comment): those NetworkManager gives a reason for, whose
// text is NetworkManager's client's, and those of this adapter.
const quint32 kNoReason = Client::ReasonUnknown;
const quint32 kAccessDenied = 5;     // ERROR_ACCESS_DENIED
const quint32 kPluginMissing = 608;  // ERROR_DEVICE_DOES_NOT_EXIST
const quint32 kServiceMissing = 711; // ERROR_RASMAN_CANNOT_INITIALIZE
const quint32 kNotConnected = 800;   // ERROR_AUTOMATIC_VPN_FAILED: every failure without a code of its own

struct Failure
{
    quint32 code;
    quint32 reason;
    const char *text; // for the failures without a reason; %1 the protocol, %2 its plugin's package
};

const Failure kFailures[] = {
    { kAccessDenied, kNoReason, "NetworkManager does not let this user control networking." },
    { kPluginMissing, kNoReason, "NetworkManager has no %1 plugin: install the package %2." },
    { kServiceMissing, kNoReason, "PPTP and L2TP are dialled through NetworkManager, which is not running." },
    { kNotConnected, kNoReason, "NetworkManager could not make the VPN connection." },
    { 623, Client::ReasonConnectionRemoved, nullptr },   // ERROR_CANNOT_FIND_PHONEBOOK_ENTRY
    { 628, Client::ReasonDeviceDisconnected, nullptr },  // ERROR_PORT_DISCONNECTED
    { 629, Client::ReasonServiceStopped, nullptr },      // ERROR_REMOTE_DISCONNECTION
    { 631, Client::ReasonUserDisconnected, nullptr },    // ERROR_USER_DISCONNECTION
    { 638, Client::ReasonServiceStartTimeout, nullptr }, // ERROR_REQUEST_TIMEOUT
    { 651, Client::ReasonServiceStartFailed, nullptr },  // ERROR_FROM_DEVICE
    { 691, Client::ReasonLoginFailed, nullptr },         // ERROR_AUTHENTICATION_FAILURE
    { 703, Client::ReasonNoSecrets, nullptr },           // ERROR_INTERACTIVE_MODE
    { 718, Client::ReasonConnectTimeout, nullptr },      // ERROR_PPP_TIMEOUT
    { 720, Client::ReasonIpConfigInvalid, nullptr },     // ERROR_PPP_NO_PROTOCOLS_CONFIGURED
};

quint32 codeFor(quint32 reason)
{
    const auto failure = std::find_if(std::begin(kFailures), std::end(kFailures),
                                      [reason](const Failure &f) { return f.reason == reason && reason != kNoReason; });
    return failure == std::end(kFailures) ? kNotConnected : failure->code;
}

struct Plugin
{
    const char *protocol;
    const char *serviceType;
    const char *description; // the file in NetworkManager's plugin folders
    const char *package;
};

const Plugin kPptp = { "PPTP", "org.freedesktop.NetworkManager.pptp", "nm-pptp-service.name", "network-manager-pptp" };
const Plugin kL2tp = { "L2TP", "org.freedesktop.NetworkManager.l2tp", "nm-l2tp-service.name", "network-manager-l2tp" };

const Plugin &pluginOf(const RasEntry &entry)
{
    return entry.vpnStrategy == RasVpnL2tpOnly ? kL2tp : kPptp;
}

quint32 rasState(uint vpnState)
{
    switch (vpnState) {
    case Client::VpnNeedAuth:
        return RasStateAuthenticate;
    case Client::VpnConnect:
        return RasStateConnectDevice;
    case Client::VpnIpConfigGet:
        return RasStateAuthProject;
    case Client::VpnActivated:
        return RasStateConnected;
    case Client::VpnFailed:
    case Client::VpnDisconnected:
        return RasStateDisconnected;
    default:
        return RasStateOpenPort;
    }
}

QString text(const char16_t *value)
{
    return QString::fromUtf16(value);
}

QString folded(const char16_t *entryName)
{
    return text(entryName).toCaseFolded();
}

bool validName(const char16_t *entryName)
{
    const QString name = text(entryName);
    return !name.trimmed().isEmpty() && name.size() <= qsizetype(RasMaxEntryName);
}

// The UUID under which older clients stored an entry's connection in NetworkManager, one per user and entry, so
// that a connection such a client left behind is found and replaced.
QString legacyUuid(const QString &entryName)
{
    static const QUuid kNamespace(QStringLiteral("{6f3c1b7e-2d4a-5e8f-9b10-4c7a2e9d5f31}"));
    return QUuid::createUuidV5(kNamespace, loginName() + QLatin1Char(':') + entryName.toCaseFolded())
        .toString(QUuid::WithoutBraces);
}

QHostAddress address(const RasIpv4Address &server)
{
    return QHostAddress(quint32(server.a) << 24 | quint32(server.b) << 16 | quint32(server.c) << 8 | server.d);
}

class NetworkManagerRasApi : public QObject, public RasApi
{
    Q_OBJECT

public:
    explicit NetworkManagerRasApi(const QStringList &pluginFolders)
        : pluginFolders(pluginFolders)
    {
        connect(&client, SIGNAL(vpnStateChanged(uint,uint)), this, SLOT(onVpnStateChanged(uint,uint)));
        connect(&client, SIGNAL(refused(NetworkManagerClient::Refusal,QString)), this,
                SLOT(onRefused(NetworkManagerClient::Refusal,QString)));
        causeWait.setSingleShot(true);
        causeWait.setInterval(kCauseWaitMs);
        connect(&causeWait, SIGNAL(timeout()), this, SLOT(onFailureWithoutCause()));
    }

    std::uint32_t validateEntryName(const char16_t *entryName) override
    {
        if (!validName(entryName))
            return RasErrorInvalidName;
        return entries.contains(folded(entryName)) ? RasErrorAlreadyExists : RasSuccess;
    }

    std::uint32_t getEntryProperties(const char16_t *entryName, RasEntry &entry) override
    {
        if (entry.dwSize == 0)
            return RasErrorInvalidSize;
        const auto stored = entries.constFind(folded(entryName));
        if (stored == entries.constEnd())
            return RasErrorCannotFindPhonebookEntry;
        const std::uint32_t size = entry.dwSize;
        entry = stored->entry;
        entry.dwSize = size;
        return RasSuccess;
    }

    std::uint32_t setEntryProperties(const char16_t *entryName, const RasEntry &entry) override
    {
        if (entry.dwSize == 0)
            return RasErrorInvalidSize;
        if (!validName(entryName))
            return RasErrorInvalidName;
        entries[folded(entryName)].entry = entry;
        return RasSuccess;
    }

    std::uint32_t setCredentials(const char16_t *entryName, const RasCredentials &credentials, bool clear) override
    {
        if (credentials.dwSize == 0)
            return RasErrorInvalidSize;
        const auto stored = entries.find(folded(entryName));
        if (stored == entries.end())
            return RasErrorCannotFindPhonebookEntry;
        if (credentials.mask & RasCredentialPreSharedKey)
            stored->preSharedKey = clear ? QString() : text(credentials.password);
        return RasSuccess;
    }

    std::uint32_t deleteEntry(const char16_t *entryName) override
    {
        return entries.remove(folded(entryName)) ? RasSuccess : RasErrorCannotFindPhonebookEntry;
    }

    std::uint32_t dial(const RasDialParams &params, RasDialCallback callback, RasHandle &handle) override
    {
        if (params.dwSize == 0)
            return RasErrorInvalidSize;
        causeWait.stop();
        current = Dial();
        current.handle = ++lastHandle;
        current.callback = callback;
        current.entryName = text(params.entryName);
        handle = current.handle;
        failureDetail.clear();

        const auto stored = entries.constFind(current.entryName.toCaseFolded());
        if (stored == entries.constEnd()) {
            report(codeFor(Client::ReasonConnectionRemoved));
            return RasSuccess;
        }
        dialPlugin = &pluginOf(stored->entry);
        if (!Client::vpnPluginInstalled(QLatin1String(dialPlugin->description), pluginFolders)) {
            report(kPluginMissing);
            return RasSuccess;
        }
        client.activate(settingsFor(*stored, params), legacyUuid(current.entryName));
        return RasSuccess;
    }

    std::uint32_t connectStatus(RasHandle connection, RasConnStatus &status) override
    {
        if (status.dwSize == 0)
            return RasErrorInvalidSize;
        if (connection == 0 || connection != current.handle)
            return RasErrorInvalidHandle;
        status.state = rasState(current.state);
        return RasSuccess;
    }

    std::uint32_t hangUp(RasHandle connection) override
    {
        if (connection == 0 || connection != current.handle)
            return RasErrorInvalidHandle;
        current.hungUp = true;
        // Also a dial NetworkManager has not answered yet: its connection is taken down once it is named.
        client.deactivate();
        return RasSuccess;
    }

    std::uint32_t enumConnections(RasConnection *records, std::uint32_t capacity, std::uint32_t &count) override
    {
        count = 0;
        if (records == nullptr || records[0].dwSize == 0)
            return RasErrorInvalidSize;
        // Connections of this client only: older clients' are replaced at the next dial.
        if (current.handle == 0 || current.ended || current.hungUp)
            return RasSuccess;
        count = 1;
        if (capacity < count)
            return RasErrorBufferTooSmall;
        const QString name = current.entryName.left(RasMaxEntryName);
        records[0].handle = current.handle;
        std::memcpy(records[0].entryName, name.utf16(), std::size_t(name.size()) * sizeof(char16_t));
        records[0].entryName[name.size()] = u'\0';
        return RasSuccess;
    }

    std::uint32_t errorString(std::uint32_t code, char16_t *buffer, std::uint32_t bufferChars) override
    {
        const auto failure = std::find_if(std::begin(kFailures), std::end(kFailures),
                                          [code](const Failure &f) { return f.code == code; });
        if (failure == std::end(kFailures) || buffer == nullptr || bufferChars == 0)
            return RasErrorInvalidParameter;
        const QString protocol = QLatin1String(dialPlugin->protocol);
        QString message = failure->text ? QString::fromLatin1(failure->text) : Client::reasonText(failure->reason, protocol);
        if (message.contains(QLatin1String("%2")))
            message = message.arg(protocol, QLatin1String(dialPlugin->package));
        if (code == kNotConnected && !failureDetail.isEmpty())
            message = message.chopped(1) + QStringLiteral(": ") + failureDetail;
        const qsizetype length = std::min<qsizetype>(message.size(), qsizetype(bufferChars) - 1);
        std::memcpy(buffer, message.utf16(), std::size_t(length) * sizeof(char16_t));
        buffer[length] = u'\0';
        return RasSuccess;
    }

    void pumpOneMessage() override
    {
        QCoreApplication::processEvents();
    }

    // The dial loop's pause: the window and NetworkManager's answers are served all through it. Not a nested
    // event loop, which would end at once once the client is quitting.
    void sleep(std::uint32_t milliseconds) override
    {
        const QDeadlineTimer deadline(milliseconds);
        QTimer wakeUp; // only ends the wait for events at the deadline
        wakeUp.setSingleShot(true);
        wakeUp.start(int(milliseconds));
        while (!deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

private slots:
    void onVpnStateChanged(uint state, uint reason)
    {
        if (current.ended || current.hungUp)
            return;
        const bool named = reason > Client::ReasonNone;
        // NetworkManager may name the cause of a failure only with the disconnection that follows it, if at all.
        if (state == Client::VpnFailed && !named) {
            causeWait.start();
            return;
        }
        current.state = state;
        if (state == Client::VpnFailed || state == Client::VpnDisconnected)
            report(codeFor(reason));
    }

    void onRefused(NetworkManagerClient::Refusal refusal, const QString &message)
    {
        if (refusal == Client::ServiceMissing) {
            report(kServiceMissing);
        } else if (refusal == Client::NotAuthorized) {
            report(kAccessDenied);
        } else {
            failureDetail = message;
            report(kNotConnected);
        }
    }

    void onFailureWithoutCause()
    {
        report(kNotConnected);
    }

private:
    struct Stored
    {
        RasEntry entry;
        QString preSharedKey;
    };

    struct Dial
    {
        RasHandle handle = 0;
        RasDialCallback callback = nullptr;
        QString entryName;
        uint state = Client::VpnUnknown;
        bool ended = false;  // failed or disconnected
        bool hungUp = false; // by this client, which wants no more news of it
    };

    NMVariantMapMap settingsFor(const Stored &stored, const RasDialParams &params) const
    {
        const RasEntry &entry = stored.entry;
        const Plugin &plugin = pluginOf(entry);
        const QString gateway = params.phoneNumber[0] != u'\0' ? text(params.phoneNumber) : text(entry.localPhoneNumber);
        // Flags 0: the secrets go with the connection, so NetworkManager asks no one else for them.
        NMStringMap data{ { QStringLiteral("gateway"), gateway }, { QStringLiteral("password-flags"), QStringLiteral("0") } };
        NMStringMap secrets;
        if (params.userName[0] != u'\0')
            data.insert(QStringLiteral("user"), text(params.userName));
        if (params.password[0] != u'\0')
            secrets.insert(QStringLiteral("password"), text(params.password));
        if (entry.encryptionType == 1 || entry.encryptionType == 2) // required, or required at full strength
            data.insert(QStringLiteral("require-mppe"), QStringLiteral("yes"));
        // Encrypted passwords only; Microsoft's encrypted passwords only.
        if (entry.options & (RasOptionRequireEncryptedPw | RasOptionRequireMsEncryptedPw))
            data.insert(QStringLiteral("refuse-pap"), QStringLiteral("yes"));
        if (entry.options & RasOptionRequireMsEncryptedPw) {
            data.insert(QStringLiteral("refuse-chap"), QStringLiteral("yes"));
            data.insert(QStringLiteral("refuse-eap"), QStringLiteral("yes"));
        }
        if (&plugin == &kL2tp && !stored.preSharedKey.isEmpty()) {
            data.insert(QStringLiteral("ipsec-enabled"), QStringLiteral("yes"));
            data.insert(QStringLiteral("ipsec-psk-flags"), QStringLiteral("0"));
            secrets.insert(QStringLiteral("ipsec-psk"), stored.preSharedKey);
        }
        NMVariantMapMap settings = privateVpnSettings(current.entryName, QLatin1String(plugin.serviceType), data, secrets);
        if (entry.options & RasOptionSpecificNameServers)
            setDnsServers(settings, { address(entry.dns), address(entry.dnsAlt) });
        return settings;
    }

    void report(quint32 code)
    {
        if (current.handle == 0 || current.ended || current.hungUp)
            return;
        causeWait.stop();
        current.ended = true;
        current.state = Client::VpnFailed;
        if (current.callback)
            current.callback(current.handle, RasDialEventMessage, rasState(current.state), code, 0);
    }

    const QStringList pluginFolders;
    NetworkManagerClient client;
    QHash<QString, Stored> entries; // by folded name
    RasHandle lastHandle = 0;
    Dial current;
    const Plugin *dialPlugin = &kPptp;
    QString failureDetail; // what NetworkManager said about the last failure without a code of its own
    QTimer causeWait;
};

} // namespace

RasApi *createNetworkManagerRasApi(const QStringList &pluginFolders)
{
    return new NetworkManagerRasApi(pluginFolders);
}

#include "rasapi_networkmanager.moc"
