#pragma once

#include "vpnserverinfo.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QSettings;

// The one configuration record of the process and its INI file.
// Other code changes the fields in place and calls save().
class SharedConfig
{
public:
    // Opens (creating its folder if needed) and loads the INI file at filePath.
    explicit SharedConfig(const QString &filePath);
    ~SharedConfig();

    SharedConfig(const SharedConfig &) = delete;
    SharedConfig &operator=(const SharedConfig &) = delete;

    // The process-wide record on "shared_config.ini" in the working directory.
    static SharedConfig &instance();

    void load();
    // Rewrites the whole file; false when it could not be written.
    bool save();

    QString filePath() const { return path; }

    bool launchOnSystemStartup = false;
    bool redialAutomatically = false;
    bool minimizeOnClose = false;
    bool enableDnsProtection = false;
    bool killSwitch = false;
    quint32 checkVpnInterval = 500;
    int dnsServer = OpenDns;
    QString preferredDnsServer;
    QString alternativeDnsServer;
    QList<VpnServerInfo> serverInfoList;

private:
    QString path;
    QSettings *settingsFile = nullptr;
};

// Registers (or unregisters) the client to start at user logon.
void setLaunchOnSystemStartup(bool enable);
// The arguments the logon start passes, so the client comes back the way it was started.
void setLaunchArguments(const QStringList &arguments);
const QStringList &launchArguments();

// The DNS servers a new tunnel hands to the system: those of the chosen set while protection is on, else none.
// Own servers as typed; an empty alternative is left out.
QStringList protectionDnsServers(const SharedConfig &config);

// Bytes of a stored OpenVPN configuration.
QByteArray decodeBase64(const QString &text);
