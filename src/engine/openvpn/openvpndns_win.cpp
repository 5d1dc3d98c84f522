#include "engine/openvpn/openvpndns.h"

// OpenVPN applies the servers to its own adapter, and they go with the adapter.
DnsHelper dnsHelper(const QString &)
{
    return {};
}

// Console OpenVPN cannot be asked to end here (terminate() only posts WM_CLOSE), and needs no down script.
int stopGraceMs()
{
    return 0;
}
