#include "support/tempworkdir.h"

#include <QDir>
#include <QFile>

TempWorkDir::TempWorkDir()
    : previous(QDir::currentPath())
{
    if (isValid())
        QDir::setCurrent(path());
}

TempWorkDir::~TempWorkDir()
{
    QDir::setCurrent(previous);
}

bool TempWorkDir::writeScript(const QString &name, const QByteArray &body) const
{
    QFile file(filePath(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(body) != body.size())
        return false;
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QByteArray TempWorkDir::readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
