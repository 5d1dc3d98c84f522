// Remote access through the Windows RAS library (RASAPI32), with USER32 and KERNEL32 for the dial loop.

// The structures are those of Windows 7, whatever the toolchain would pick by default.
#undef WINVER
#undef _WIN32_WINNT
#define WINVER 0x0601
#define _WIN32_WINNT 0x0601

#include "engine/ras/rasapi.h"

#include <windows.h>
#include <ras.h>
#include <raserror.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

static_assert(sizeof(WCHAR) == sizeof(char16_t), "RAS texts are UTF-16");
static_assert(RasErrorAlreadyExists == ERROR_ALREADY_EXISTS && RasErrorBufferTooSmall == ERROR_BUFFER_TOO_SMALL
                  && RasErrorInvalidSize == ERROR_INVALID_SIZE && RasErrorInvalidHandle == ERROR_INVALID_HANDLE
                  && RasErrorDeviceDoesNotExist == ERROR_DEVICE_DOES_NOT_EXIST
                  && RasErrorCannotFindPhonebookEntry == ERROR_CANNOT_FIND_PHONEBOOK_ENTRY,
              "result codes");
static_assert(RasOptionSpecificNameServers == RASEO_SpecificNameServers
                  && RasOptionRemoteDefaultGateway == RASEO_RemoteDefaultGateway
                  && RasOptionSwCompression == RASEO_SwCompression
                  && RasOptionRequireEncryptedPw == RASEO_RequireEncryptedPw
                  && RasOptionRequireMsEncryptedPw == RASEO_RequireMsEncryptedPw
                  && RasOptionUseLogonCredentials == RASEO_UseLogonCredentials
                  && RasOption2UsePreSharedKey == RASEO2_UsePreSharedKey && RasNetProtocolIp == RASNP_Ip
                  && RasFramingPpp == RASFP_Ppp && RasEntryTypeVpn == RASET_Vpn
                  && RasEncryptionOptional == ET_Optional && RasVpnPptpOnly == VS_PptpOnly
                  && RasVpnL2tpOnly == VS_L2tpOnly && RasCredentialPreSharedKey == RASCM_PreSharedKey
                  && RasDialEventMessage == WM_RASDIALEVENT,
              "entry and dial values");
static_assert(RasStateOpenPort == std::uint32_t(RASCS_OpenPort) && RasStateConnected == std::uint32_t(RASCS_Connected)
                  && RasStateDisconnected == std::uint32_t(RASCS_Disconnected),
              "connection states");
// Text fields are checked field by field where copyText copies them.
static_assert(sizeof(RASENTRYW) <= sizeof(RasEntry::platformRecord), "room for the whole entry");
#if defined(_MSC_VER) && !defined(_WIN64)
// The Windows SDK's 32-bit Windows 7 layouts. Other headers may lack the newest fields; RAS also
// accepts the older sizes, and dwSize always matches the structure actually passed.
static_assert(sizeof(RASENTRYW) == RasEntrySize && sizeof(RASDIALPARAMSW) == RasDialParamsSize
                  && sizeof(RASCREDENTIALSW) == RasCredentialsSize && sizeof(RASCONNW) == RasConnectionSize
                  && sizeof(RASCONNSTATUSW) == RasConnStatusSize,
              "Windows 7 structure sizes");
#endif

namespace {

// RasDialFunc1 carries no context, and only one dial runs at a time: the adapter finds the
// dialer's callback here.
std::atomic<RasDialCallback> activeCallback{nullptr};

VOID WINAPI onDialNotification(HRASCONN connection, UINT message, RASCONNSTATE state, DWORD error,
                               DWORD extendedError)
{
    const RasDialCallback callback = activeCallback.load(std::memory_order_acquire);
    if (callback)
        callback(reinterpret_cast<RasHandle>(connection), message, static_cast<std::uint32_t>(state), error,
                 extendedError);
}

LPCWSTR text(const char16_t *value)
{
    return reinterpret_cast<LPCWSTR>(value);
}

template <typename Field, typename Source>
void copyText(Field &field, const Source &source)
{
    static_assert(sizeof(Field) == sizeof(Source), "same field");
    std::memcpy(&field, &source, sizeof(Field));
}

HRASCONN connectionOf(RasHandle handle)
{
    return reinterpret_cast<HRASCONN>(handle);
}

class WindowsRasApi : public RasApi
{
public:
    std::uint32_t validateEntryName(const char16_t *entryName) override
    {
        return RasValidateEntryNameW(nullptr, text(entryName));
    }

    std::uint32_t getEntryProperties(const char16_t *entryName, RasEntry &entry) override
    {
        if (entry.dwSize == 0)
            return ERROR_INVALID_SIZE;
        RASENTRYW native;
        std::memset(&native, 0, sizeof native);
        native.dwSize = sizeof native;
        DWORD size = sizeof native;
        const DWORD result = RasGetEntryPropertiesW(nullptr, text(entryName), &native, &size, nullptr, nullptr);
        if (result != 0)
            return result;
        entry.options = native.dwfOptions;
        entry.options2 = native.dwfOptions2;
        copyText(entry.localPhoneNumber, native.szLocalPhoneNumber);
        entry.dns = { native.ipaddrDns.a, native.ipaddrDns.b, native.ipaddrDns.c, native.ipaddrDns.d };
        entry.dnsAlt = { native.ipaddrDnsAlt.a, native.ipaddrDnsAlt.b, native.ipaddrDnsAlt.c,
                         native.ipaddrDnsAlt.d };
        entry.netProtocols = native.dwfNetProtocols;
        entry.framingProtocol = native.dwFramingProtocol;
        copyText(entry.deviceType, native.szDeviceType);
        copyText(entry.deviceName, native.szDeviceName);
        entry.type = native.dwType;
        entry.encryptionType = native.dwEncryptionType;
        entry.vpnStrategy = native.dwVpnStrategy;
        std::memcpy(entry.platformRecord, &native, sizeof native);
        entry.platformRecordSize = sizeof native;
        return 0;
    }

