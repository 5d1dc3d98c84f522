#include "singleinstance.h"

#include <QDir>
#include <QSharedMemory>

// Named shared memory on Windows is already private to the logon session.
void setInstanceKey(QSharedMemory &segment, const QString &keyName)
{
    segment.setKey(keyName);
}

QString instanceLockPath()
{
    return QDir::tempPath() + QLatin1Char('/') + QLatin1String(kInstanceMarkerKey) + QLatin1String(".lock");
}
