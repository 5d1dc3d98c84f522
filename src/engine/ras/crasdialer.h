#pragma once

#include "engine/ras/rasapi.h"

#include <QString>
#include <QtGlobal>

#include <atomic>

class SharedConfig;

// Codes of the dialer's own, beside the system codes it passes on.
enum RasDialerCode : quint32 {
    RAS_ENTRY_MISSING = 870,     // the entry does not exist, so it was neither read nor deleted
    RAS_NO_ERROR_RECORDED = 871, // errorText was asked for code 0
};

// First error reported for the current dial and its extended code. Written on the notifying
// thread, read on the GUI thread: the extended code is stored before the error (release), so a
// reader that loads a non-zero error (acquire) sees the code that came with it.
extern std::atomic<quint32> dialError;
extern std::atomic<quint32> dialExtendedError;

// Dial notification; the backends call it on a thread of their own or from the message pump. Keeps the
// first error only.
void onRasDialEvent(RasHandle connection, std::uint32_t message, std::uint32_t state, std::uint32_t error,
                    std::uint32_t extendedError);

// "a.b.c.d" into address; anything but four dotted parts leaves address unchanged.
// Parts are trimmed, non-numbers read as 0 and only the low eight bits count.
void parseDottedIpv4(const QString &text, RasIpv4Address &address);

// Writes, dials, follows and removes the phonebook entry of one PPTP or L2TP connection.
class CRasDialer
{
public:
    // The DNS protection settings are read from config at every setupEntry.
    CRasDialer(RasApi &api, const SharedConfig &config);

    CRasDialer(const CRasDialer &) = delete;
    CRasDialer &operator=(const CRasDialer &) = delete;

    // Replaces the entry; the code of writing it. A text that does not fit its field writes nothing.
    quint32 setupEntry(const QString &entryName, const QString &deviceType, const QString &deviceName,
                       const QString &serverAddress, quint32 vpnStrategy, const QString &preSharedKey);
    // Rewrites the entry as stored with optional encryption and mask set or cleared in its options.
    quint32 modifyEntryOptions(const QString &entryName, quint32 mask, bool set);
    quint32 readEntry(const QString &entryName, RasEntry &entry);
    // Starts the dial; the code of starting it.
    quint32 dial(const QString &entryName, RasDialCallback callback, const QString &serverAddress,
                 const QString &userName, const QString &password, const QString &domain);
    // Text of code, with the extended code appended when not 0; text is unchanged where no text was found.
    quint32 errorText(quint32 code, quint32 extendedCode, QString &text);
    // Reads the dial's state into text; true once it has finished, connected or not.
    bool pollStatus(QString &text, bool &connected);
    // The last active connection of that entry, names compared ignoring case.
    bool findConnection(const QString &entryName, RasHandle &handle);
    quint32 deleteEntry(const QString &entryName);
    // Hangs up the last dial, or else the entry's active connection; true when that succeeded.
    bool hangUp(const QString &entryName);

    RasHandle connectionHandle() const { return hconn; }

private:
    bool entryExists(const QString &entryName);

    RasApi &ras;
    const SharedConfig &config;
    RasHandle hconn = 0;
    RasConnStatus status; // kept across polls: a failed query leaves the last state in it
};
