#pragma once

#include <QStringList>

// Arguments that go before "--config": OpenVPN reads its options in order and the file where --config
// stands, so only these are in force while it reads the configuration.
QStringList argumentsBeforeConfig();
