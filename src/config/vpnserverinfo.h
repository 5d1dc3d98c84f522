#pragma once

#include <QString>

// Protocol code stored with each profile.
enum VpnProtocol { OpenVPN = 0, PPTP = 1, L2TP = 2 };

// DNS choice handed to every new tunnel.
enum DnsServerMode { OpenDns = 0, GoogleDns = 1, OwnServers = 2 };

// One saved connection profile; passed around by value.
struct VpnServerInfo
{
    int protocol = OpenVPN;
    QString nickname;
    QString serverAddress;
    QString userName;
    QString password;
    QString ovpnConfig; // Base64 of the whole .ovpn file, never its path
    QString sharedKey;

    bool operator==(const VpnServerInfo &other) const
    {
        return protocol == other.protocol && nickname == other.nickname
            && serverAddress == other.serverAddress && userName == other.userName
            && password == other.password && ovpnConfig == other.ovpnConfig
            && sharedKey == other.sharedKey;
    }
    bool operator!=(const VpnServerInfo &other) const { return !(*this == other); }
};
