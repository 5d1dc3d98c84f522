#include "engine/networkmanager/networkmanagersecretagent.h"

namespace {

// NMSecretAgentGetSecretsFlags
const uint kRequestNew = 0x2;

} // namespace

NetworkManagerSecretAgent::NetworkManagerSecretAgent(QObject *parent)
    : QObject(parent)
{
}

void NetworkManagerSecretAgent::answerFor(const QString &connectionUuid, const NMVariantMapMap &connectionSecrets)
{
    uuid = connectionUuid;
    secrets = connectionSecrets;
}

NMVariantMapMap NetworkManagerSecretAgent::GetSecrets(const NMVariantMapMap &connection, const QDBusObjectPath &,
                                                      const QString &settingName, const QStringList &, uint flags)
{
    const QString requested = connection.value(QStringLiteral("connection")).value(QStringLiteral("uuid")).toString();
    if (uuid.isEmpty() || requested != uuid) {
        // Someone else's connection: NetworkManager asks the next agent.
        sendErrorReply(QStringLiteral("org.freedesktop.NetworkManager.SecretAgent.NoSecrets"),
                       QStringLiteral("Not a connection of this client."));
        return {};
    }
    if (flags & kRequestNew) {
        emit secretsRefused();
        sendErrorReply(QStringLiteral("org.freedesktop.NetworkManager.SecretAgent.UserCanceled"),
                       QStringLiteral("The client's own secrets were refused."));
        return {};
    }
    return { { settingName, secrets.value(settingName) } };
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
