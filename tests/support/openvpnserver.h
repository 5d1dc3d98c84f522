#pragma once

#include "support/tempworkdir.h"

#include <QProcess>

// The system's OpenVPN as a server on 127.0.0.1, in the test's network namespace or in one given: a throwaway
// certificate, a port and subnet of this run's own, a script that lets in alice with "correct horse" only, and the
// DNS servers 10.231.53.1 and 10.231.53.2 pushed to clients.
struct OpenVpnServer
{
    ~OpenVpnServer() { daemon.close(); } // kills it and waits

    // Empty once it runs, else why it cannot here.
    QString start(const QString &netns = QString());
    // A client configuration for it, the server's certificate inline.
    QByteArray clientConfig() const;
    QString log() const { return QString::fromUtf8(TempWorkDir::readFile(dir.filePath("server.log"))); }

    QTemporaryDir dir;
    QByteArray port;
    QByteArray subnet; // the tunnel's 10.231.N.0/24, of this run's own
    QProcess daemon;
};
