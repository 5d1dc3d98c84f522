#include "app/userdatafolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

bool enterUserDataFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (folder.isEmpty())
        return false;
    QDir dir;
    if (!dir.exists(folder)) {
        // Owner-only from the start: the configuration kept here holds passwords.
        dir.mkpath(QFileInfo(folder).path());
        if (!dir.mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) && !dir.exists(folder))
            return false;
    }
    return QDir::setCurrent(folder);
}
