#pragma once

#include <QByteArrayList>

// Texts by which this platform's OpenVPN reports, besides the Windows socket wording that every
// platform recognises, that the server refused the connection or never answered.
QByteArrayList platformConnectionFailureMarkers();

// Whether the chunk holds this platform's OpenVPN saying it lacks the privilege to create its tunnel device.
bool reportsMissingTunPrivilege(const QByteArray &chunk);
