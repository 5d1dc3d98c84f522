#pragma once

#include "config/ovpnbundle.h"
#include "config/vpnserverinfo.h"

#include <QString>

// One-line text of a profile in both profile lists.
QString vpnServerInfoText(const VpnServerInfo &info);

// The configuration at path, with the key and certificate files it names carried inline, as Base64 without
// line breaks; empty when it cannot be opened, or when a file it names cannot be (listed in missing).
QString loadOvpnConfigBase64(const QString &path, QList<MissingOvpnFile> *missing);
