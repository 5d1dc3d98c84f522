#include "cvpnproc.h"

#include "config/ipv4text.h"
#include "config/ownerfile.h"
#include "engine/openvpn/childprocess.h"
#include "engine/openvpn/openvpnarguments.h"
#include "config/sharedconfig.h"
#include "engine/openvpn/openvpndns.h"
#include "engine/openvpn/openvpnmarkers.h"
#include "engine/connectionsink.h"

#include <QByteArrayList>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSignalBlocker>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

constexpr int kConnectionErrorLimit = 3;

const char *const kProgramPath = "./openvpn.exe";
const char *const kCredentialFilePrefix = "orvi-credentials-";
const char *const kConfigPath = "./config.ovpn";

const char *const kInitializationCompleted = "Initialization Sequence Completed";
const char *const kRestarting = "process restarting";
const char *const kCertificateExpired = "error=certificate has expired";

const char *const kAuthFailureMarkers[] = {
    "TLS Error: Need PEM pass phrase for private key",
    "EVP_DecryptFinal:bad decrypt",
    "PKCS12_parse:mac verify failure",
    "Received AUTH_FAILED control message",
    "Received control message: AUTH_FAILED",
    "Auth username is empty",
};

const QByteArrayList &connectionFailureMarkers()
{
    static const QByteArrayList markers = QByteArrayList{
        QByteArrayLiteral("Connection timed out (WSAETIMEDOUT)"),
        QByteArrayLiteral("Connection refused (WSAECONNREFUSED)"),
        QByteArrayLiteral("TLS Error: TLS handshake failed"),
    } + platformConnectionFailureMarkers();
    return markers;
}

bool containsAny(const QByteArray &chunk, const QByteArrayList &markers)
{
    for (const QByteArray &marker : markers) {
        if (chunk.contains(marker))
            return true;
    }
    return false;
}

bool containsAuthFailure(const QByteArray &chunk)
{
    for (const char *marker : kAuthFailureMarkers) {
        if (chunk.contains(marker))
            return true;
    }
    return false;
}

// The command is split like QProcess' single-string form: blanks separate arguments, double quotes
// group them and a literal quote is written as three.
QString quotedArgument(QString argument)
{
    if (!argument.contains(QLatin1Char(' ')) && !argument.contains(QLatin1Char('\t'))
        && !argument.contains(QLatin1Char('"')))
        return argument;
    argument.replace(QLatin1String("\""), QLatin1String("\"\"\""));
    return QLatin1Char('"') + argument + QLatin1Char('"');
}

QString decodeChunk(QByteArray bytes)
{
    const int nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return QString::fromLocal8Bit(bytes);
}

void printOnStandardOutput(const char *text)
{
    std::fputs(text, stdout);
    std::fflush(stdout);
}

} // namespace

CVpnProc::CVpnProc(QWidget *parent, ConnectionSink *owner, const SharedConfig *config)
    : QWidget(parent), owner(owner), config(config), process(new QProcess),
      endTimer(new QTimer(this))
{
    std::memset(&attempt, 0, sizeof attempt);
    std::memset(userNameBuffer, 0, sizeof userNameBuffer);
    std::memset(passwordBuffer, 0, sizeof passwordBuffer);

    tieToClient(*process);
    credentialFile.setFileTemplate(credentialFolder() + QLatin1Char('/') + QLatin1String(kCredentialFilePrefix)
                                   + QStringLiteral("XXXXXX"));

    connect(process, SIGNAL(readyReadStandardError()), this, SLOT(updateErrorTextEdit()));
    connect(process, SIGNAL(readyReadStandardOutput()), this, SLOT(updateOutputTextEdit()));
    connect(process, SIGNAL(finished(int,QProcess::ExitStatus)), this,
            SLOT(processFinished(int,QProcess::ExitStatus)));
    connect(process, SIGNAL(errorOccurred(QProcess::ProcessError)), this,
            SLOT(processError(QProcess::ProcessError)));
    endTimer->setSingleShot(true);
    connect(endTimer, SIGNAL(timeout()), this, SLOT(killEndingProcess()));
}

CVpnProc::~CVpnProc()
{
    // The owner may already be half destroyed: the end of the process must not reach it.
    process->disconnect(this);
    // Even at exit OpenVPN gets its time to restore the resolvers.
    endProcessAndWait();
    delete process;
}

void CVpnProc::removeLeftoverCredentialFiles()
{
    QDir folder(credentialFolder());
    const QStringList leftovers = folder.entryList({ QLatin1String(kCredentialFilePrefix) + QLatin1Char('*') },
                                                   QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : leftovers)
        folder.remove(name);
}

