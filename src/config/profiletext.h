#pragma once

#include "config/vpnserverinfo.h"

#include <QString>

// One-line text of a profile in both profile lists.
QString vpnServerInfoText(const VpnServerInfo &info);

// Whole file at path as Base64 without line breaks; empty when it cannot be opened.
QString loadOvpnConfigBase64(const QString &path);
