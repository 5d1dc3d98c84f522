#pragma once

#include <QString>
#include <QStringList>

// Average round trip to host in milliseconds, by one echo of the system's ping; 0 when none could be read.
qint16 pingAverageMs(const QString &host);

// The platform's ping arguments for one echo to host.
QStringList pingArguments(const QString &host);
// Average read from the platform's ping output.
int pingAverageFromOutput(const QString &output);

// Parsers for the two output styles, kept apart so both can be checked anywhere.
int windowsPingAverage(const QString &output);
int unixPingAverage(const QString &output);
