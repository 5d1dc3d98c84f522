#pragma once

#include "engine/networkmanager/networkmanagertypes.h"

#include <QList>

class QHostAddress;

// The account NetworkManager checks the calling process against.
QString loginName();

// A VPN connection named id that only this user may see and use: the plugin's service type, its data and its
// secrets, kept with the connection in NetworkManager's memory. Not started by NetworkManager on its own.
NMVariantMapMap privateVpnSettings(const QString &id, const QString &serviceType, const NMStringMap &data,
                                   const NMStringMap &secrets);

// The IPv4 DNS servers the connection hands to the system while it is up, shutting out every other connection's.
// Addresses that are not IPv4, and 0.0.0.0, are left out; with none left nothing changes.
void setDnsServers(NMVariantMapMap &settings, const QList<QHostAddress> &servers);
