#pragma once

// What runs each protocol on this platform, where that is a choice: PPTP and L2TP through createPlatformRasApi
// (engine/ras/rasapi.h), OpenVPN through these.

class ConnectionSink;
class OpenVpnEngine;
class SharedConfig;

// OpenVPN through the system's network service, for users without root; null where the platform has none.
OpenVpnEngine *createServiceOpenVpnEngine(ConnectionSink &sink, const SharedConfig &config);

// Removes the files with profile secrets that a killed client left behind; only while no other client can run.
void removeLeftoverSecretFiles();
