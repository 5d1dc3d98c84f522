#pragma once

#include "support/networkmanagermock.h"

#include <QTemporaryDir>

// The machine's own NetworkManager and VPN plugins, isolated from the machine: a network namespace of the test's
// own with a tap device as the parent connection; a private system bus, which inside the daemon's mount namespace
// is also /run/dbus/system_bus_socket, where the plugins' helpers look for it; tmpfs over its run-time and state
// folders, where it also writes the resolv.conf it would apply (rc-manager=unmanaged); polkit not asked.
struct RealNetworkManager
{
    ~RealNetworkManager();

    // Empty once it runs with the plugins of these services ("openvpn", "pptp"), else why it cannot here.
    QString start(const QStringList &plugins);
    // The ids of the connections NetworkManager holds, the parent's included.
    QStringList connectionIds() const;
    // What the daemon logged so far.
    QByteArray log() { return output += daemon.readAll(); }
    // The name servers of the resolv.conf NetworkManager would apply now.
    QStringList nameservers() const;
    // Runs a shell command inside the network namespace; what it printed.
    QByteArray inNamespace(const QString &command) const;

    MockNetworkManager nm; // never started: the bus, and the calls the test makes on it
    QTemporaryDir dir;
    QString netns;
    QProcess daemon;
    QByteArray output;
};
