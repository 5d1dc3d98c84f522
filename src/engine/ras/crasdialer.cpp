#include "crasdialer.h"

#include "config/sharedconfig.h"

#include <QStringList>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

std::atomic<quint32> dialError{0};
std::atomic<quint32> dialExtendedError{0};

namespace {

struct StateRow
{
    quint32 state;
    const char *text;
    bool finished;
    bool connected;
};

const StateRow kStates[] = {
    { 0, "Opening the port...", false, false },
    { 1, "Port has been opened successfully", false, false },
    { 2, "Connecting to the device...", false, false },
    { 3, "The device has connected successfully.", false, false },
    { 4, "All devices in the device chain have successfully connected.", false, false },
    { 5, "Verifying the user name and password...", false, false },
    { 6, "An authentication event has occurred.", false, false },
    { 7, "Requested another validation attempt with a new user.", false, false },
    { 8, "Server has requested a callback number.", false, false },
    { 9, "The client has requested to change the password.", false, false },
    { 10, "Registering your computer on the network...", false, false },
    { 11, "The link-speed calculation phase is starting...", false, false },
    { 12, "An authentication request is being acknowledged.", false, false },
    { 13, "Reauthentication (after callback) is starting.", false, false },
    { 14, "The client has successfully completed authentication.", false, false },
    { 15, "The line is about to disconnect for callback.", false, false },
    { 16, "Delaying to give the modem time to reset for callback.", false, false },
    { 17, "Waiting for an incoming call from server.", false, false },
    { 18, "Projection result information is available.", false, false },
    { 19, "User authentication is being initiated or retried.", false, false },
    { 20, "Client has been called back and is about to resume authentication.", false, false },
    { 21, "Logging on to the network...", false, false },
    { 22, "Subentry has been connected.", false, false },
    { 23, "Subentry has been disconnected.", false, false },
    { 4096, "Terminal state supported by RASPHONE.EXE.", false, false },
    { 4097, "Retry authentication state supported by RASPHONE.EXE.", false, false },
    { 4098, "Callback state supported by RASPHONE.EXE.", false, false },
    { 4099, "Change password state supported by RASPHONE.EXE.", false, false },
    { RasStateConnected, "Connect to remote server successfully!", true, true },
    { RasStateDisconnected, "Disconnected.", true, false },
};

const int kErrorTextChars = 256;

const char16_t *wide(const QString &text)
{
    return reinterpret_cast<const char16_t *>(text.utf16());
}

// Copies text into a fixed field with its terminating zero; false, touching nothing, when it does not fit.
template <std::size_t N>
bool copyField(char16_t (&field)[N], const QString &text)
{
    if (static_cast<std::size_t>(text.size()) > N - 1)
        return false;
    std::memcpy(field, text.utf16(), static_cast<std::size_t>(text.size()) * sizeof(char16_t));
    field[text.size()] = u'\0';
    return true;
}

// Clears a secret so that it does not outlive the call in the dialer's memory.
template <std::size_t N>
void wipe(char16_t (&field)[N])
{
    volatile char16_t *p = field;
    for (std::size_t i = 0; i < N; ++i)
        p[i] = u'\0';
}

void setDnsServers(const SharedConfig &config, RasEntry &entry)
{
    switch (config.dnsServer) {
    case OpenDns:
        entry.dns = { 208, 67, 222, 222 };
        entry.dnsAlt = { 208, 67, 220, 220 };
        break;
    case GoogleDns:
        entry.dns = { 8, 8, 8, 8 };
        entry.dnsAlt = { 8, 8, 4, 4 };
        break;
    case OwnServers:
        parseDottedIpv4(config.preferredDnsServer, entry.dns);
        parseDottedIpv4(config.alternativeDnsServer, entry.dnsAlt);
        break;
    default:
        break;
    }
}

} // namespace

void onRasDialEvent(RasHandle, std::uint32_t, std::uint32_t, std::uint32_t error, std::uint32_t extendedError)
{
    if (error == 0 || dialError.load(std::memory_order_acquire) != 0)
        return;
    dialExtendedError.store(extendedError, std::memory_order_relaxed);
    dialError.store(error, std::memory_order_release);
}

void parseDottedIpv4(const QString &text, RasIpv4Address &address)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return;
    quint8 bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<quint8>(parts.at(i).trimmed().toInt(nullptr, 10) & 0xFF);
    address = { bytes[0], bytes[1], bytes[2], bytes[3] };
}

CRasDialer::CRasDialer(RasApi &api, const SharedConfig &config)
    : ras(api)
    , config(config)
{
    status.dwSize = RasConnStatusSize;
}

bool CRasDialer::entryExists(const QString &entryName)
{
    return ras.validateEntryName(wide(entryName)) == RasErrorAlreadyExists;
}

