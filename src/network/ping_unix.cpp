#include "ping.h"

QStringList pingArguments(const QString &host)
{
    return { QStringLiteral("-c"), QStringLiteral("1"), QStringLiteral("-W"), QStringLiteral("2"), host };
}

int pingAverageFromOutput(const QString &output)
{
    return unixPingAverage(output);
}
