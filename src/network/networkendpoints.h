#pragma once

#include <QString>
#include <QUrl>

// Where the public IP page and the reachability target are; the environment
// (ORVI_PUBLIC_IP_URL, ORVI_PUBLIC_IP_INFO_HOST, ORVI_PING_HOST) overrides the built-in values.
QUrl defaultPublicIpUrl();
QString defaultPublicIpInfoHost();
QString defaultPingHost();