int CVpnProc::startOpenVpn()
{
    const QString programPath = QString::fromLatin1(kProgramPath);
    const QString configPath = QString::fromLatin1(kConfigPath);

    if (!QFile::exists(programPath)) {
        printOnStandardOutput("OpenVPN could not be opened\n");
        return 204;
    }
    if (!QFile::exists(configPath)) {
        printOnStandardOutput("Config File could not be opened\n");
        return 202;
    }
    if (!writeCredentialFile()) {
        printOnStandardOutput("CreateFile failed\n");
        return 202;
    }

    QString command = programPath;
    for (const QString &argument : argumentsBeforeConfig())
        command += QLatin1Char(' ') + quotedArgument(argument);
    command += QStringLiteral(" --config \"%1\" --auth-user-pass %2")
        .arg(configPath, quotedArgument(credentialFile.fileName()));
    appendDnsOptions(command);
    qDebug().noquote() << command;

    endLeftoverProcess();
    QStringList arguments = QProcess::splitCommand(command);
    const QString program = arguments.takeFirst();
    process->start(program, arguments, QIODevice::ReadWrite);
    if (!process->waitForStarted(30000)) {
        owner->appendLog(tr("Connection Error - ") + process->errorString(), false);
        return 203;
    }

    attempt.state = Connecting;
    owner->setConnectionState(Connecting);
    attempt.authFailed = 0;
    return 0;
}

bool CVpnProc::writeCredentialFile()
{
    if (!credentialFile.open())
        return false;
    // The buffers hold at most 49 bytes and a NUL; never read past their end even without one.
    const QByteArray content = QByteArray(userNameBuffer, int(qstrnlen(userNameBuffer, sizeof userNameBuffer)))
        + '\n' + QByteArray(passwordBuffer, int(qstrnlen(passwordBuffer, sizeof passwordBuffer)));
    // A reopened temporary file keeps its old bytes; a shorter password must not leave a tail.
    const bool written = credentialFile.resize(0) && credentialFile.write(content) == content.size()
        && credentialFile.flush();
    credentialFile.close();
    return written;
}

void CVpnProc::appendDnsOptions(QString &command)
{
    if (!config || !config->enableDnsProtection)
        return;
    const int withoutServers = command.size();
    switch (config->dnsServer) {
    case OpenDns:
        command += QStringLiteral(" --dhcp-option DNS 208.67.222.222 --dhcp-option DNS 208.67.220.220");
        break;
    case GoogleDns:
        command += QStringLiteral(" --dhcp-option DNS 8.8.8.8 --dhcp-option DNS 8.8.4.4");
        break;
    case OwnServers:
        appendDnsServer(command, config->preferredDnsServer);
        if (!config->alternativeDnsServer.isEmpty())
            appendDnsServer(command, config->alternativeDnsServer);
        break;
    default:
        break;
    }
    if (command.size() == withoutServers)
        return;

    // On Linux OpenVPN hands the servers only to an --up script: the platform names one, or why there is none.
    const DnsHelper helper = dnsHelper(dnsHelperRoot);
    if (!helper.notApplied.isEmpty())
        owner->appendLog(helper.notApplied, false);
    for (const QString &option : helper.options)
        command += QLatin1Char(' ') + quotedArgument(option);
}

void CVpnProc::appendDnsServer(QString &command, const QString &server)
{
    const QString address = server.trimmed();
    if (isDottedIPv4(address)) {
        command += QStringLiteral(" --dhcp-option DNS ") + address;
        return;
    }
    owner->appendLog(tr("DNS server \"%1\" is not an IPv4 address and is left out").arg(server), false);
}

void CVpnProc::endLeftoverProcess()
{
    if (process->state() == QProcess::NotRunning) {
        endTimer->stop(); // armed for a process that has ended since: it must not reach the next one
        return;
    }
    // A process of an earlier attempt that outlived it: its end and output belong to no attempt.
    const QSignalBlocker blocker(process);
    endProcessAndWait();
    process->readAllStandardOutput();
    process->readAllStandardError();
}

void CVpnProc::stopOpenVpn(bool userRequested)
{
    if (attempt.state == Disconnected)
        return;

    if (attempt.state == Connecting && !userRequested) {
        QString reason;
        if (attempt.tunPrivilegeMissing)
            reason = tr("OpenVPN could not create the tunnel device: it needs root or the CAP_NET_ADMIN capability. "
                        "Start the client as root, or give OpenVPN the capability (as root, in the client's "
                        "folder): setcap cap_net_admin+ep \"$(readlink -f openvpn.exe)\"");
        else if (attempt.connectionErrorCount >= kConnectionErrorLimit)
            reason = tr("Connection reset!");
        else if (attempt.authFailed && attempt.authFailureCount >= 1)
            reason = tr("Authorization failed!");
        else
            reason = tr("Connection timed out!");
        owner->appendLog(tr("Connection Error - ") + reason, false);
    }
    owner->appendLog(QStringLiteral("------------ OpenVPN Stop ------------"), false);

    attempt.state = Disconnected;
    owner->setConnectionState(Disconnected);

    if (process->processId() != 0)
        endProcess();
}

