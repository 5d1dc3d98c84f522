#pragma once

#include "engine/networkmanager/networkmanagertypes.h"

#include <QDBusContext>
#include <QDBusObjectPath>
#include <QObject>
#include <QStringList>

// Answers NetworkManager's secret requests for the one connection this client activated, and for no other. The
// connection carries its secrets, so NetworkManager asks only once they failed: the agent then refuses as the user
// would, so that no other agent of the desktop pops up a password dialog for a password this client holds.
// NetworkManager asks the agents of the process that activated a connection first.
class NetworkManagerSecretAgent : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager.SecretAgent")

public:
    explicit NetworkManagerSecretAgent(QObject *parent = nullptr);

    // The connection (by its UUID) the agent answers for, and the secrets it holds; an empty UUID answers for none.
    void answerFor(const QString &uuid, const NMVariantMapMap &secrets);

signals:
    // NetworkManager asked for new secrets: the ones the connection carries were refused.
    void secretsRefused();

public slots:
    Q_SCRIPTABLE NMVariantMapMap GetSecrets(const NMVariantMapMap &connection, const QDBusObjectPath &connectionPath,
                                            const QString &settingName, const QStringList &hints, uint flags);
    Q_SCRIPTABLE void CancelGetSecrets(const QDBusObjectPath &connectionPath, const QString &settingName);
    Q_SCRIPTABLE void SaveSecrets(const NMVariantMapMap &connection, const QDBusObjectPath &connectionPath);
    Q_SCRIPTABLE void DeleteSecrets(const NMVariantMapMap &connection, const QDBusObjectPath &connectionPath);

private:
    QString uuid;
    NMVariantMapMap secrets;
};
