#include "singleinstance.h"

#include <QSharedMemory>
#include <QStandardPaths>

namespace {

// The user's runtime folder (0700), so one user's client never blocks another's.
QString runtimeDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

} // namespace

void setInstanceKey(QSharedMemory &segment, const QString &keyName)
{
    segment.setNativeKey(runtimeDirectory() + QLatin1Char('/') + keyName);
}

QString instanceLockPath()
{
    return runtimeDirectory() + QLatin1Char('/') + QLatin1String(kInstanceMarkerKey) + QLatin1String(".lock");
}
