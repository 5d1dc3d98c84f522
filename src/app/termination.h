#pragma once

class QObject;

// The system's request to end the process (SIGTERM, SIGINT, SIGHUP on Unix) takes the road of the
// tray's "Quit", so OpenVPN is stopped and the instance marker released.
// catchTerminationRequests() is called early; a request that arrives before the window exists waits
// for routeTerminationRequests(), which hands it to the window's onQuit() from the event loop.
void catchTerminationRequests();
void routeTerminationRequests(QObject *window);
