#include "ping.h"

QStringList pingArguments(const QString &host)
{
    return { QStringLiteral("-n"), QStringLiteral("1"), host };
}

int pingAverageFromOutput(const QString &output)
{
    return windowsPingAverage(output);
}
