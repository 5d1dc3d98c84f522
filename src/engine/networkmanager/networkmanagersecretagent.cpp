#include "engine/networkmanager/networkmanagersecretagent.h"

NetworkManagerSecretAgent::NetworkManagerSecretAgent(QObject *parent)
    : QObject(parent)
{
}

NMVariantMapMap NetworkManagerSecretAgent::GetSecrets(const NMVariantMapMap &connection, const QDBusObjectPath &,
                                                      const QString &, const QStringList &, uint)
{
    const QString uuid = connection.value(QStringLiteral("connection")).value(QStringLiteral("uuid")).toString();
    if (connectionUuid.isEmpty() || uuid != connectionUuid) {
        // Someone else's connection: NetworkManager asks the next agent.
        sendErrorReply(QStringLiteral("org.freedesktop.NetworkManager.SecretAgent.NoSecrets"),
                       QStringLiteral("Not a connection of this client."));
        return {};
    }
    emit moreSecretsRequested();
    sendErrorReply(QStringLiteral("org.freedesktop.NetworkManager.SecretAgent.UserCanceled"),
                   QStringLiteral("The client has no other secrets than those the connection carries."));
    return {};
}

void NetworkManagerSecretAgent::CancelGetSecrets(const QDBusObjectPath &, const QString &)
{
    // Every request is answered at once: nothing is left to cancel.
}

void NetworkManagerSecretAgent::SaveSecrets(const NMVariantMapMap &, const QDBusObjectPath &)
{
    // The secrets live in the client's profile; NetworkManager keeps its own copy in memory.
}

void NetworkManagerSecretAgent::DeleteSecrets(const NMVariantMapMap &, const QDBusObjectPath &)
{
}
