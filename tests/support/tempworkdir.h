#pragma once

#include <QString>
#include <QTemporaryDir>

// A fresh temporary folder made the working directory for the lifetime of the object.
class TempWorkDir : public QTemporaryDir
{
public:
    TempWorkDir();
    ~TempWorkDir();

    // Writes an executable shell script into the folder.
    bool writeScript(const QString &name, const QByteArray &body) const;
    static QByteArray readFile(const QString &path);

private:
    QString previous;
};
