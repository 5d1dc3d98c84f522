// Remote access through NetworkManager's D-Bus API (as of NetworkManager 1.42 with its PPTP 1.2 and L2TP 1.20
// plugins). A phonebook entry is one unsaved NetworkManager connection of type "vpn" that only this user can see;
// a dial activates it and follows the VPN states NetworkManager signals for it.

#include "engine/ras/rasapi_unix.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QThread>
#include <QTimer>
#include <QUuid>
#include <QtEndian>

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace {

using Settings = QMap<QString, QVariantMap>; // a{sa{sv}}
using StringMap = QMap<QString, QString>;    // a{ss}, the plugins' data and secrets

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
const QString kManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kSettingsPath = QStringLiteral("/org/freedesktop/NetworkManager/Settings");
const QString kManagerInterface = QStringLiteral("org.freedesktop.NetworkManager");
const QString kSettingsInterface = QStringLiteral("org.freedesktop.NetworkManager.Settings");
const QString kConnectionInterface = QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection");
const QString kActiveInterface = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
const QString kVpnInterface = QStringLiteral("org.freedesktop.NetworkManager.VPN.Connection");
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

// NetworkManager answers these calls at once; the GUI thread waits no longer than one pass of the dial loop.
// Activation may wait for permission checks, so it alone is asynchronous.
const int kCallTimeoutMs = 100;
// How long a failure without a cause waits for the disconnection that may name it.
const int kCauseWaitMs = 100;

// NMVpnConnectionState
enum : quint32 {
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
enum : quint32 {
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

// The RAS connection states the VPN states show as.
enum : std::uint32_t {
    RasStateConnectDevice = 2,
    RasStateAuthenticate = 5,
    RasStateAuthProject = 10,
};

// Failures as RAS error codes (the RAS name of each in its comment), with the reason each stands for.
const quint32 kNoReason = std::numeric_limits<quint32>::max();
const quint32 kPluginMissing = 608; // ERROR_DEVICE_DOES_NOT_EXIST
const quint32 kNotConnected = 800;  // ERROR_AUTOMATIC_VPN_FAILED: every failure without a code of its own

struct Failure
{
    quint32 code;
    quint32 reason;
    const char *text; // %1 the protocol, %2 its plugin's package
};

const Failure kFailures[] = {
    { kPluginMissing, kNoReason, "NetworkManager has no %1 plugin: install the package %2." },
    { 623, ReasonConnectionRemoved, "The VPN connection was removed from NetworkManager during the dial." }, // ERROR_CANNOT_FIND_PHONEBOOK_ENTRY
    { 628, ReasonDeviceDisconnected, "The network connection the VPN runs over went down." }, // ERROR_PORT_DISCONNECTED
    { 629, ReasonServiceStopped, "The %1 plugin of NetworkManager stopped before the connection was made." }, // ERROR_REMOTE_DISCONNECTION
    { 631, ReasonUserDisconnected, "The VPN connection was closed outside this client." }, // ERROR_USER_DISCONNECTION
    { 638, ReasonServiceStartTimeout, "The %1 plugin of NetworkManager did not start in time." }, // ERROR_REQUEST_TIMEOUT
    { 651, ReasonServiceStartFailed, "The %1 plugin of NetworkManager failed to start." }, // ERROR_FROM_DEVICE
    { 691, ReasonLoginFailed, "Wrong user name or password: the VPN server refused the login." }, // ERROR_AUTHENTICATION_FAILURE
    { 703, ReasonNoSecrets, "NetworkManager had no password to send for the VPN connection." }, // ERROR_INTERACTIVE_MODE
    { 718, ReasonConnectTimeout, "The VPN server did not answer in time." }, // ERROR_PPP_TIMEOUT
    { 720, ReasonIpConfigInvalid, "The VPN server sent no usable IP configuration." }, // ERROR_PPP_NO_PROTOCOLS_CONFIGURED
    { kNotConnected, kNoReason, "NetworkManager could not make the VPN connection." },
};

quint32 codeFor(quint32 reason)
{
    for (const Failure &failure : kFailures) {
        if (failure.reason == reason)
            return failure.code;
    }
    return kNotConnected;
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

quint32 rasState(quint32 vpnState)
{
    switch (vpnState) {
    case VpnNeedAuth:
        return RasStateAuthenticate;
    case VpnConnect:
        return RasStateConnectDevice;
    case VpnIpConfigGet:
        return RasStateAuthProject;
    case VpnActivated:
        return RasStateConnected;
    case VpnFailed:
    case VpnDisconnected:
        return RasStateDisconnected;
    default:
        return RasStateOpenPort;
    }
}

QString text(const char16_t *value)
{
    return QString::fromUtf16(value);
}

QString folded(const QString &entryName)
{
    return entryName.toCaseFolded();
}

QString loginName()
{
    // NetworkManager checks the permission against the account of the calling process.
    const passwd *account = ::getpwuid(::geteuid());
    return account ? QString::fromLocal8Bit(account->pw_name) : QString();
}

QDBusConnection connectSystemBus(const QString &name)
{
    // The address every D-Bus client honours, read afresh for each connection.
    return QDBusConnection::connectToBus(
        qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS", QStringLiteral("unix:path=/var/run/dbus/system_bus_socket")),
        name);
}

QString newConnectionName()
{
    static int count = 0;
    return QStringLiteral("orvi-networkmanager-%1").arg(++count);
}

QVariant objectPath(const QString &path)
{
    return QVariant::fromValue(QDBusObjectPath(path));
}

class NetworkManagerRasApi : public QObject, public RasApi
{
    Q_OBJECT

public:
    explicit NetworkManagerRasApi(const QStringList &pluginFolders)
        : connectionName(newConnectionName())
        , bus(connectSystemBus(connectionName))
        , pluginFolders(pluginFolders)
        , login(loginName())
    {
        qDBusRegisterMetaType<Settings>();
        qDBusRegisterMetaType<StringMap>();
        // Subscribed before any activation, so no state change of a new VPN connection can come first.
        if (!bus.connect(kService, QString(), kVpnInterface, QStringLiteral("VpnStateChanged"), this,
                         SLOT(onVpnStateChanged(QDBusMessage))))
            qWarning("NetworkManager's VPN states cannot be followed: %s", qPrintable(bus.lastError().message()));
        auto *watcher = new QDBusServiceWatcher(kService, bus, QDBusServiceWatcher::WatchForUnregistration, this);
        connect(watcher, SIGNAL(serviceUnregistered(QString)), this, SLOT(onNetworkManagerGone()));
        causeWait.setSingleShot(true);
        causeWait.setInterval(kCauseWaitMs);
        connect(&causeWait, SIGNAL(timeout()), this, SLOT(onFailureWithoutCause()));
    }

    ~NetworkManagerRasApi() override
    {
        QDBusConnection::disconnectFromBus(connectionName);
    }

    std::uint32_t validateEntryName(const char16_t *entryName) override
    {
        const QString name = text(entryName);
        if (name.trimmed().isEmpty() || name.size() > qsizetype(RasMaxEntryName))
            return RasErrorInvalidName;
        return connectionPath(name).isEmpty() ? RasSuccess : RasErrorAlreadyExists;
    }

    std::uint32_t getEntryProperties(const char16_t *entryName, RasEntry &entry) override
    {
        if (entry.dwSize == 0)
            return RasErrorInvalidSize;
        const QString name = text(entryName);
        const auto stored = entries.constFind(folded(name));
        if (stored == entries.constEnd() || connectionPath(name).isEmpty())
            return RasErrorCannotFindPhonebookEntry;
        const std::uint32_t size = entry.dwSize;
        entry = stored->entry;
        entry.dwSize = size;
        return RasSuccess;
    }

    std::uint32_t setEntryProperties(const char16_t *entryName, const RasEntry &entry) override
    {
        const QString name = text(entryName);
        if (entry.dwSize == 0)
            return RasErrorInvalidSize;
        if (name.trimmed().isEmpty() || name.size() > qsizetype(RasMaxEntryName))
            return RasErrorInvalidName;
        Stored &stored = entries[folded(name)];
        stored.entry = entry;
        const std::uint32_t result = writeConnection(name, stored);
        if (result != RasSuccess)
            entries.remove(folded(name));
        return result;
    }

    std::uint32_t setCredentials(const char16_t *entryName, const RasCredentials &credentials, bool clear) override
    {
        if (credentials.dwSize == 0)
            return RasErrorInvalidSize;
        const QString name = text(entryName);
        const auto stored = entries.find(folded(name));
        if (stored == entries.end())
            return RasErrorCannotFindPhonebookEntry;
        if (credentials.mask & RasCredentialPreSharedKey)
            stored->preSharedKey = clear ? QString() : text(credentials.password);
        return writeConnection(name, *stored);
    }

    std::uint32_t deleteEntry(const char16_t *entryName) override
    {
        const QString name = text(entryName);
        entries.remove(folded(name));
        const QString path = connectionPath(name);
        if (path.isEmpty())
            return RasErrorCannotFindPhonebookEntry;
        return answered(call(path, kConnectionInterface, QStringLiteral("Delete"))) ? RasSuccess : kNotConnected;
    }

    std::uint32_t dial(const RasDialParams &params, RasDialCallback callback, RasHandle &handle) override
    {
        if (params.dwSize == 0)
            return RasErrorInvalidSize;
        handles.append(QString()); // named once NetworkManager answers
        causeWait.stop();
        current = Dial();
        current.handle = RasHandle(handles.size());
        current.callback = callback;
        handle = current.handle;
        failureDetail.clear();
        // What keeps the dial from starting is reported as its failure, like the failures NetworkManager reports.
        const quint32 refusal = activate(params);
        if (refusal != RasSuccess)
            report(refusal);
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
        if (connection == 0 || connection > RasHandle(handles.size()))
            return RasErrorInvalidHandle;
        if (connection == current.handle) {
            current.hungUp = true;
            if (current.ended)
                return RasSuccess; // NetworkManager has already taken it down
        }
        const QString path = handles.at(int(connection - 1));
        if (path.isEmpty())
            return RasSuccess; // ended as soon as NetworkManager names it
        return answered(call(kManagerPath, kManagerInterface, QStringLiteral("DeactivateConnection"), { objectPath(path) }))
            ? RasSuccess
            : RasErrorInvalidHandle;
    }

    std::uint32_t enumConnections(RasConnection *records, std::uint32_t capacity, std::uint32_t &count) override
    {
        count = 0;
        if (records == nullptr || records[0].dwSize == 0)
            return RasErrorInvalidSize;
        const QDBusMessage reply = call(kManagerPath, kPropertiesInterface, QStringLiteral("Get"),
                                        { kManagerInterface, QStringLiteral("ActiveConnections") });
        if (!answered(reply, QStringLiteral("v")))
            return kNotConnected;
        QList<QPair<QString, QString>> ours; // path and name
        const auto paths = qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().at(0).value<QDBusVariant>().variant());
        for (const QDBusObjectPath &path : paths) {
            const QDBusMessage properties = call(path.path(), kPropertiesInterface, QStringLiteral("GetAll"),
                                                 { kActiveInterface });
            if (!answered(properties, QStringLiteral("a{sv}")))
                continue;
            const QVariantMap values = qdbus_cast<QVariantMap>(properties.arguments().at(0));
            const QString id = values.value(QStringLiteral("Id")).toString();
            // Only connections of this client's entries, whose UUID follows from their name.
            if (!id.isEmpty() && values.value(QStringLiteral("Uuid")).toString() == uuidFor(id))
                ours.append({ path.path(), id.left(RasMaxEntryName) });
        }
        count = std::uint32_t(ours.size());
        if (capacity < count)
            return RasErrorBufferTooSmall;
        for (std::uint32_t i = 0; i < count; ++i) {
            const QString &id = ours.at(int(i)).second;
            records[i].handle = handleFor(ours.at(int(i)).first);
            std::memcpy(records[i].entryName, id.utf16(), std::size_t(id.size()) * sizeof(char16_t));
            records[i].entryName[id.size()] = u'\0';
        }
        return RasSuccess;
    }

    std::uint32_t errorString(std::uint32_t code, char16_t *buffer, std::uint32_t bufferChars) override
    {
        const auto failure = std::find_if(std::begin(kFailures), std::end(kFailures),
                                          [code](const Failure &f) { return f.code == code; });
        if (failure == std::end(kFailures) || buffer == nullptr || bufferChars == 0)
            return RasErrorInvalidParameter;
        QString message = QString::fromLatin1(failure->text);
        if (message.contains(QLatin1String("%2")))
            message = message.arg(QLatin1String(dialPlugin->protocol), QLatin1String(dialPlugin->package));
        else if (message.contains(QLatin1String("%1")))
            message = message.arg(QLatin1String(dialPlugin->protocol));
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

    void sleep(std::uint32_t milliseconds) override
    {
        QThread::msleep(milliseconds);
    }

private slots:
    void onVpnStateChanged(const QDBusMessage &signal)
    {
        if (signal.signature() != QLatin1String("uu") || current.handle == 0)
            return;
        const quint32 state = signal.arguments().at(0).toUInt();
        const quint32 reason = signal.arguments().at(1).toUInt();
        const QString &path = handles.at(int(current.handle - 1));
        if (path.isEmpty())
            current.early.append({ signal.path(), { state, reason } }); // NetworkManager has not named the dial's yet
        else if (path == signal.path())
            onDialState(state, reason);
    }

    void onActivated(QDBusPendingCallWatcher *call)
    {
        call->deleteLater();
        const RasHandle handle = RasHandle(call->property("handle").toULongLong());
        const QDBusMessage reply = call->reply();
        const bool ours = handle == current.handle && !current.hungUp;
        if (!answered(reply, QStringLiteral("o"))) {
            if (ours) {
                failureDetail = reply.errorMessage();
                report(kNotConnected);
            }
            return;
        }
        const QString path = reply.arguments().at(0).value<QDBusObjectPath>().path();
        handles[int(handle - 1)] = path;
        if (!ours) {
            // Hung up while NetworkManager was still deciding.
            answered(this->call(kManagerPath, kManagerInterface, QStringLiteral("DeactivateConnection"), { objectPath(path) }));
            return;
        }
        const auto early = std::exchange(current.early, {});
        for (const auto &event : early) {
            if (event.first == path)
                onDialState(event.second.first, event.second.second);
        }
    }

    void onFailureWithoutCause()
    {
        report(kNotConnected);
    }

    void onNetworkManagerGone()
    {
        failureDetail = QStringLiteral("NetworkManager left the system bus");
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
        quint32 state = VpnUnknown;
        bool ended = false;  // failed or disconnected
        bool hungUp = false; // by this client, which wants no more news of it
        QList<QPair<QString, QPair<quint32, quint32>>> early; // states that came before the activation's answer
    };

    quint32 activate(const RasDialParams &params)
    {
        const QString name = text(params.entryName);
        const auto stored = entries.constFind(folded(name));
        if (stored == entries.constEnd())
            return codeFor(ReasonConnectionRemoved);
        dialPlugin = &pluginOf(stored->entry);
        if (!pluginInstalled(*dialPlugin))
            return kPluginMissing;
        const QString path = connectionPath(name);
        if (path.isEmpty())
            return codeFor(ReasonConnectionRemoved);

        // The user name and password come only with the dial: they go into the unsaved connection just before
        // it is activated, as secrets NetworkManager keeps with it in memory.
        Stored dialled = *stored;
        if (params.phoneNumber[0] != u'\0')
            std::copy(std::begin(params.phoneNumber), std::end(params.phoneNumber), dialled.entry.localPhoneNumber);
        const QVariant settings = QVariant::fromValue(settingsFor(name, dialled, text(params.userName), text(params.password)));
        const QDBusMessage updated = call(path, kConnectionInterface, QStringLiteral("UpdateUnsaved"), { settings });
        if (!answered(updated)) {
            failureDetail = updated.errorMessage();
            return kNotConnected;
        }
        QDBusMessage activation = QDBusMessage::createMethodCall(kService, kManagerPath, kManagerInterface,
                                                                 QStringLiteral("ActivateConnection"));
        activation << objectPath(path) << objectPath(QStringLiteral("/")) << objectPath(QStringLiteral("/"));
        auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(activation), this);
        watcher->setProperty("handle", QVariant::fromValue(quint64(current.handle)));
        connect(watcher, SIGNAL(finished(QDBusPendingCallWatcher *)), this, SLOT(onActivated(QDBusPendingCallWatcher *)));
        return RasSuccess;
    }

    QDBusMessage call(const QString &path, const QString &interface, const QString &method,
                      const QVariantList &arguments = QVariantList())
    {
        QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
        message.setArguments(arguments);
        return bus.call(message, QDBus::Block, kCallTimeoutMs);
    }

    // True for a reply of that signature; an error is reported to the developer.
    bool answered(const QDBusMessage &reply, const QString &signature = QString(), bool quiet = false)
    {
        if (reply.type() == QDBusMessage::ReplyMessage && reply.signature() == signature)
            return true;
        if (!quiet)
            qWarning("NetworkManager: %s %s", qPrintable(reply.errorName()), qPrintable(reply.errorMessage()));
        return false;
    }

    QString uuidFor(const QString &entryName) const
    {
        // One per user and entry, so a connection left by an earlier run is found again.
        static const QUuid kNamespace(QStringLiteral("{6f3c1b7e-2d4a-5e8f-9b10-4c7a2e9d5f31}"));
        return QUuid::createUuidV5(kNamespace, login + QLatin1Char(':') + folded(entryName)).toString(QUuid::WithoutBraces);
    }

    QString connectionPath(const QString &entryName)
    {
        const QDBusMessage reply = call(kSettingsPath, kSettingsInterface, QStringLiteral("GetConnectionByUuid"),
                                        { uuidFor(entryName) });
        return answered(reply, QStringLiteral("o"), true) ? reply.arguments().at(0).value<QDBusObjectPath>().path()
                                                          : QString();
    }

    // Adds the entry's connection, or replaces the settings of the one there is.
    std::uint32_t writeConnection(const QString &entryName, const Stored &stored)
    {
        const QVariant settings = QVariant::fromValue(settingsFor(entryName, stored, QString(), QString()));
        const QString path = connectionPath(entryName);
        if (path.isEmpty())
            return answered(call(kSettingsPath, kSettingsInterface, QStringLiteral("AddConnectionUnsaved"), { settings }),
                            QStringLiteral("o"))
                ? RasSuccess
                : kNotConnected;
        return answered(call(path, kConnectionInterface, QStringLiteral("UpdateUnsaved"), { settings })) ? RasSuccess
                                                                                                         : kNotConnected;
    }

    Settings settingsFor(const QString &entryName, const Stored &stored, const QString &userName,
                         const QString &password) const
    {
        const RasEntry &entry = stored.entry;
        const Plugin &plugin = pluginOf(entry);
        StringMap data{ { QStringLiteral("gateway"), text(entry.localPhoneNumber) },
                        { QStringLiteral("password-flags"), QStringLiteral("0") } }; // kept by NetworkManager
        StringMap secrets;
        if (!userName.isEmpty())
            data.insert(QStringLiteral("user"), userName);
        if (!password.isEmpty())
            secrets.insert(QStringLiteral("password"), password);
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

        Settings settings;
        settings.insert(QStringLiteral("connection"),
                        { { QStringLiteral("id"), entryName },
                          { QStringLiteral("uuid"), uuidFor(entryName) },
                          { QStringLiteral("type"), QStringLiteral("vpn") },
                          { QStringLiteral("autoconnect"), false },
                          // It carries the user's password: only they may see or use it.
                          { QStringLiteral("permissions"), QStringList{ QStringLiteral("user:") + login } } });
        QVariantMap vpn{ { QStringLiteral("service-type"), QLatin1String(plugin.serviceType) },
                         { QStringLiteral("data"), QVariant::fromValue(data) } };
        if (!secrets.isEmpty())
            vpn.insert(QStringLiteral("secrets"), QVariant::fromValue(secrets));
        settings.insert(QStringLiteral("vpn"), vpn);

        QList<uint> dns; // network byte order
        for (const RasIpv4Address &server : { entry.dns, entry.dnsAlt }) {
            if (server.a | server.b | server.c | server.d)
                dns.append(qToBigEndian(quint32(server.a) << 24 | quint32(server.b) << 16 | quint32(server.c) << 8
                                        | server.d));
        }
        if ((entry.options & RasOptionSpecificNameServers) && !dns.isEmpty()) {
            // The most negative priority there is shuts every other connection's servers out while the tunnel
            // is up, so no name look-up leaks past it.
            settings.insert(QStringLiteral("ipv4"), { { QStringLiteral("method"), QStringLiteral("auto") },
                                                      { QStringLiteral("dns"), QVariant::fromValue(dns) },
                                                      { QStringLiteral("ignore-auto-dns"), true },
                                                      { QStringLiteral("dns-priority"), std::numeric_limits<int>::min() } });
        }
        return settings;
    }

    bool pluginInstalled(const Plugin &plugin) const
    {
        return std::any_of(pluginFolders.cbegin(), pluginFolders.cend(), [&plugin](const QString &folder) {
            return QFileInfo::exists(QDir(folder).filePath(QLatin1String(plugin.description)));
        });
    }

    RasHandle handleFor(const QString &path)
    {
        const qsizetype index = handles.indexOf(path);
        if (index >= 0)
            return RasHandle(index + 1);
        handles.append(path);
        return RasHandle(handles.size());
    }

    void onDialState(quint32 state, quint32 reason)
    {
        if (current.ended || current.hungUp)
            return;
        const bool named = reason > ReasonNone;
        // NetworkManager may name the cause of a failure only with the disconnection that follows it, if at all.
        if (state == VpnFailed && !named) {
            causeWait.start();
            return;
        }
        current.state = state;
        if (state == VpnFailed || state == VpnDisconnected)
            report(named ? codeFor(reason) : kNotConnected);
    }

    void report(quint32 code)
    {
        if (current.handle == 0 || current.ended || current.hungUp)
            return;
        causeWait.stop();
        current.ended = true;
        current.state = VpnFailed;
        if (current.callback)
            current.callback(current.handle, RasDialEventMessage, rasState(current.state), code, 0);
    }

    const QString connectionName;
    QDBusConnection bus;
    const QStringList pluginFolders;
    const QString login;
    QHash<QString, Stored> entries; // by folded name
    QStringList handles;            // handle h is the active connection at h - 1
    Dial current;
    const Plugin *dialPlugin = &kPptp;
    QString failureDetail; // what NetworkManager said about the last failure without a code of its own
    QTimer causeWait;
};

} // namespace

QStringList defaultVpnPluginFolders()
{
    return { QStringLiteral("/usr/lib/NetworkManager/VPN"), QStringLiteral("/etc/NetworkManager/VPN") };
}

bool networkManagerRunning()
{
    const QString name = newConnectionName();
    bool running = false;
    {
        const QDBusConnection bus = connectSystemBus(name);
        running = bus.isConnected() && bus.interface()->isServiceRegistered(kService).value();
    }
    QDBusConnection::disconnectFromBus(name);
    return running;
}

RasApi *createNetworkManagerRasApi(const QStringList &pluginFolders)
{
    return new NetworkManagerRasApi(pluginFolders);
}

#include "rasapi_networkmanager.moc"
