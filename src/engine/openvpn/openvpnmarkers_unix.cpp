#include "engine/openvpn/openvpnmarkers.h"

// OpenVPN on Linux prints the C library's wording of the socket error, e.g.
// "TCP: connect to [AF_INET]10.0.0.1:1194 failed: Connection refused" or
// "read UDPv4 [ECONNREFUSED]: Connection refused (fd=3,code=111)".
QByteArrayList platformConnectionFailureMarkers()
{
    return {QByteArrayLiteral("Connection refused"), QByteArrayLiteral("Connection timed out")};
}
