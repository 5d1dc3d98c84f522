#pragma once

#include "engine/networkmanager/networkmanagertypes.h"

#include <QDBusContext>
#include <QDBusObjectPath>
#include <QObject>
#include <QStringList>

// Answers NetworkManager's secret requests for the one connection this client activated, and for no other. That
// connection carries its secrets, so NetworkManager asks an agent only when its VPN plugin wants more: after the
// server refused them (a wrong password, asked again with the same hints), or for one the profile does not hold.
// The agent refuses as a user would, so that no agent of the desktop pops up a dialog for this client's connection:
// NetworkManager asks the agents of the process that activated a connection first, and stops at a refusal.
class NetworkManagerSecretAgent : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager.SecretAgent")

public:
    explicit NetworkManagerSecretAgent(QObject *parent = nullptr);

    // The connection, by its UUID, the agent answers for; empty for none.
    void answerFor(const QString &uuid) { connectionUuid = uuid; }

signals:
    void moreSecretsRequested();

public slots:
    Q_SCRIPTABLE NMVariantMapMap GetSecrets(const NMVariantMapMap &connection, const QDBusObjectPath &connectionPath,
                                            const QString &settingName, const QStringList &hints, uint flags);
    Q_SCRIPTABLE void CancelGetSecrets(const QDBusObjectPath &connectionPath, const QString &settingName);
    Q_SCRIPTABLE void SaveSecrets(const NMVariantMapMap &connection, const QDBusObjectPath &connectionPath);
    Q_SCRIPTABLE void DeleteSecrets(const NMVariantMapMap &connection, const QDBusObjectPath &connectionPath);

private:
    QString connectionUuid;
};
