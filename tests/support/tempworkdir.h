#pragma once

#include <QDir>
#include <QTemporaryDir>

// A fresh temporary folder made the working directory for the lifetime of the object.
class TempWorkDir : public QTemporaryDir
{
    const QString previous = QDir::currentPath();

public:
    TempWorkDir() { QDir::setCurrent(path()); }
    ~TempWorkDir() { QDir::setCurrent(previous); }

    // Writes an executable shell script into the folder.
    bool writeScript(const QString &name, const QByteArray &body) const;
    static QByteArray readFile(const QString &path);
};
