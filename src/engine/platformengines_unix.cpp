#include "engine/platformengines.h"

#include "engine/networkmanager/networkmanagerclient.h"
#include "engine/networkmanager/networkmanageropenvpn.h"
#include "engine/openvpn/cvpnproc.h"
#include "engine/ras/rasapi_unix.h"

RasApi *createPlatformRasApi()
{
    // A desktop dials PPTP and L2TP through NetworkManager; where it is not running, the dial says so.
    return createNetworkManagerRasApi(defaultVpnPluginFolders());
}

OpenVpnEngine *createServiceOpenVpnEngine(ConnectionSink &sink, const SharedConfig &config)
{
    // NetworkManager runs OpenVPN with the privileges a tunnel needs, and applies its routes and DNS servers.
    return new NetworkManagerOpenVpn(sink, config, NetworkManagerOpenVpn::installedImporter());
}

void removeLeftoverSecretFiles()
{
    CVpnProc::removeLeftoverCredentialFiles();
    NetworkManagerOpenVpn::removeLeftoverKeys();
}
