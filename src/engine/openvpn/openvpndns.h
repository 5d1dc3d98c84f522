#pragma once

#include <QString>
#include <QStringList>

// What makes OpenVPN hand the tunnel's DNS servers (its --dhcp-option DNS options) to the system.
struct DnsHelper
{
    QStringList options;     // appended to the command line after the DNS options
    QString notApplied;      // when the system offers no way: the reason, logged at every connect
};

// Chosen at each start. systemRoot prefixes every path that is probed ("" on a real system);
// ORVI_OPENVPN_DNS_SCRIPT names a script to run in place of the system's helper.
DnsHelper dnsHelper(const QString &systemRoot);

// How long OpenVPN may take, once asked to end, to run its down script before it is killed;
// 0 kills it at once.
int stopGraceMs();
