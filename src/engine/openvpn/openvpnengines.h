#pragma once

#include <memory>

class ConnectionSink;
class CVpnProc;
class OpenVpnEngine;
class SharedConfig;

// The ways this platform runs OpenVPN, and the one place that chooses between them for each attempt.
class OpenVpnEngines
{
public:
    OpenVpnEngines(CVpnProc &process, ConnectionSink &sink, const SharedConfig &config);
    ~OpenVpnEngines();

    // Finds out what choose() needs to know of the system; its answers come later.
    void probe();
    // The system's network service where it can run the tunnel, which needs no root; else the child process.
    // Logs what the user could do where the service is there but cannot.
    OpenVpnEngine *choose();
    // The engine that goes through the system's network service; null where the platform has none.
    OpenVpnEngine *service() const { return serviceEngine.get(); }

private:
    ConnectionSink &sink;
    std::unique_ptr<OpenVpnEngine> processEngine;
    std::unique_ptr<OpenVpnEngine> serviceEngine;
};