quint32 CRasDialer::setupEntry(const QString &entryName, const QString &deviceType, const QString &deviceName,
                               const QString &serverAddress, quint32 vpnStrategy, const QString &preSharedKey)
{
    if (entryExists(entryName))
        deleteEntry(entryName);

    RasEntry entry;
    entry.dwSize = RasEntrySize;
    entry.type = RasEntryTypeVpn;
    entry.netProtocols = RasNetProtocolIp;
    entry.framingProtocol = RasFramingPpp;
    entry.vpnStrategy = vpnStrategy;
    RasCredentials credentials;
    if (!copyField(entry.localPhoneNumber, serverAddress) || !copyField(entry.deviceType, deviceType)
        || !copyField(entry.deviceName, deviceName) || !copyField(credentials.password, preSharedKey))
        return RasErrorInvalidParameter;
    if (vpnStrategy == RasVpnL2tpOnly)
        entry.options2 |= RasOption2UsePreSharedKey;
    if (config.enableDnsProtection) {
        entry.options |= RasOptionSpecificNameServers;
        setDnsServers(config, entry);
    }

    const quint32 result = ras.setEntryProperties(wide(entryName), entry);
    if (result == 0 && vpnStrategy == RasVpnL2tpOnly) {
        credentials.dwSize = RasCredentialsSize;
        credentials.mask = RasCredentialPreSharedKey;
        ras.setCredentials(wide(entryName), credentials, false);
    }
    wipe(credentials.password);
    return result;
}

quint32 CRasDialer::modifyEntryOptions(const QString &entryName, quint32 mask, bool set)
{
    RasEntry entry;
    const quint32 result = readEntry(entryName, entry);
    if (result != 0)
        return result;
    entry.encryptionType = RasEncryptionOptional;
    if (set)
        entry.options |= mask;
    else
        entry.options &= ~mask;
    return ras.setEntryProperties(wide(entryName), entry);
}

quint32 CRasDialer::readEntry(const QString &entryName, RasEntry &entry)
{
    if (!entryExists(entryName))
        return RAS_ENTRY_MISSING;
    entry.dwSize = RasEntrySize;
    return ras.getEntryProperties(wide(entryName), entry);
}

quint32 CRasDialer::dial(const QString &entryName, RasDialCallback callback, const QString &serverAddress,
                         const QString &userName, const QString &password, const QString &domain)
{
    hconn = 0;
    RasDialParams params;
    params.dwSize = RasDialParamsSize;
    quint32 result = RasErrorInvalidParameter;
    if (copyField(params.entryName, entryName) && copyField(params.phoneNumber, serverAddress)
        && copyField(params.userName, userName) && copyField(params.password, password)
        && copyField(params.domain, domain))
        result = ras.dial(params, callback, hconn);
    wipe(params.password);
    return result;
}

quint32 CRasDialer::errorText(quint32 code, quint32 extendedCode, QString &text)
{
    if (code == 0)
        return RAS_NO_ERROR_RECORDED;
    char16_t buffer[kErrorTextChars] = {};
    const quint32 result = ras.errorString(code, buffer, kErrorTextChars);
    if (result == 0) {
        buffer[kErrorTextChars - 1] = u'\0';
        text = QString::fromUtf16(buffer);
    }
    if (extendedCode != 0)
        text += QString::asprintf(" Extended   Code: %d", static_cast<int>(extendedCode));
    return result;
}

bool CRasDialer::pollStatus(QString &text, bool &connected)
{
    connected = false;
    ras.connectStatus(hconn, status);
    for (const StateRow &row : kStates) {
        if (row.state == status.state) {
            text = QString::fromLatin1(row.text);
            connected = row.connected;
            return row.finished;
        }
    }
    return false;
}

bool CRasDialer::findConnection(const QString &entryName, RasHandle &handle)
{
    RasConnection probe;
    probe.dwSize = RasConnectionSize;
    std::uint32_t count = 0;
    ras.enumConnections(&probe, 0, count);
    if (count == 0)
        return false;

    std::vector<RasConnection> records(count);
    records[0].dwSize = RasConnectionSize;
    std::uint32_t returned = 0;
    ras.enumConnections(records.data(), count, returned);

    bool found = false;
    const std::uint32_t filled = std::min(returned, count);
    for (std::uint32_t i = 0; i < filled; ++i) {
        RasConnection &record = records[i];
        record.entryName[RasMaxEntryName] = u'\0';
        if (QString::fromUtf16(record.entryName).compare(entryName, Qt::CaseInsensitive) == 0) {
            handle = record.handle;
            found = true;
        }
    }
    return found;
}

quint32 CRasDialer::deleteEntry(const QString &entryName)
{
    if (!entryExists(entryName))
        return RAS_ENTRY_MISSING;
    return ras.deleteEntry(wide(entryName));
}

bool CRasDialer::hangUp(const QString &entryName)
{
    if (hconn != 0)
        return ras.hangUp(hconn) == 0;
    RasHandle found = 0;
    if (!findConnection(entryName, found))
        return false;
    return ras.hangUp(found) == 0;
}
