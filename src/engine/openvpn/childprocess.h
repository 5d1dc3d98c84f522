#pragma once

#include <QString>

class QProcess;

// How OpenVPN is bound to the client's life, per platform.

// Folder of the credential file: the user's runtime folder where the system has one (owner-only and
// emptied at logout), else the temporary folder.
QString credentialFolder();

// Makes the started process end when the client does, however the client ends.
void tieToClient(QProcess &process);
