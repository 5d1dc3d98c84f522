#include "networkendpoints.h"

#include <QtGlobal>

namespace {

QString fromEnvironment(const char *name, const char *fallback)
{
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? QString::fromLatin1(fallback) : value;
}

} // namespace

QUrl defaultPublicIpUrl()
{
    return QUrl(fromEnvironment("ORVI_PUBLIC_IP_URL", ORVI_PUBLIC_IP_URL_DEFAULT));
}

QString defaultPublicIpInfoHost()
{
    return fromEnvironment("ORVI_PUBLIC_IP_INFO_HOST", ORVI_PUBLIC_IP_INFO_HOST_DEFAULT);
}

QString defaultPingHost()
{
    return fromEnvironment("ORVI_PING_HOST", ORVI_PING_HOST_DEFAULT);
}
