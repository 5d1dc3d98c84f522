#include <cstdlib>

// Before main, so a test binary run by hand keeps to this machine as under CTest: the reachability check and the
// public IP page at loopback, no system bus (a test that wants one starts its own); a launcher may pick the platform.
static const bool isolated = [] {
    ::setenv("ORVI_PING_HOST", "127.0.0.1", 1);
    ::setenv("ORVI_PUBLIC_IP_URL", "http://127.0.0.1:9/ipv4bot/", 1);
    ::setenv("ORVI_PUBLIC_IP_INFO_HOST", "127.0.0.1", 1);
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/orvi-test-system-bus", 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("LANG", "C.UTF-8", 0);
    return true;
}();
