#pragma once

#include <QString>

class QSharedMemory;

// Key names of the two named segments that keep the client to one running copy.
extern const char *const kInstanceMarkerKey;  // "Orvi-20170428", 512 bytes, held by the running copy
extern const char *const kWakeUpSignalKey;    // "OrviShared-instance-store", 1 byte, held by a second start

// Points the segment at the key, scoped to the current user where the platform needs it.
void setInstanceKey(QSharedMemory &segment, const QString &keyName);

// A lock file that serialises the start-up check between copies started at once.
QString instanceLockPath();

// Creates the instance marker. False means another copy runs (or the facility refused).
// A marker left behind by a copy that died is cleared first; a live one never is.
bool createInstanceMarker(QSharedMemory &marker);

// Tells the running copy to come forward: holds the wake-up segment for holdMs, then releases it.
void signalRunningInstance(int holdMs);

// True while a second start holds the wake-up segment. A segment left by a second start
// that died is cleared, so it cannot keep raising the window.
bool wakeUpRequested();
