#include "sharedconfig.h"

#include "config/ownerfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QtDebug>

namespace {

const char *const kSettingsGroup = "settings";
const quint32 kMinimumCheckInterval = 500;
const int kProfileItems = 7;

QString profileKey(int number)
{
    return QString::asprintf("vpn-server-info-%d", number);
}

bool profileFromItems(const QStringList &items, VpnServerInfo *info)
{
    if (items.size() != kProfileItems)
        return false;
    const int protocol = items.at(0).toInt(); // not a number reads as 0
    if (protocol < OpenVPN || protocol > L2TP)
        return false;
    info->protocol = protocol;
    info->sharedKey = items.at(1);
    info->serverAddress = items.at(2);
    info->userName = items.at(3);
    info->password = items.at(4);
    info->ovpnConfig = items.at(5);
    info->nickname = items.at(6);
    return true;
}

QStringList itemsFromProfile(const VpnServerInfo &info)
{
    return { QString::number(info.protocol), info.sharedKey, info.serverAddress,
             info.userName, info.password, info.ovpnConfig, info.nickname };
}

QStringList &launchArgumentList()
{
    static QStringList arguments;
    return arguments;
}

} // namespace

SharedConfig::SharedConfig(const QString &filePath)
    : path(filePath)
{
    if (!QFileInfo::exists(path)) {
        const QString dir = QFileInfo(path).absolutePath();
        QDir().mkdir(dir);
        QDir().mkpath(dir);
    }
    settingsFile = new QSettings(path, QSettings::IniFormat);
    load();
}

SharedConfig::~SharedConfig()
{
    delete settingsFile;
}

SharedConfig &SharedConfig::instance()
{
    static SharedConfig record(QDir::currentPath() + QStringLiteral("/shared_config.ini"));
    return record;
}

void SharedConfig::load()
{
    // The file holds passwords; an existing one that others can read is tightened first.
    restrictToOwner(path);

    QSettings &s = *settingsFile;
    s.beginGroup(QLatin1String(kSettingsGroup));

    killSwitch = s.value(QStringLiteral("kill-switch"), false).toBool();
    launchOnSystemStartup = s.value(QStringLiteral("launch-on-system-startup"), false).toBool();
    redialAutomatically = s.value(QStringLiteral("redial-automatically"), false).toBool();
    minimizeOnClose = s.value(QStringLiteral("minimize-on-close"), false).toBool();

    // Read signed and kept as its unsigned value, so "-5" becomes a huge interval.
    checkVpnInterval = static_cast<quint32>(s.value(QStringLiteral("check-vpn-interval"), 500).toInt());
    if (checkVpnInterval < kMinimumCheckInterval)
        checkVpnInterval = kMinimumCheckInterval;

    enableDnsProtection = s.value(QStringLiteral("enable-dns-protection"), false).toBool();
    dnsServer = enableDnsProtection ? s.value(QStringLiteral("dns-server"), 0).toInt() : OpenDns;
    if (dnsServer == OwnServers) {
        preferredDnsServer = s.value(QStringLiteral("preferred-dns-server")).toString();
        alternativeDnsServer = s.value(QStringLiteral("alternative-dns-server")).toString();
    } else {
        preferredDnsServer.clear();
        alternativeDnsServer.clear();
    }

    serverInfoList.clear();
    for (int n = 1; s.contains(profileKey(n)); ++n) {
        VpnServerInfo info;
        if (profileFromItems(s.value(profileKey(n)).toStringList(), &info))
            serverInfoList.append(info);
    }

    s.endGroup();
}

bool SharedConfig::save()
{
    QSettings &s = *settingsFile;
    s.beginGroup(QLatin1String(kSettingsGroup));
    s.clear();

    s.setValue(QStringLiteral("enable-dns-protection"), enableDnsProtection);
    s.setValue(QStringLiteral("dns-server"), static_cast<quint32>(dnsServer));
    s.setValue(QStringLiteral("preferred-dns-server"), preferredDnsServer);
    s.setValue(QStringLiteral("alternative-dns-server"), alternativeDnsServer);
    s.setValue(QStringLiteral("launch-on-system-startup"), launchOnSystemStartup);
    s.setValue(QStringLiteral("redial-automatically"), redialAutomatically);
    s.setValue(QStringLiteral("check-vpn-interval"), checkVpnInterval);
    for (int i = 0; i < serverInfoList.size(); ++i)
        s.setValue(profileKey(i + 1), itemsFromProfile(serverInfoList.at(i)));

    s.endGroup();
    {
        // A new file must never exist readable by others, not even for a moment; an older one is tightened.
        QFile file(path);
        openOwnerOnly(file, QIODevice::Append);
    }
    s.sync();

    // A FormatError only says the old file was not valid INI; the new one was still written.
    if (s.status() == QSettings::AccessError) {
        qWarning("Could not write the configuration file %s", qUtf8Printable(path));
        return false;
    }
    return true;
}

QStringList protectionDnsServers(const SharedConfig &config)
{
    if (!config.enableDnsProtection)
        return {};
    switch (config.dnsServer) {
    case OpenDns:
        return { QStringLiteral("208.67.222.222"), QStringLiteral("208.67.220.220") };
    case GoogleDns:
        return { QStringLiteral("8.8.8.8"), QStringLiteral("8.8.4.4") };
    case OwnServers:
        return config.alternativeDnsServer.isEmpty() ? QStringList{ config.preferredDnsServer }
                                                     : QStringList{ config.preferredDnsServer, config.alternativeDnsServer };
    default:
        return {};
    }
}

void setLaunchArguments(const QStringList &arguments)
{
    launchArgumentList() = arguments;
}

const QStringList &launchArguments()
{
    return launchArgumentList();
}

QByteArray decodeBase64(const QString &text)
{
    return QByteArray::fromBase64(text.toUtf8());
}
