#include "singleinstance.h"

#include <QFile>
#include <QSharedMemory>
#include <QStandardPaths>

namespace {

// The user's runtime folder (0700), so one user's client never blocks another's.
QString runtimeDirectory()
{
    // Looked up once: the probe runs every two seconds, and Qt warns on each lookup where
    // XDG_RUNTIME_DIR is not set.
    static const QString directory = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return directory;
}

} // namespace

void setInstanceKey(QSharedMemory &segment, const QString &keyName)
{
    const QString keyFile = runtimeDirectory() + QLatin1Char('/') + keyName;
    // The System V key is derived from this file. Without it a segment left behind could not be
    // looked up (and so not cleared), yet a new file may be given that very key.
    QFile file(keyFile);
    if (!file.exists())
        file.open(QIODevice::WriteOnly, QFile::ReadOwner | QFile::WriteOwner);
    segment.setNativeKey(keyFile);
}

QString instanceLockPath()
{
    return runtimeDirectory() + QLatin1Char('/') + QLatin1String(kInstanceMarkerKey) + QLatin1String(".lock");
}
