#include "engine/openvpn/openvpnmarkers.h"

// The Windows wording ("... (WSAECONNREFUSED)") is already among the common markers.
QByteArrayList platformConnectionFailureMarkers()
{
    return {};
}

// OpenVPN on Windows words a missing privilege otherwise; its ending is handled like any other.
bool reportsMissingTunPrivilege(const QByteArray &)
{
    return false;
}
