#pragma once

// The remote access backends of Unix builds; createPlatformRasApi in rasapi_unix.cpp picks one.

#include "engine/ras/rasapi.h"

#include <QStringList>

// Fails every dial with a plain explanation; for systems without NetworkManager.
RasApi *createUnavailableRasApi();

// Where NetworkManager looks for the descriptions of its VPN plugins.
QStringList defaultVpnPluginFolders();
// True when NetworkManager owns its name on the system bus.
bool networkManagerRunning();
// Dials through NetworkManager on the system bus; a plugin counts as installed when its description
// (nm-pptp-service.name, nm-l2tp-service.name) is in one of pluginFolders.
RasApi *createNetworkManagerRasApi(const QStringList &pluginFolders = defaultVpnPluginFolders());
