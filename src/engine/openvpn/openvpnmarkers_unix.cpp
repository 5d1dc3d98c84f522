#include "engine/openvpn/openvpnmarkers.h"

#include <QRegularExpression>

// OpenVPN on Linux prints the C library's wording of the socket error, e.g.
// "TCP: connect to [AF_INET]10.0.0.1:1194 failed: Connection refused" or
// "read UDPv4 [ECONNREFUSED]: Connection refused (fd=3,code=111)".
QByteArrayList platformConnectionFailureMarkers()
{
    return {QByteArrayLiteral("Connection refused"), QByteArrayLiteral("Connection timed out")};
}

// "ERROR: Cannot ioctl TUNSETIFF tun: Operation not permitted (errno=1)" without CAP_NET_ADMIN, or
// "ERROR: Cannot open TUN/TAP dev /dev/net/tun: Permission denied (errno=13)"; the same calls failing
// otherwise (a device busy, a missing module) are not a matter of privilege.
bool reportsMissingTunPrivilege(const QByteArray &chunk)
{
    static const QRegularExpression privilege(QStringLiteral("Cannot ioctl TUNSETIFF [^\\n]*: Operation not permitted"
                                                             "|Cannot open TUN/TAP dev [^\\n]*: Permission denied"));
    return privilege.match(QString::fromUtf8(chunk)).hasMatch();
}
