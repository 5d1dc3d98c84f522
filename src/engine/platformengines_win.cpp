#include "engine/platformengines.h"

#include "engine/openvpn/cvpnproc.h"

OpenVpnEngine *createServiceOpenVpnEngine(ConnectionSink &, const SharedConfig &)
{
    return nullptr; // OpenVPN's own service and adapter do the privileged part there
}

void removeLeftoverSecretFiles()
{
    CVpnProc::removeLeftoverCredentialFiles();
}
