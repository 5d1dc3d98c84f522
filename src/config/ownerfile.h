#pragma once

#include <QIODevice>

class QFile;
class QString;

// Files that hold passwords or keys are readable by their owner only from the moment they exist.

// Opens file in mode; a new file is created 0600 and an existing one that others could read is tightened first.
bool openOwnerOnly(QFile &file, QIODevice::OpenMode mode);

// Tightens an existing regular file that others could read to 0600. A folder made 0600 could no longer be
// entered, so anything but a regular file is left alone.
void restrictToOwner(const QString &path);
