#include "engine/openvpn/openvpnarguments.h"

// Configurations written for Windows carry options that only OpenVPN for Windows knows; OpenVPN here refuses
// the whole file for any one of them, though they change nothing here. Not "cryptoapicert": a key in the
// Windows certificate store is missing here, and OpenVPN had better say so.
QStringList argumentsBeforeConfig()
{
    return {QStringLiteral("--ignore-unknown-option"), QStringLiteral("block-outside-dns"),
            QStringLiteral("register-dns"), QStringLiteral("ip-win32"), QStringLiteral("dhcp-renew"),
            QStringLiteral("dhcp-release"), QStringLiteral("dhcp-pre-release"), QStringLiteral("tap-sleep"),
            QStringLiteral("show-net-up"), QStringLiteral("allow-nonadmin"), QStringLiteral("windows-driver"),
            QStringLiteral("win-sys"), QStringLiteral("pause-exit")};
}
