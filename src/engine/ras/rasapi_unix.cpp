#include "engine/ras/rasapi_unix.h"

RasApi *createPlatformRasApi()
{
    // A desktop dials PPTP and L2TP through NetworkManager; without it they cannot be dialled at all.
    return networkManagerRunning() ? createNetworkManagerRasApi() : createUnavailableRasApi();
}
