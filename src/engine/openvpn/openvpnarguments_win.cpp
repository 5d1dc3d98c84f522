#include "engine/openvpn/openvpnarguments.h"

// OpenVPN for Windows knows every option a configuration for it carries.
QStringList argumentsBeforeConfig()
{
    return {};
}
