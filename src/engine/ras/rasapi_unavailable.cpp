// Remote access on systems with neither the Windows RAS library nor NetworkManager: a phonebook kept in
// memory, and a dial that always fails with a plain explanation, so the client says so instead of pretending.

#include "engine/ras/rasapi_unix.h"

#include <QCoreApplication>
#include <QHash>
#include <QSet>
#include <QString>
#include <QThread>

#include <cstring>
#include <iterator>

namespace {

const char16_t kUnavailableText[] = u"PPTP and L2TP dialling is not available on this system.";

QString nameKey(const char16_t *entryName)
{
    return QString::fromUtf16(entryName).toCaseFolded();
}

class UnavailableRasApi : public RasApi
{
public:
    std::uint32_t validateEntryName(const char16_t *entryName) override
    {
        const QString name = QString::fromUtf16(entryName);
        if (name.trimmed().isEmpty() || name.size() > qsizetype(RasMaxEntryName))
            return RasErrorInvalidName;
        return phonebook.contains(nameKey(entryName)) ? RasErrorAlreadyExists : RasSuccess;
    }

    std::uint32_t getEntryProperties(const char16_t *entryName, RasEntry &entry) override
    {
        if (entry.dwSize == 0)
            return RasErrorInvalidSize;
        const auto stored = phonebook.constFind(nameKey(entryName));
        if (stored == phonebook.constEnd())
            return RasErrorCannotFindPhonebookEntry;
        const std::uint32_t size = entry.dwSize;
        entry = *stored;
        entry.dwSize = size;
        return RasSuccess;
    }

    std::uint32_t setEntryProperties(const char16_t *entryName, const RasEntry &entry) override
    {
        if (entry.dwSize == 0)
            return RasErrorInvalidSize;
        if (validateEntryName(entryName) == RasErrorInvalidName)
            return RasErrorInvalidName;
        phonebook.insert(nameKey(entryName), entry);
        return RasSuccess;
    }

    std::uint32_t setCredentials(const char16_t *entryName, const RasCredentials &credentials, bool) override
    {
        if (credentials.dwSize == 0)
            return RasErrorInvalidSize;
        // Nothing is ever dialled with them, so they are not kept.
        return phonebook.contains(nameKey(entryName)) ? RasSuccess : RasErrorCannotFindPhonebookEntry;
    }

    std::uint32_t deleteEntry(const char16_t *entryName) override
    {
        return phonebook.remove(nameKey(entryName)) ? RasSuccess : RasErrorCannotFindPhonebookEntry;
    }

    std::uint32_t dial(const RasDialParams &params, RasDialCallback callback, RasHandle &handle) override
    {
        if (params.dwSize == 0)
            return RasErrorInvalidSize;
        handle = ++lastHandle;
        attempts.insert(handle);
        // The callback only records the error, so it may run before dial returns.
        if (callback)
            callback(handle, RasDialEventMessage, RasStateOpenPort, RasErrorDeviceDoesNotExist, 0);
        return RasSuccess;
    }

    std::uint32_t connectStatus(RasHandle connection, RasConnStatus &status) override
    {
        if (status.dwSize == 0)
            return RasErrorInvalidSize;
        if (!attempts.contains(connection))
            return RasErrorInvalidHandle;
        status.state = RasStateDisconnected;
        return RasSuccess;
    }

    std::uint32_t hangUp(RasHandle connection) override
    {
        // An attempt that never connected is hung up at once, as often as asked.
        return attempts.contains(connection) ? RasSuccess : RasErrorInvalidHandle;
    }

    std::uint32_t enumConnections(RasConnection *records, std::uint32_t, std::uint32_t &count) override
    {
        count = 0;
        if (records == nullptr || records[0].dwSize == 0)
            return RasErrorInvalidSize;
        return RasSuccess;
    }

    std::uint32_t errorString(std::uint32_t code, char16_t *buffer, std::uint32_t bufferChars) override
    {
        const std::size_t length = std::size(kUnavailableText);
        if (code != RasErrorDeviceDoesNotExist || buffer == nullptr || bufferChars < length)
            return RasErrorInvalidParameter;
        std::memcpy(buffer, kUnavailableText, sizeof kUnavailableText);
        return RasSuccess;
    }

    void pumpOneMessage() override
    {
        QCoreApplication::processEvents();
    }

    void sleep(std::uint32_t milliseconds) override
    {
        QThread::msleep(milliseconds);
    }

private:
    QHash<QString, RasEntry> phonebook;
    QSet<RasHandle> attempts;
    RasHandle lastHandle = 0;
};

} // namespace

RasApi *createUnavailableRasApi()
{
    return new UnavailableRasApi;
}
