#pragma once

#include <QString>

// Four decimal groups of 0 to 255 without leading zeros, nothing else: the one form of a DNS server
// that OpenVPN, the RAS entry and the user all read alike (a leading zero reads as octal elsewhere).
bool isDottedIPv4(const QString &text);
