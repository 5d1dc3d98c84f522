#include "engine/networkmanager/networkmanageropenvpn.h"

#include "config/sharedconfig.h"
#include "engine/connectionsink.h"
#include "engine/networkmanager/networkmanagersettings.h"
#include "engine/openvpn/childprocess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const char *const kServiceType = "org.freedesktop.NetworkManager.openvpn";
const char *const kPluginDescription = "nm-openvpn-service.name";
const char *const kImporterName = "orvi-dudaru-openvpn-import";
const char *const kStop = "------------ OpenVPN Stop ------------";

// Where the plugin's importer writes the key material out: its HOME while it runs.
QString keyFolder()
{
    return credentialFolder() + QStringLiteral("/orvi-openvpn-keys");
}

NMStringMap stringMap(const QJsonValue &object)
{
    NMStringMap map;
    const QJsonObject items = object.toObject();
    for (auto item = items.begin(); item != items.end(); ++item)
        map.insert(item.key(), item.value().toString());
    return map;
}

} // namespace

NetworkManagerOpenVpn::NetworkManagerOpenVpn(ConnectionSink &sink, const SharedConfig &config, const QString &importer,
                                             const QStringList &pluginFolders, QObject *parent)
    : QObject(parent)
    , sink(sink)
    , config(config)
    , importer(importer)
    , pluginFolders(pluginFolders)
{
    tieToClient(import);
    connect(&import, SIGNAL(finished(int,QProcess::ExitStatus)), this, SLOT(onImported(int,QProcess::ExitStatus)));
    connect(&import, SIGNAL(errorOccurred(QProcess::ProcessError)), this, SLOT(onImportFailed(QProcess::ProcessError)));
    connect(&client, SIGNAL(vpnStateChanged(uint,uint)), this, SLOT(onVpnStateChanged(uint,uint)));
    connect(&client, SIGNAL(refused(NetworkManagerClient::Refusal,QString)), this,
            SLOT(onRefused(NetworkManagerClient::Refusal,QString)));
    connect(&client, SIGNAL(secretsRefused()), this, SLOT(onSecretsRefused()));
}

NetworkManagerOpenVpn::~NetworkManagerOpenVpn()
{
    import.disconnect(this);
    // NetworkManager takes the tunnel down itself once the client's bus connection closes.
    removeLeftoverKeys();
}

QString NetworkManagerOpenVpn::installedImporter()
{
    const QDir folder(QCoreApplication::applicationDirPath());
    const QString beside = folder.filePath(QLatin1String(kImporterName)); // in the build tree
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QDir::cleanPath(folder.filePath(QStringLiteral(ORVI_IMPORTER_FOLDER "/") + QLatin1String(kImporterName)));
}

void NetworkManagerOpenVpn::removeLeftoverKeys()
{
    QDir(keyFolder()).removeRecursively();
}

void NetworkManagerOpenVpn::probe()
{
    client.checkService();
}

bool NetworkManagerOpenVpn::available(QString *whyNot) const
{
    if (!client.serviceRunning())
        return false;
    QString unused;
    if (!whyNot)
        whyNot = &unused;
    if (!NetworkManagerClient::vpnPluginInstalled(QLatin1String(kPluginDescription), pluginFolders)) {
        *whyNot = tr("NetworkManager has no OpenVPN plugin: install the package network-manager-openvpn. Until then "
                     "OpenVPN runs on its own, which needs root.");
        return false;
    }
    if (!QFileInfo(importer).isExecutable()) {
        *whyNot = tr("%1 is missing: OpenVPN runs on its own, which needs root.").arg(importer);
        return false;
    }
    return true;
}

void NetworkManagerOpenVpn::prepare(const QByteArray &profileUserName, const QByteArray &profilePassword)
{
    userName = profileUserName;
    password = profilePassword;
}

int NetworkManagerOpenVpn::start()
{
    const QString configPath = QFileInfo(QStringLiteral("./config.ovpn")).absoluteFilePath();
    removeLeftoverKeys();
    if (!QFileInfo::exists(configPath)
        || !QDir().mkdir(keyFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return 202;
    loginRefused = false;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), keyFolder());
    import.setProcessEnvironment(environment);
    import.start(importer, { configPath });
    state = Connecting;
    sink.setConnectionState(Connecting);
    return 0;
}

void NetworkManagerOpenVpn::stop(bool userRequested)
{
    end(userRequested || state != Connecting ? QString() : tr("Connection timed out!"));
}

void NetworkManagerOpenVpn::onImportFailed(QProcess::ProcessError error)
{
    if (error == QProcess::FailedToStart) // a crash still ends in finished()
        end(tr("%1 cannot be started: %2").arg(importer, import.errorString()));
}

void NetworkManagerOpenVpn::onImported(int exitCode, QProcess::ExitStatus exitStatus)
{
    const QJsonObject imported = QJsonDocument::fromJson(import.readAllStandardOutput()).object();
    if (state != Connecting)
        return;
    // The answer decides, not the exit status: a sanitizer's leak report may follow a complete one.
    Q_UNUSED(exitCode);
    if (exitStatus != QProcess::NormalExit || !imported.contains(QStringLiteral("data"))) {
        const QString error = imported.value(QStringLiteral("error")).toString();
        end(tr("NetworkManager's OpenVPN plugin cannot read the configuration: %1")
                .arg(error.isEmpty() ? import.errorString() : error));
        return;
    }
    QStringList dropped;
    for (const QJsonValue &option : imported.value(QStringLiteral("dropped")).toArray())
        dropped << option.toString();
    if (!dropped.isEmpty())
        sink.appendLog(tr("NetworkManager's OpenVPN plugin does not take these options of the configuration: %1.")
                           .arg(dropped.join(QStringLiteral(", "))),
                       false);
    client.activate(settingsFor(imported));
}

