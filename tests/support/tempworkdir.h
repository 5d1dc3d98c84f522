#pragma once

#include <QString>
#include <QTemporaryDir>

// A fresh temporary folder made the working directory for the lifetime of the object.
class TempWorkDir
{
public:
    TempWorkDir();
    ~TempWorkDir();

    TempWorkDir(const TempWorkDir &) = delete;
    TempWorkDir &operator=(const TempWorkDir &) = delete;

    QString path() const { return dir.path(); }
    QString filePath(const QString &name) const { return dir.filePath(name); }
    bool isValid() const { return dir.isValid(); }

    // Writes an executable shell script into the folder.
    bool writeScript(const QString &name, const QByteArray &body) const;
    static QByteArray readFile(const QString &path);

private:
    QTemporaryDir dir;
    QString previous;
};
