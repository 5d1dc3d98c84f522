#include "mainwindow.h"

#include "engine/ras/crasdialer.h"
#include "engine/ras/rasapi.h"

namespace {

// Encrypted passwords only, the tunnel as default route, compression, and the Windows logon as
// the fallback identity: set on top of what RAS stored for the entry.
const quint32 kEntryOptions = RasOptionRemoteDefaultGateway | RasOptionSwCompression | RasOptionRequireEncryptedPw
    | RasOptionRequireMsEncryptedPw | RasOptionUseLogonCredentials;

const quint32 kPollIntervalMs = 100;
const quint32 kPollsPerLogLine = 10;

// Clears the flag however the dial ends.
class DialInProgress
{
public:
    explicit DialInProgress(bool &flag) : flag(flag) { flag = true; }
    ~DialInProgress() { flag = false; }
    DialInProgress(const DialInProgress &) = delete;
    DialInProgress &operator=(const DialInProgress &) = delete;

private:
    bool &flag;
};

// The log line refusing a profile whose texts would not fit the RAS fields; empty when they fit.
QString oversizedProfileText(const VpnServerInfo &info)
{
    const auto tooLong = [](const char *field, quint32 limit) {
        return QStringLiteral("%1 is too long (at most %2 characters)!")
            .arg(QLatin1String(field), QString::number(limit));
    };
    if (info.serverAddress.size() > qsizetype(RasMaxPhoneNumber))
        return tooLong("Server address", RasMaxPhoneNumber);
    if (info.userName.size() > qsizetype(RasMaxUserName))
        return tooLong("User name", RasMaxUserName);
    if (info.password.size() > qsizetype(RasMaxPassword))
        return tooLong("Password", RasMaxPassword);
    if (info.protocol != PPTP && info.sharedKey.size() > qsizetype(RasMaxPassword))
        return tooLong("Shared key", RasMaxPassword);
    return QString();
}

} // namespace

void MainWindow::createRasDialer()
{
    rasEntryName = QStringLiteral("Orvi");
    rasDeviceName = QStringLiteral("WAN Miniport (PPTP)");
    if (!rasApi) {
        ownedRasApi = createPlatformRasApi();
        rasApi = ownedRasApi;
    }
    delete rasDialer;
    rasDialer = new CRasDialer(*rasApi, config());
}

bool MainWindow::connectRas(const VpnServerInfo &info)
{
    // Called from inside a running dial's message pump: that dial stays the only one.
    if (rasDialInProgress || !rasDialer)
        return false;
    rasCancelRequested = false;

    const QString oversized = oversizedProfileText(info);
    if (!oversized.isEmpty()) {
        appendLog(oversized, false);
        return false;
    }
    if (!prepareRasEntry(info))
        return false;
    RasHandle active = 0;
    if (rasDialer->findConnection(rasEntryName, active))
        return false;
    return dialAndWait(info);
}

bool MainWindow::prepareRasEntry(const VpnServerInfo &info)
{
    if (!rasDialer)
        return false;
    QString key;
    quint32 strategy = RasVpnPptpOnly;
    if (info.protocol == PPTP) {
        rasDeviceName = QStringLiteral("WAN Miniport (PPTP)");
    } else {
        key = info.sharedKey;
        strategy = RasVpnL2tpOnly;
        rasDeviceName = QStringLiteral("WAN Miniport (L2TP)");
    }

    const quint32 result = rasDialer->setupEntry(rasEntryName, QStringLiteral("vpn"), rasDeviceName,
                                                 info.serverAddress, strategy, key);
    if (result == RasErrorAlreadyExists)
        return true;
    // Also reached when writing failed: the entry is then missing and this reports it.
    if (rasDialer->modifyEntryOptions(rasEntryName, kEntryOptions, true) != 0) {
        appendLog(QStringLiteral("Fail to Set Network Entry!"), false);
        return false;
    }
    return true;
}

bool MainWindow::dialAndWait(const VpnServerInfo &info)
{
    if (rasDialInProgress || !rasDialer)
        return false;
    const DialInProgress dialing(rasDialInProgress);

    QString text;
    bool connected = false;
    dialError.store(0, std::memory_order_release);
    rasCancelRequested = false;

    auto failDial = [this, &text]() {
        const quint32 error = dialError.load(std::memory_order_acquire);
        rasDialer->errorText(error, dialExtendedError.load(std::memory_order_relaxed), text);
        appendLog(text, false);
        rasDialer->hangUp(rasEntryName);
        rasDialer->deleteEntry(rasEntryName);
        return false;
    };

    const quint32 started = rasDialer->dial(rasEntryName, onRasDialEvent, info.serverAddress, info.userName,
                                            info.password, QString());
    if (started != 0) {
        // No status would follow a dial that never started; report it as RAS reports a failed one.
        onRasDialEvent(rasDialer->connectionHandle(), 0, RasStateOpenPort, started, 0);
        return failDial();
    }

    quint32 counter = 0;
    for (;;) {
        // Slots run in here; a Disconnect or Quit among them cancels, and may free the dialer.
        rasApi->pumpOneMessage();
        if (rasCancelRequested)
            return false;
        const bool finished = rasDialer->pollStatus(text, connected);
        if (dialError.load(std::memory_order_acquire) != 0)
            return failDial();
        if (counter == 0)
            appendLog(text, false);
        rasApi->sleep(kPollIntervalMs);
        counter = (counter + 1) % kPollsPerLogLine;
        if (finished)
            return connected;
    }
}

void MainWindow::disconnectRas()
{
    QString text;
    if (!rasDialer)
        return;
    rasCancelRequested = true;

    // The text is that of the last dial's recorded error; with none it stays empty and is not logged.
    auto logRecordedError = [this, &text]() {
        const quint32 error = dialError.load(std::memory_order_acquire);
        rasDialer->errorText(error, dialExtendedError.load(std::memory_order_relaxed), text);
        appendLog(text, false);
    };
    if (!rasDialer->hangUp(rasEntryName))
        logRecordedError();
    if (rasDialer->deleteEntry(rasEntryName) != 0)
        logRecordedError();
}

void MainWindow::releaseRas()
{
    rasCancelRequested = true;
    if (!rasDialer)
        return;
    rasDialer->hangUp(rasEntryName);
    rasDialer->deleteEntry(rasEntryName);
    delete rasDialer;
    rasDialer = nullptr;
}
