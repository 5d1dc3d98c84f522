#include "engine/openvpn/openvpnmarkers.h"

// The Windows wording ("... (WSAECONNREFUSED)") is already among the common markers.
QByteArrayList platformConnectionFailureMarkers()
{
    return {};
}
