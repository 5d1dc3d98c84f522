#include "engine/openvpn/processopenvpnengine.h"

#include "engine/openvpn/cvpnproc.h"

#include <cstring>

namespace {

void copyToBuffer(char *buffer, int size, const QByteArray &bytes)
{
    std::memset(buffer, 0, static_cast<size_t>(size));
    std::memcpy(buffer, bytes.constData(), static_cast<size_t>(qMin(bytes.size(), size - 1)));
}

} // namespace

ProcessOpenVpnEngine::ProcessOpenVpnEngine(CVpnProc &process)
    : process(process)
{
}

bool ProcessOpenVpnEngine::available(QString *) const
{
    return true;
}

void ProcessOpenVpnEngine::prepare(const QByteArray &userName, const QByteArray &password)
{
    std::memset(&process.attempt, 0, sizeof process.attempt);
    qstrncpy(process.attempt.consoleLogName, "openvpn_console.txt", sizeof process.attempt.consoleLogName);
    copyToBuffer(process.userNameBuffer, sizeof process.userNameBuffer, userName);
    copyToBuffer(process.passwordBuffer, sizeof process.passwordBuffer, password);
}

int ProcessOpenVpnEngine::start()
{
    return process.startOpenVpn();
}

void ProcessOpenVpnEngine::stop(bool userRequested)
{
    process.stopOpenVpn(userRequested);
}
