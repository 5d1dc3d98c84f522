#include "engine/openvpn/childprocess.h"

#include <QDir>

// The temporary folder is the user's own on Windows.
QString credentialFolder()
{
    return QDir::tempPath();
}

void tieToClient(QProcess &)
{
}
