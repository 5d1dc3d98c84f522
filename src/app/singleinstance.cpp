#include "singleinstance.h"

#include <QLockFile>
#include <QSharedMemory>
#include <QThread>
#include <QtDebug>

const char *const kInstanceMarkerKey = "Orvi-20170428";
const char *const kWakeUpSignalKey = "OrviShared-instance-store";

namespace {

// Attaching and detaching removes a segment that nobody is attached to any more
// (what a killed process leaves); a segment some process still holds stays.
void clearIfAbandoned(const QString &keyName)
{
    QSharedMemory probe;
    setInstanceKey(probe, keyName);
    if (probe.attach())
        probe.detach();
}

} // namespace

bool createInstanceMarker(QSharedMemory &marker)
{
    const QString key = QString::fromLatin1(kInstanceMarkerKey);
    setInstanceKey(marker, key);
    // Between create and attach the new marker has no attachments, so a concurrent clear could
    // remove it and let two copies run. The start-up lock makes clear-and-create one step.
    QLockFile lock(instanceLockPath());
    lock.lock();
    clearIfAbandoned(key);
    return marker.create(512, QSharedMemory::ReadWrite);
}

void signalRunningInstance(int holdMs)
{
    QSharedMemory wakeUp;
    setInstanceKey(wakeUp, QString::fromLatin1(kWakeUpSignalKey));
    wakeUp.create(1, QSharedMemory::ReadWrite);
    QThread::msleep(static_cast<unsigned long>(holdMs));
    // Released here, before the caller's exit(0) would skip the destructor.
    wakeUp.detach();
}

bool wakeUpRequested()
{
    const QString key = QString::fromLatin1(kWakeUpSignalKey);
    QSharedMemory probe;
    setInstanceKey(probe, key);
    if (probe.create(1, QSharedMemory::ReadWrite))
        return false; // released when probe goes out of scope
    // Only a segment that is there is a request. A key that cannot be made (the runtime folder gone)
    // must not raise the window every two seconds.
    if (probe.error() != QSharedMemory::AlreadyExists) {
        static bool warned = false;
        if (!warned)
            qWarning("Cannot watch for a second start: %s", qUtf8Printable(probe.errorString()));
        warned = true;
        return false;
    }
    probe.unlock();
    clearIfAbandoned(key);
    return true;
}
