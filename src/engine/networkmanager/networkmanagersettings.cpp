#include "engine/networkmanager/networkmanagersettings.h"

#include <QHostAddress>
#include <QStringList>
#include <QtEndian>

#include <pwd.h>
#include <unistd.h>

#include <limits>

QString loginName()
{
    const passwd *account = ::getpwuid(::geteuid());
    return account ? QString::fromLocal8Bit(account->pw_name) : QString();
}

NMVariantMapMap privateVpnSettings(const QString &id, const QString &serviceType, const NMStringMap &data,
                                   const NMStringMap &secrets)
{
    NMVariantMapMap settings;
    settings.insert(QStringLiteral("connection"),
                    { { QStringLiteral("id"), id },
                      { QStringLiteral("type"), QStringLiteral("vpn") },
                      { QStringLiteral("autoconnect"), false },
                      // It carries the user's password: only they may see or use it.
                      { QStringLiteral("permissions"), QStringList{ QStringLiteral("user:") + loginName() } } });
    QVariantMap vpn{ { QStringLiteral("service-type"), serviceType },
                     { QStringLiteral("data"), QVariant::fromValue(data) } };
    if (!secrets.isEmpty())
        vpn.insert(QStringLiteral("secrets"), QVariant::fromValue(secrets));
    settings.insert(QStringLiteral("vpn"), vpn);
    return settings;
}

void setDnsServers(NMVariantMapMap &settings, const QList<QHostAddress> &servers)
{
    QList<uint> dns; // au, network byte order
    for (const QHostAddress &server : servers) {
        if (server.protocol() == QAbstractSocket::IPv4Protocol && server.toIPv4Address() != 0)
            dns.append(qToBigEndian(server.toIPv4Address()));
    }
    if (dns.isEmpty())
        return;
    QVariantMap &ipv4 = settings[QStringLiteral("ipv4")];
    ipv4.insert(QStringLiteral("method"), QStringLiteral("auto"));
    ipv4.insert(QStringLiteral("dns"), QVariant::fromValue(dns));
    ipv4.insert(QStringLiteral("ignore-auto-dns"), true);
    // The most negative priority there is shuts every other connection's servers out while the tunnel is up, so
    // no name look-up leaks past it.
    ipv4.insert(QStringLiteral("dns-priority"), std::numeric_limits<int>::min());
}
