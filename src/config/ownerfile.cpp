#include "ownerfile.h"

#include <QFile>
#include <QFileInfo>

bool openOwnerOnly(QFile &file, QIODevice::OpenMode mode)
{
    restrictToOwner(file.fileName());
    return file.open(mode, QFile::ReadOwner | QFile::WriteOwner);
}

void restrictToOwner(const QString &path)
{
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
        | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    if (QFileInfo(path).isFile() && (QFile::permissions(path) & others))
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}
