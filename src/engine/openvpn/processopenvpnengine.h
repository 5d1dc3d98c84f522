#pragma once

#include "engine/openvpn/openvpnengine.h"

class CVpnProc;

// OpenVPN as the child process "./openvpn.exe" that CVpnProc runs.
class ProcessOpenVpnEngine : public OpenVpnEngine
{
public:
    explicit ProcessOpenVpnEngine(CVpnProc &process);

    bool available(QString *whyNot) const override;
    void prepare(const QByteArray &userName, const QByteArray &password) override;
    int start() override;
    void stop(bool userRequested) override;

private:
    CVpnProc &process;
};