    std::uint32_t setEntryProperties(const char16_t *entryName, const RasEntry &entry) override
    {
        if (entry.dwSize == 0)
            return ERROR_INVALID_SIZE;
        RASENTRYW native;
        std::memset(&native, 0, sizeof native);
        if (entry.platformRecordSize == sizeof native)
            std::memcpy(&native, entry.platformRecord, sizeof native);
        native.dwSize = sizeof native;
        native.dwfOptions = entry.options;
        native.dwfOptions2 = entry.options2;
        copyText(native.szLocalPhoneNumber, entry.localPhoneNumber);
        native.ipaddrDns = { entry.dns.a, entry.dns.b, entry.dns.c, entry.dns.d };
        native.ipaddrDnsAlt = { entry.dnsAlt.a, entry.dnsAlt.b, entry.dnsAlt.c, entry.dnsAlt.d };
        native.dwfNetProtocols = entry.netProtocols;
        native.dwFramingProtocol = entry.framingProtocol;
        copyText(native.szDeviceType, entry.deviceType);
        copyText(native.szDeviceName, entry.deviceName);
        native.dwType = entry.type;
        native.dwEncryptionType = entry.encryptionType;
        native.dwVpnStrategy = entry.vpnStrategy;
        return RasSetEntryPropertiesW(nullptr, text(entryName), &native, sizeof native, nullptr, 0);
    }

    std::uint32_t setCredentials(const char16_t *entryName, const RasCredentials &credentials, bool clear) override
    {
        if (credentials.dwSize == 0)
            return ERROR_INVALID_SIZE;
        RASCREDENTIALSW native;
        std::memset(&native, 0, sizeof native);
        native.dwSize = sizeof native;
        native.dwMask = credentials.mask;
        copyText(native.szPassword, credentials.password);
        const DWORD result = RasSetCredentialsW(nullptr, text(entryName), &native, clear ? TRUE : FALSE);
        SecureZeroMemory(&native, sizeof native);
        return result;
    }

    std::uint32_t deleteEntry(const char16_t *entryName) override
    {
        return RasDeleteEntryW(nullptr, text(entryName));
    }

    std::uint32_t dial(const RasDialParams &params, RasDialCallback callback, RasHandle &handle) override
    {
        if (params.dwSize == 0)
            return ERROR_INVALID_SIZE;
        RASDIALPARAMSW native;
        std::memset(&native, 0, sizeof native);
        native.dwSize = sizeof native;
        copyText(native.szEntryName, params.entryName);
        copyText(native.szPhoneNumber, params.phoneNumber);
        copyText(native.szUserName, params.userName);
        copyText(native.szPassword, params.password);
        copyText(native.szDomain, params.domain);

        activeCallback.store(callback, std::memory_order_release);
        const RASDIALFUNC1 notifier = &onDialNotification;
        HRASCONN connection = nullptr;
        const DWORD result = RasDialW(nullptr, nullptr, &native, 1,
                                      reinterpret_cast<LPVOID>(reinterpret_cast<std::uintptr_t>(notifier)),
                                      &connection);
        SecureZeroMemory(&native, sizeof native);
        handle = reinterpret_cast<RasHandle>(connection);
        return result;
    }

    std::uint32_t connectStatus(RasHandle connection, RasConnStatus &status) override
    {
        if (status.dwSize == 0)
            return ERROR_INVALID_SIZE;
        RASCONNSTATUSW native;
        std::memset(&native, 0, sizeof native);
        native.dwSize = sizeof native;
        const DWORD result = RasGetConnectStatusW(connectionOf(connection), &native);
        if (result == 0)
            status.state = static_cast<std::uint32_t>(native.rasconnstate);
        return result;
    }

    std::uint32_t hangUp(RasHandle connection) override
    {
        return RasHangUpW(connectionOf(connection));
    }

    std::uint32_t enumConnections(RasConnection *records, std::uint32_t capacity, std::uint32_t &count) override
    {
        if (records == nullptr || records[0].dwSize == 0)
            return ERROR_INVALID_SIZE;
        std::vector<RASCONNW> native(std::max<std::uint32_t>(capacity, 1));
        std::memset(native.data(), 0, native.size() * sizeof(RASCONNW));
        native[0].dwSize = sizeof(RASCONNW);
        DWORD bytes = static_cast<DWORD>(capacity * sizeof(RASCONNW));
        DWORD connections = 0;
        const DWORD result = RasEnumConnectionsW(native.data(), &bytes, &connections);
        count = connections;
        if (result != 0)
            return result;
        const std::uint32_t filled = std::min<std::uint32_t>(connections, capacity);
        for (std::uint32_t i = 0; i < filled; ++i) {
            records[i].handle = reinterpret_cast<RasHandle>(native[i].hrasconn);
            copyText(records[i].entryName, native[i].szEntryName);
        }
        return 0;
    }

    std::uint32_t errorString(std::uint32_t code, char16_t *buffer, std::uint32_t bufferChars) override
    {
        return RasGetErrorStringW(code, reinterpret_cast<LPWSTR>(buffer), bufferChars);
    }

    void pumpOneMessage() override
    {
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

    void sleep(std::uint32_t milliseconds) override
    {
        Sleep(milliseconds);
    }
};

} // namespace

RasApi *createPlatformRasApi()
{
    return new WindowsRasApi;
}
