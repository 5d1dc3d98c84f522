#pragma once

#include <QByteArrayList>

// Texts by which this platform's OpenVPN reports, besides the Windows socket wording that every
// platform recognises, that the server refused the connection or never answered.
QByteArrayList platformConnectionFailureMarkers();
