#pragma once

// The remote access calls the PPTP and L2TP dialer makes, behind one interface so the dialer
// runs the same over the Windows RAS library, the stand-in for systems without it, and tests.
// Kept free of Qt so the Windows backend compiles against nothing but the system headers.

#include <cstdint>

// Handle of one connection or dial in progress; 0 means none.
using RasHandle = std::uintptr_t;

// Progress of a dial (the RasDialFunc1 shape). Called on a thread of the backend's own, or from pumpOneMessage.
using RasDialCallback = void (*)(RasHandle connection, std::uint32_t message, std::uint32_t state,
                                 std::uint32_t error, std::uint32_t extendedError);

// Text field lengths in UTF-16 units, not counting the terminating zero.
enum : std::uint32_t {
    RasMaxEntryName = 256,
    RasMaxPhoneNumber = 128,
    RasMaxDeviceType = 16,
    RasMaxDeviceName = 128,
    RasMaxUserName = 256,
    RasMaxPassword = 256,
    RasMaxDomain = 15,
};

// Result codes the dialer and the backends look at.
enum : std::uint32_t {
    RasSuccess = 0,
    RasErrorInvalidHandle = 6,
    RasErrorInvalidParameter = 87,
    RasErrorInvalidName = 123,
    RasErrorAlreadyExists = 183,
    RasErrorBufferTooSmall = 603,
    RasErrorDeviceDoesNotExist = 608,
    RasErrorCannotFindPhonebookEntry = 623,
    RasErrorInvalidSize = 632,
};

// Entry, credential and dial option values, as the system defines them.
enum : std::uint32_t {
    RasOptionSpecificNameServers = 0x00000004,
    RasOptionRemoteDefaultGateway = 0x00000010,
    RasOptionSwCompression = 0x00000200,
    RasOptionRequireEncryptedPw = 0x00000400,
    RasOptionRequireMsEncryptedPw = 0x00000800,
    RasOptionUseLogonCredentials = 0x00004000,
    RasOption2UsePreSharedKey = 0x00000010,
    RasNetProtocolIp = 4,
    RasFramingPpp = 1,
    RasEntryTypeVpn = 2,
    RasEncryptionOptional = 3,
    RasVpnPptpOnly = 1,
    RasVpnL2tpOnly = 3,
    RasCredentialPreSharedKey = 0x00000010,
    RasDialEventMessage = 0xCCCD,
};

// Connection states the dialer names; the backends may report others.
enum : std::uint32_t {
    RasStateOpenPort = 0,
    RasStateConnected = 0x2000,
    RasStateDisconnected = 0x2001,
};

// Structure sizes of the 32-bit Windows 7 layouts, written into dwSize.
enum : std::uint32_t {
    RasEntrySize = 5680,
    RasDialParamsSize = 2108,
    RasCredentialsSize = 1068,
    RasConnectionSize = 1384,
    RasConnStatusSize = 608,
};

// An IPv4 address, a.b.c.d in address order.
struct RasIpv4Address
{
    std::uint8_t a = 0;
    std::uint8_t b = 0;
    std::uint8_t c = 0;
    std::uint8_t d = 0;
};

// A phonebook entry: the fields the dialer sets. Value-initialised means zero-filled.
struct RasEntry
{
    std::uint32_t dwSize = 0;
    std::uint32_t options = 0;
    std::uint32_t options2 = 0;
    char16_t localPhoneNumber[RasMaxPhoneNumber + 1] = {};
    RasIpv4Address dns;
    RasIpv4Address dnsAlt;
    std::uint32_t netProtocols = 0;
    std::uint32_t framingProtocol = 0;
    char16_t deviceType[RasMaxDeviceType + 1] = {};
    char16_t deviceName[RasMaxDeviceName + 1] = {};
    std::uint32_t type = 0;
    std::uint32_t encryptionType = 0;
    std::uint32_t vpnStrategy = 0;
    // The backend's whole record as it was read, so that writing the entry back keeps what the
    // system stored beyond the fields above. Size 0 (a fresh entry) starts from a zeroed record.
    std::uint32_t platformRecordSize = 0;
    alignas(8) unsigned char platformRecord[8192] = {};
};

// Credentials stored with an entry; only the pre-shared key is used.
struct RasCredentials
{
    std::uint32_t dwSize = 0;
    std::uint32_t mask = 0;
    char16_t password[RasMaxPassword + 1] = {};
};

struct RasDialParams
{
    std::uint32_t dwSize = 0;
    char16_t entryName[RasMaxEntryName + 1] = {};
    char16_t phoneNumber[RasMaxPhoneNumber + 1] = {};
    char16_t userName[RasMaxUserName + 1] = {};
    char16_t password[RasMaxPassword + 1] = {};
    char16_t domain[RasMaxDomain + 1] = {};
};

// One active connection as enumerated.
struct RasConnection
{
    std::uint32_t dwSize = 0;
    RasHandle handle = 0;
    char16_t entryName[RasMaxEntryName + 1] = {};
};

struct RasConnStatus
{
    std::uint32_t dwSize = 0;
    std::uint32_t state = 0;
};

// The system's remote access service. Entries live in the user's default phonebook.
// Texts are zero-terminated UTF-16. A record whose dwSize is 0 is refused with RasErrorInvalidSize.
class RasApi
{
public:
    virtual ~RasApi() = default;

    // RasErrorAlreadyExists when an entry of that name exists, 0 when the name is free,
    // another code when the name cannot be used.
    virtual std::uint32_t validateEntryName(const char16_t *entryName) = 0;
    // Fills entry (its dwSize set by the caller) from the stored entry; 0 on success.
    virtual std::uint32_t getEntryProperties(const char16_t *entryName, RasEntry &entry) = 0;
    // Creates or replaces the entry with these properties; 0 on success.
    virtual std::uint32_t setEntryProperties(const char16_t *entryName, const RasEntry &entry) = 0;
    // Stores the credentials of the mask with the entry; clear removes them instead.
    virtual std::uint32_t setCredentials(const char16_t *entryName, const RasCredentials &credentials,
                                         bool clear) = 0;
    virtual std::uint32_t deleteEntry(const char16_t *entryName) = 0;
    // Starts dialling and returns at once; handle (0 on entry) receives the connection. Progress and
    // errors then reach callback and connectStatus. Non-zero: the dial did not start.
    virtual std::uint32_t dial(const RasDialParams &params, RasDialCallback callback, RasHandle &handle) = 0;
    // Writes the connection's current state into status.state; on failure status is left as it was.
    virtual std::uint32_t connectStatus(RasHandle connection, RasConnStatus &status) = 0;
    // Ends a connection or a dial in progress without waiting for the link to close; 0 on success.
    virtual std::uint32_t hangUp(RasHandle connection) = 0;
    // Copies up to capacity active connections into records (dwSize set in the first); count receives
    // how many exist, also when they did not fit (then RasErrorBufferTooSmall and nothing is copied).
    virtual std::uint32_t enumConnections(RasConnection *records, std::uint32_t capacity,
                                          std::uint32_t &count) = 0;
    // Text of a code into buffer (bufferChars including the zero); 0 on success, buffer untouched otherwise.
    virtual std::uint32_t errorString(std::uint32_t code, char16_t *buffer, std::uint32_t bufferChars) = 0;
    // Lets this thread's windows handle what waits for them (one message where the system hands them
    // out singly), so the window stays alive during a dial.
    virtual void pumpOneMessage() = 0;
    virtual void sleep(std::uint32_t milliseconds) = 0;
};

// The backend of this platform; the caller owns it.
RasApi *createPlatformRasApi();
