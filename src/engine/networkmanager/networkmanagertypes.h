#pragma once

#include <QMap>
#include <QMetaType>
#include <QString>
#include <QVariantMap>

// A connection's settings as NetworkManager takes and gives them, a{sa{sv}}: setting name to its properties.
using NMVariantMapMap = QMap<QString, QVariantMap>;
// A VPN plugin's data and secrets, a{ss}.
using NMStringMap = QMap<QString, QString>;

// Makes both known to QtDBus, with the list of maps that route data is; cheap to call again.
void registerNetworkManagerTypes();
