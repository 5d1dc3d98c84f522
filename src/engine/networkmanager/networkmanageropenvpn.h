#pragma once

#include "engine/networkmanager/networkmanagerclient.h"
#include "engine/openvpn/openvpnengine.h"

#include <QProcess>

class ConnectionSink;
class SharedConfig;

// OpenVPN through NetworkManager and its OpenVPN plugin, which run it with the privileges a tunnel needs and apply
// its routes and DNS servers, for a user without root. The plugin's own importer turns "./config.ovpn" into the
// connection's settings; the key material it writes out lives in the user's runtime folder, owner-only, from the
// start of an attempt to its end.
class NetworkManagerOpenVpn : public QObject, public OpenVpnEngine
{
    Q_OBJECT

public:
    // importer: the program that runs the plugin's importer (orvi-dudaru-openvpn-import).
    NetworkManagerOpenVpn(ConnectionSink &sink, const SharedConfig &config, const QString &importer,
                          const QStringList &pluginFolders = defaultVpnPluginFolders(), QObject *parent = nullptr);
    ~NetworkManagerOpenVpn() override;

    // The importer beside the executable, else where the package installs it.
    static QString installedImporter();
    // Removes the key files of a client that died; only while no other client can run.
    static void removeLeftoverKeys();

    void probe() override;
    bool available(QString *whyNot) const override;
    void prepare(const QByteArray &userName, const QByteArray &password) override;
    int start() override;
    void stop(bool userRequested) override;

    NetworkManagerClient &networkManager() { return client; }

private slots:
    void onImportFailed(QProcess::ProcessError error);
    void onImported(int exitCode, QProcess::ExitStatus exitStatus);
    void onVpnStateChanged(uint state, uint reason);
    void onRefused(NetworkManagerClient::Refusal refusal, const QString &message);
    void onSecretsRefused();

private:
    NMVariantMapMap settingsFor(const QJsonObject &imported) const;
    QString failureText(uint reason) const;
    void end(const QString &failure);

    ConnectionSink &sink;
    const SharedConfig &config;
    const QString importer;
    const QStringList pluginFolders;
    NetworkManagerClient client;
    QProcess import;
    QByteArray userName;
    QByteArray password;
    int state = 0;              // the ConnectionState told to the window
    bool loginRefused = false;  // NetworkManager asked for new secrets during this attempt
};
