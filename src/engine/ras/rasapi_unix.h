#pragma once

#include "engine/ras/rasapi.h"

#include <QStringList>

// Dials PPTP and L2TP through NetworkManager on the system bus; a plugin counts as installed when its description
// (nm-pptp-service.name, nm-l2tp-service.name) is in one of pluginFolders.
RasApi *createNetworkManagerRasApi(const QStringList &pluginFolders);