void CVpnProc::endProcess()
{
    const int grace = stopGraceMs();
    if (grace == 0) {
        process->close();
        process->waitForFinished(500);
        return;
    }
    // Asked to end, OpenVPN runs its down script on the way; the window goes on meanwhile.
    process->terminate();
    endTimer->start(grace);
}

void CVpnProc::killEndingProcess()
{
    if (process->state() != QProcess::NotRunning)
        process->kill();
}

// Gives the process what is left of its time to end, then kills it.
void CVpnProc::endProcessAndWait()
{
    if (process->state() == QProcess::NotRunning)
        return;
    if (!endTimer->isActive())
        endProcess();
    if (endTimer->isActive())
        process->waitForFinished(int(endTimer->remainingTime()));
    endTimer->stop();
    if (process->state() != QProcess::NotRunning) {
        process->kill();
        process->waitForFinished(500);
    }
}

void CVpnProc::updateErrorTextEdit()
{
    takeOutput(process->readAllStandardError());
}

void CVpnProc::updateOutputTextEdit()
{
    takeOutput(process->readAllStandardOutput());
}

void CVpnProc::takeOutput(const QByteArray &bytes)
{
    handleOutput(decodeChunk(bytes));
}

void CVpnProc::processFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    Q_UNUSED(exitCode);
    Q_UNUSED(exitStatus);
    endStep();
    owner->setConnectionState(Disconnected);
}

void CVpnProc::processError(QProcess::ProcessError error)
{
    // A crash still ends in finished(); only a program that never ran is handled here.
    if (error != QProcess::FailedToStart)
        return;
    endStep();
    owner->setConnectionState(Disconnected);
    owner->appendLog(tr("Connection Error - ") + tr("Failed to start"), false);
}

void CVpnProc::handleOutput(const QString &chunk)
{
    owner->appendLog(chunk, false);

    const QString logName = QString::fromLatin1(
        attempt.consoleLogName, int(qstrnlen(attempt.consoleLogName, sizeof attempt.consoleLogName)));
    QFile consoleLog(logName); // OpenVPN's output can name the user and the servers
    if (!openOwnerOnly(consoleLog, QIODevice::WriteOnly | QIODevice::Append)) {
        owner->appendLog(tr("Connection Error - ") + tr("Can't write log!"), false);
        return;
    }
    const QByteArray bytes = chunk.toUtf8();
    consoleLog.write(bytes);
    consoleLog.write("\n");
    consoleLog.close();

    const int previousState = attempt.state;
    if (attempt.state == Connecting)
        classify(bytes);
    if (attempt.state == Connected && bytes.contains(kRestarting))
        owner->setConnectionState(Connected);
    stepAfterOutput(previousState);
}

void CVpnProc::classify(const QByteArray &chunk)
{
    if (chunk.contains(kInitializationCompleted))
        attempt.state = Connected;

    if (reportsMissingTunPrivilege(chunk)) {
        // OpenVPN gives up for good, and so would every further attempt.
        attempt.tunPrivilegeMissing = 1;
        stopOpenVpn(false);
    } else if (containsAny(chunk, connectionFailureMarkers())) {
        ++attempt.connectionErrorCount;
    } else if (containsAuthFailure(chunk)) {
        ++attempt.authFailureCount;
        attempt.authFailed = 1;
    } else if (chunk.contains(kCertificateExpired)) {
        stopOpenVpn(false);
    }
}

bool CVpnProc::failureThresholdReached() const
{
    return attempt.connectionErrorCount >= kConnectionErrorLimit
        || (attempt.authFailed && attempt.authFailureCount >= 1);
}

void CVpnProc::resetCounters()
{
    attempt.connectionErrorCount = 0;
    attempt.authFailureCount = 0;
}

void CVpnProc::stepAfterOutput(int previousState)
{
    if (attempt.state == Connected && previousState != Connected) {
        resetCounters();
        owner->setConnectionState(Connected);
    } else if (attempt.state == Connecting) {
        owner->setConnectionState(Connecting);
        if (failureThresholdReached()) {
            stopOpenVpn(false);
            resetCounters();
        }
    } else if (attempt.state == Ending) {
        resetCounters();
        attempt.state = Disconnected;
        owner->setConnectionState(Disconnected);
    }
}

void CVpnProc::endStep()
{
    if (attempt.state == Connected || attempt.state == Ending) {
        resetCounters();
        attempt.state = Disconnected;
        owner->setConnectionState(Disconnected);
    } else if (attempt.state == Connecting) {
        attempt.state = Ending;
        owner->setConnectionState(Ending);
        if (failureThresholdReached()) {
            stopOpenVpn(false);
            resetCounters();
        }
    }
}
