#include "support/tempworkdir.h"

#include <QFile>

bool TempWorkDir::writeFile(const QString &path, const QByteArray &body, QFile::Permissions permissions)
{
    QFile file(path);
    return QFileInfo(path).dir().mkpath(QStringLiteral(".")) && file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(body) == body.size() && file.flush() && file.setPermissions(permissions);
}

QByteArray TempWorkDir::readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
