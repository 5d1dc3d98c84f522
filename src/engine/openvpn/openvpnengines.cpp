#include "engine/openvpn/openvpnengines.h"

#include "engine/connectionsink.h"
#include "engine/openvpn/processopenvpnengine.h"
#include "engine/platformengines.h"

#include <QString>

OpenVpnEngines::OpenVpnEngines(CVpnProc &process, ConnectionSink &sink, const SharedConfig &config)
    : sink(sink)
    , processEngine(new ProcessOpenVpnEngine(process))
    , serviceEngine(createServiceOpenVpnEngine(sink, config))
{
}

OpenVpnEngines::~OpenVpnEngines() = default;

void OpenVpnEngines::probe()
{
    if (serviceEngine)
        serviceEngine->probe();
}

OpenVpnEngine *OpenVpnEngines::choose()
{
    QString whyNot;
    if (serviceEngine && serviceEngine->available(&whyNot))
        return serviceEngine.get();
    if (!whyNot.isEmpty())
        sink.appendLog(whyNot, false);
    return processEngine.get();
}