NMVariantMapMap NetworkManagerOpenVpn::settingsFor(const QJsonObject &imported) const
{
    NMStringMap data = stringMap(imported.value(QStringLiteral("data")));
    NMStringMap secrets = stringMap(imported.value(QStringLiteral("secrets")));
    // OpenVPN on its own always hands the credentials to the server; so does a certificate login with a user name.
    const QString type = QStringLiteral("connection-type");
    if (!userName.isEmpty() && data.value(type) == QLatin1String("tls"))
        data.insert(type, QStringLiteral("password-tls"));
    if (!userName.isEmpty())
        data.insert(QStringLiteral("username"), QString::fromUtf8(userName));
    // Flags 0: the password goes with the connection, and no agent is asked for it.
    data.insert(QStringLiteral("password-flags"), QStringLiteral("0"));
    if (!password.isEmpty())
        secrets.insert(QStringLiteral("password"), QString::fromUtf8(password));
    NMVariantMapMap settings = privateVpnSettings(QStringLiteral("Orvi"), QLatin1String(kServiceType), data, secrets);

    QVariantMap &ipv4 = settings[QStringLiteral("ipv4")];
    ipv4.insert(QStringLiteral("method"), QStringLiteral("auto"));
    if (imported.value(QStringLiteral("never-default")).toBool())
        ipv4.insert(QStringLiteral("never-default"), true);
    QList<QVariantMap> routes;
    for (const QJsonValue &value : imported.value(QStringLiteral("routes")).toArray()) {
        const QJsonObject route = value.toObject();
        QVariantMap entry{ { QStringLiteral("dest"), route.value(QStringLiteral("dest")).toString() },
                           { QStringLiteral("prefix"), uint(route.value(QStringLiteral("prefix")).toInt()) } };
        if (route.contains(QStringLiteral("next-hop")))
            entry.insert(QStringLiteral("next-hop"), route.value(QStringLiteral("next-hop")).toString());
        if (route.value(QStringLiteral("metric")).toDouble() >= 0)
            entry.insert(QStringLiteral("metric"), uint(route.value(QStringLiteral("metric")).toDouble()));
        routes.append(entry);
    }
    if (!routes.isEmpty())
        ipv4.insert(QStringLiteral("route-data"), QVariant::fromValue(routes));
    QList<QHostAddress> servers;
    for (const QString &server : protectionDnsServers(config))
        servers.append(QHostAddress(server.trimmed()));
    setDnsServers(settings, servers);
    return settings;
}

void NetworkManagerOpenVpn::onVpnStateChanged(uint vpnState, uint reason)
{
    switch (vpnState) {
    case NetworkManagerClient::VpnPrepare:
        sink.appendLog(tr("NetworkManager is preparing the VPN connection."), false);
        break;
    case NetworkManagerClient::VpnNeedAuth:
        sink.appendLog(tr("NetworkManager is handing OpenVPN its credentials."), false);
        break;
    case NetworkManagerClient::VpnConnect:
        sink.appendLog(tr("OpenVPN is connecting to the server."), false);
        break;
    case NetworkManagerClient::VpnIpConfigGet:
        sink.appendLog(tr("OpenVPN is connected; NetworkManager is applying the tunnel's addresses."), false);
        break;
    case NetworkManagerClient::VpnActivated:
        sink.appendLog(tr("The VPN connection is up."), false);
        state = Connected;
        sink.setConnectionState(Connected);
        break;
    case NetworkManagerClient::VpnFailed:
    case NetworkManagerClient::VpnDisconnected:
        end(failureText(reason));
        break;
    default:
        break;
    }
}

void NetworkManagerOpenVpn::onRefused(NetworkManagerClient::Refusal refusal, const QString &message)
{
    switch (refusal) {
    case NetworkManagerClient::ServiceMissing:
        end(tr("NetworkManager is not running."));
        break;
    case NetworkManagerClient::NotAuthorized:
        end(tr("NetworkManager does not let this user control networking: %1").arg(message));
        break;
    case NetworkManagerClient::Refused:
        end(tr("NetworkManager refused the VPN connection: %1").arg(message));
        break;
    }
}

void NetworkManagerOpenVpn::onSecretsRefused()
{
    loginRefused = true;
}

QString NetworkManagerOpenVpn::failureText(uint reason) const
{
    switch (reason) {
    case NetworkManagerClient::ReasonLoginFailed:
        return tr("Authorization failed!");
    case NetworkManagerClient::ReasonConnectTimeout:
        return tr("Connection timed out!");
    case NetworkManagerClient::ReasonUnknown:
    case NetworkManagerClient::ReasonNone:
    case NetworkManagerClient::ReasonNoSecrets:
        // The plugin asks for new secrets when the server refused the login, and fails when none come.
        if (loginRefused)
            return tr("Authorization failed!");
        break;
    default:
        break;
    }
    const QString text = NetworkManagerClient::reasonText(reason, QStringLiteral("OpenVPN"));
    return text.isEmpty() ? tr("NetworkManager could not make the VPN connection.") : text;
}

// Ends the attempt: the failure (prefixed while connecting), the stop entry, the disconnected state, and no key
// material left on disk.
void NetworkManagerOpenVpn::end(const QString &failure)
{
    if (state == Disconnected)
        return;
    if (!failure.isEmpty())
        sink.appendLog(state == Connecting ? tr("Connection Error - ") + failure : failure, false);
    sink.appendLog(QLatin1String(kStop), false);
    state = Disconnected;
    sink.setConnectionState(Disconnected);
    client.deactivate();
    if (import.state() != QProcess::NotRunning) {
        import.kill();
        import.waitForFinished(500);
    }
    removeLeftoverKeys();
}
