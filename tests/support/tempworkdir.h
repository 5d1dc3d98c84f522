#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// A fresh temporary folder made the working directory for the lifetime of the object.
class TempWorkDir : public QTemporaryDir
{
    const QString previous = QDir::currentPath();

public:
    TempWorkDir() { QDir::setCurrent(path()); }
    ~TempWorkDir() { QDir::setCurrent(previous); }

    // Writes an executable shell script into the folder.
    bool writeScript(const QString &name, const QByteArray &body) const { return writeFile(filePath(name), body); }
    // Writes a file, its folder made where missing, owner-only; executable unless permissions say otherwise.
    static bool writeFile(const QString &path, const QByteArray &body,
                          QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    static QByteArray readFile(const QString &path);
};
