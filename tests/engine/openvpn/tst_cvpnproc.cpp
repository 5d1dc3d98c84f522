#include "config/sharedconfig.h"
#include "engine/openvpn/cvpnproc.h"
#include "engine/openvpn/openvpnmarkers.h"
#include "mainwindow/connectionsink.h"
#include "support/tempworkdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include <cstring>
#include <memory>
#include <utility>
#include <signal.h>

namespace {

const QString kStopLine = QStringLiteral("log:------------ OpenVPN Stop ------------");
const QByteArray kRefused = "TCP: connect to [AF_INET]10.0.0.1:1194 failed: Connection refused (WSAECONNREFUSED)";
const QByteArray kTimedOut = "TCP: connect to [AF_INET]10.0.0.1:1194 failed: Connection timed out (WSAETIMEDOUT)";
const QByteArray kHandshakeFailed = "TLS Error: TLS handshake failed";
const QByteArray kAuthFailed = "AUTH: Received control message: AUTH_FAILED";
const QByteArray kCompleted = "Initialization Sequence Completed";
const QByteArray kRestarting = "SIGUSR1[soft,ping-restart] received, process restarting";
const QByteArray kExpired = "VERIFY ERROR: depth=0, error=certificate has expired: CN=server";

constexpr int kKeepRunning = -1;
constexpr int kCrash = -2;

// Records what CVpnProc tells its owner, in order: "log:<text>" and "state:<n>".
class RecordingSink : public ConnectionSink
{
public:
    void appendLog(const QString &text, bool blankLine) override
    {
        events << QStringLiteral("log:") + text;
        blankLines = blankLines || blankLine;
    }
    void setConnectionState(int state) override { events << QStringLiteral("state:%1").arg(state); }

    QStringList events;
    bool blankLines = false;
};

// One thing the fake program does: write a chunk to one of its channels, or wait for a file.
struct Step
{
    enum Kind { StdOut, StdErr, WaitForFile };
    Kind kind = StdOut;
    QByteArray data;
};

QList<Step> onStdOut(const QByteArrayList &chunks)
{
    QList<Step> steps;
    for (const QByteArray &chunk : chunks)
        steps.append({Step::StdOut, chunk});
    return steps;
}

// Size a chunk adds to the console log: decoded up to its first NUL, then a line feed.
qint64 consoleBytes(const QByteArray &chunk)
{
    const int nul = chunk.indexOf('\0');
    return QString::fromLocal8Bit(nul >= 0 ? chunk.left(nul) : chunk).toUtf8().size() + 1;
}

// Writes "openvpn.exe" into the working folder: it records its arguments, its process id and the
// bytes of the credential file (the fourth argument), then plays the steps. After each chunk it
// waits until the client has appended it to the console log, so every chunk is read on its own.
// Then it exits with exitCode, kills itself (kCrash) or runs until it is killed (kKeepRunning).
bool writeFakeOpenVpn(const TempWorkDir &wd, const QList<Step> &steps, int exitCode, qint64 consoleSize = 0)
{
    QByteArray script = "#!/bin/sh\n"
                        "printf '%s\\n' \"$0\" \"$@\" > args.txt\n"
                        "cat \"$4\" > credentials.bin\n"
                        "echo $$ > pid.tmp && mv pid.tmp pid.txt\n"
                        "consoleSize() { if [ -f openvpn_console.txt ]; then echo $(($(wc -c < openvpn_console.txt))); "
                        "else echo 0; fi; }\n"
                        "ack() { n=0; while [ $(consoleSize) -lt $1 ] && [ $n -lt 400 ]; do sleep 0.05; n=$((n+1)); "
                        "done; }\n"
                        "waitFor() { n=0; while [ ! -e \"$1\" ] && [ $n -lt 400 ]; do sleep 0.05; n=$((n+1)); done; }\n";
    int index = 0;
    for (const Step &step : steps) {
        if (step.kind == Step::WaitForFile) {
            script += "waitFor '" + step.data + "'\n";
            continue;
        }
        const QString name = QStringLiteral("chunk%1.bin").arg(index++);
        QFile chunkFile(wd.filePath(name));
        if (!chunkFile.open(QIODevice::WriteOnly) || chunkFile.write(step.data) != step.data.size())
            return false;
        consoleSize += consoleBytes(step.data);
        script += "cat " + name.toLatin1() + (step.kind == Step::StdErr ? " >&2" : "") + "\n";
        script += "ack " + QByteArray::number(consoleSize) + "\n";
    }
    if (exitCode == kKeepRunning)
        script += "n=0; while [ $n -lt 1200 ]; do sleep 0.05; n=$((n+1)); done\n";
    else if (exitCode == kCrash)
        script += "kill -9 $$\n";
    else
        script += "exit " + QByteArray::number(exitCode) + "\n";
    return wd.writeScript(QStringLiteral("openvpn.exe"), script);
}

// What the connection controller does before a start.
void prepare(CVpnProc &proc, const QByteArray &user = "alice", const QByteArray &password = "secret")
{
    std::memset(&proc.attempt, 0, sizeof proc.attempt);
    qstrncpy(proc.attempt.consoleLogName, "openvpn_console.txt", sizeof proc.attempt.consoleLogName);
    qstrncpy(proc.userNameBuffer, user.constData(), sizeof proc.userNameBuffer);
    qstrncpy(proc.passwordBuffer, password.constData(), sizeof proc.passwordBuffer);
}

// Starts with the command line's debug line expected and swallowed.
int startQuietly(CVpnProc &proc)
{
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^\\./openvpn\\.exe ")));
    return proc.startOpenVpn();
}

bool writeConfigOvpn()
{
    QFile file(QStringLiteral("config.ovpn"));
    return file.open(QIODevice::WriteOnly) && file.write("client\n") > 0;
}

qint64 recordedPid()
{
    return TempWorkDir::readFile(QStringLiteral("pid.txt")).trimmed().toLongLong();
}

bool processAlive(qint64 pid)
{
    return pid > 0 && ::kill(pid_t(pid), 0) == 0;
}

QStringList recordedArguments()
{
    QString text = QString::fromUtf8(TempWorkDir::readFile(QStringLiteral("args.txt")));
    text.chop(1);
    return text.split(QLatin1Char('\n'));
}

// Expands "chunk N" in an expected event list into the log entry of chunks[N].
QStringList expand(const QStringList &expected, const QByteArrayList &chunks)
{
    QStringList events;
    for (const QString &event : expected) {
        if (event.startsWith(QLatin1String("chunk ")))
            events << QStringLiteral("log:") + QString::fromUtf8(chunks.at(event.mid(6).toInt()));
        else
            events << event;
    }
    return events;
}

// The environment variable restored when the test leaves its scope.
class ScopedEnv
{
public:
    ScopedEnv(const char *name, const QByteArray &value)
        : name(name), had(qEnvironmentVariableIsSet(name)), old(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (had)
            qputenv(name, old);
        else
            qunsetenv(name);
    }

private:
    const char *name;
    bool had;
    QByteArray old;
};

// Temporary files of the tests stay inside the test's folder.
struct Fixture
{
    TempWorkDir wd;
    ScopedEnv tmp;
    SharedConfig cfg{wd.filePath(QStringLiteral("shared_config.ini"))};
    RecordingSink sink;
    std::unique_ptr<CVpnProc> proc;

    Fixture()
        : tmp("TMPDIR", wd.path().toUtf8())
    {
        proc.reset(new CVpnProc(nullptr, &sink, &cfg));
        prepare(*proc);
    }
};

} // namespace

Q_DECLARE_METATYPE(Step)

class TestCVpnProc : public QObject
{
    Q_OBJECT

private slots:
    void commandLine_data();
    void commandLine();
    void credentialPathIsOneArgument_data();
    void credentialPathIsOneArgument();
    void credentialBytes_data();
    void credentialBytes();
    void shorterPasswordLeavesNoTail();
    void failsWithoutProcess_data();
    void failsWithoutProcess();
    void programThatCannotStart_data();
    void programThatCannotStart();
    void output_data();
    void output();
    void stop_data();
    void stop();
    void stopWhileDisconnectedDoesNothing();
    void outputWhileDisconnectedIsNotClassified();
    void consoleLog_data();
    void consoleLog();
    void unwritableConsoleLogBlocksClassification();
    void newStartEndsLeftoverProcess();
    void destructionKillsProcessQuietly();
};

void TestCVpnProc::commandLine_data()
{
    QTest::addColumn<bool>("protection");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("preferred");
    QTest::addColumn<QString>("alternative");
    QTest::addColumn<QString>("dnsOptions");
    QTest::addColumn<QStringList>("logs");

    const QString option = QStringLiteral(" --dhcp-option DNS ");
    QTest::newRow("protection off") << false << int(GoogleDns) << "1.1.1.1" << "1.0.0.1" << QString() << QStringList();
    QTest::newRow("OpenDNS") << true << int(OpenDns) << "" << ""
                             << option + "208.67.222.222" + option + "208.67.220.220" << QStringList();
    QTest::newRow("Google") << true << int(GoogleDns) << "" << "" << option + "8.8.8.8" + option + "8.8.4.4"
                            << QStringList();
    QTest::newRow("own servers") << true << int(OwnServers) << "9.9.9.9" << "149.112.112.112"
                                 << option + "9.9.9.9" + option + "149.112.112.112" << QStringList();
    QTest::newRow("own without alternative") << true << int(OwnServers) << "9.9.9.9" << "" << option + "9.9.9.9"
                                             << QStringList();
    QTest::newRow("own with empty preferred") << true << int(OwnServers) << "" << "1.0.0.1" << option + "1.0.0.1"
                                              << QStringList{"log:DNS server \"\" is not an IPv4 address and is left out"};
    QTest::newRow("own with options smuggled in")
        << true << int(OwnServers) << "1.1.1.1 --up /tmp/x" << "1.0.0.1" << option + "1.0.0.1"
        << QStringList{"log:DNS server \"1.1.1.1 --up /tmp/x\" is not an IPv4 address and is left out"};
    QTest::newRow("own with out-of-range and short addresses")
        << true << int(OwnServers) << "256.1.1.1" << "10.1.1" << QString()
        << QStringList{"log:DNS server \"256.1.1.1\" is not an IPv4 address and is left out",
                       "log:DNS server \"10.1.1\" is not an IPv4 address and is left out"};
    QTest::newRow("own with leading zero") << true << int(OwnServers) << "010.0.0.1" << "" << QString()
                                           << QStringList{"log:DNS server \"010.0.0.1\" is not an IPv4 address and is left out"};
    QTest::newRow("own with blanks around") << true << int(OwnServers) << " 9.9.9.9 " << "" << option + "9.9.9.9"
                                            << QStringList();
    QTest::newRow("unknown mode") << true << 7 << "9.9.9.9" << "" << QString() << QStringList();
}

void TestCVpnProc::commandLine()
{
    QFETCH(bool, protection);
    QFETCH(int, mode);
    QFETCH(QString, preferred);
    QFETCH(QString, alternative);
    QFETCH(QString, dnsOptions);
    QFETCH(QStringList, logs);

    Fixture f;
    f.cfg.enableDnsProtection = protection;
    f.cfg.dnsServer = mode;
    f.cfg.preferredDnsServer = preferred;
    f.cfg.alternativeDnsServer = alternative;
    QVERIFY(writeConfigOvpn());
    QVERIFY(writeFakeOpenVpn(f.wd, {}, kKeepRunning));

    const QString head = QStringLiteral("./openvpn.exe --config \"./config.ovpn\" --auth-user-pass ");
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QLatin1Char('^') + QRegularExpression::escape(head)
                                                        + QStringLiteral("\\S+")
                                                        + QRegularExpression::escape(dnsOptions) + QLatin1Char('$')));
    QCOMPARE(f.proc->startOpenVpn(), 0);
    QTRY_VERIFY(QFile::exists(QStringLiteral("pid.txt")));

    const QStringList arguments = recordedArguments();
    QCOMPARE(arguments.mid(0, 4), (QStringList{"./openvpn.exe", "--config", "./config.ovpn", "--auth-user-pass"}));
    QVERIFY(QFile::exists(arguments.value(4)));
    QCOMPARE(arguments.mid(5), dnsOptions.split(QLatin1Char(' '), Qt::SkipEmptyParts));
    QCOMPARE(f.sink.events, logs + QStringList(QStringLiteral("state:1")));
    QCOMPARE(f.proc->attempt.state, 1);
}

void TestCVpnProc::credentialPathIsOneArgument_data()
{
    QTest::addColumn<QString>("folderName");

    QTest::newRow("blank in the temporary folder") << QStringLiteral("temp folder");
    QTest::newRow("blank and quote in the temporary folder") << QStringLiteral("the \"temp\" folder");
}

void TestCVpnProc::credentialPathIsOneArgument()
{
    QFETCH(QString, folderName);

    TempWorkDir wd;
    QVERIFY(QDir(wd.path()).mkdir(folderName));
    const ScopedEnv tmp("TMPDIR", wd.filePath(folderName).toUtf8());
    // The default name of a temporary file carries the application name, which has a blank.
    const QString appName = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("Orvi Dudaru"));
    SharedConfig cfg(wd.filePath(QStringLiteral("shared_config.ini")));
    RecordingSink sink;
    CVpnProc proc(nullptr, &sink, &cfg);
    QCoreApplication::setApplicationName(appName);
    prepare(proc);
    QVERIFY(writeConfigOvpn());
    QVERIFY(writeFakeOpenVpn(wd, {}, kKeepRunning));

    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("--auth-user-pass \".+\"$")));
    QCOMPARE(proc.startOpenVpn(), 0);
    QTRY_VERIFY(QFile::exists(QStringLiteral("pid.txt")));

    const QStringList arguments = recordedArguments();
    QCOMPARE(arguments.size(), 5);
    QVERIFY2(arguments.at(4).startsWith(wd.filePath(folderName) + QStringLiteral("/Orvi Dudaru")),
             qPrintable(arguments.at(4)));
    QCOMPARE(TempWorkDir::readFile(QStringLiteral("credentials.bin")), QByteArray("alice\nsecret"));
}

void TestCVpnProc::credentialBytes_data()
{
    QTest::addColumn<QByteArray>("user");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("plain") << QByteArray("alice") << QByteArray("secret") << QByteArray("alice\nsecret");
    QTest::newRow("UTF-8") << QByteArray("j\xc3\xb6rg") << QByteArray("p\xc3\xa4ss") << QByteArray("j\xc3\xb6rg\np\xc3\xa4ss");
    QTest::newRow("empty password") << QByteArray("alice") << QByteArray() << QByteArray("alice\n");
    QTest::newRow("49 bytes each") << QByteArray(49, 'u') << QByteArray(49, 'p')
                                   << QByteArray(49, 'u') + '\n' + QByteArray(49, 'p');
    // A caller that forgot the terminating NUL must not make the password part of the user name.
    QTest::newRow("unterminated buffers stop at their end") << QByteArray(50, 'u') << QByteArray(50, 'p')
                                                           << QByteArray(50, 'u') + '\n' + QByteArray(50, 'p');
}

void TestCVpnProc::credentialBytes()
{
    QFETCH(QByteArray, user);
    QFETCH(QByteArray, password);
    QFETCH(QByteArray, expected);

    Fixture f;
    std::memset(f.proc->userNameBuffer, 0, sizeof f.proc->userNameBuffer);
    std::memset(f.proc->passwordBuffer, 0, sizeof f.proc->passwordBuffer);
    std::memcpy(f.proc->userNameBuffer, user.constData(), size_t(user.size()));
    std::memcpy(f.proc->passwordBuffer, password.constData(), size_t(password.size()));
    QVERIFY(writeConfigOvpn());
    QVERIFY(writeFakeOpenVpn(f.wd, {}, 0));

    QCOMPARE(startQuietly(*f.proc), 0);
    QTRY_VERIFY(QFile::exists(QStringLiteral("pid.txt")));
    QCOMPARE(TempWorkDir::readFile(QStringLiteral("credentials.bin")), expected);
}

void TestCVpnProc::shorterPasswordLeavesNoTail()
{
    Fixture f;
    prepare(*f.proc, "alice", "a-rather-long-password");
    QVERIFY(writeConfigOvpn());
    QVERIFY(writeFakeOpenVpn(f.wd, {}, 0));
    QCOMPARE(startQuietly(*f.proc), 0);
    QTRY_COMPARE(f.sink.events.value(f.sink.events.size() - 1), QStringLiteral("state:0"));
    const QString credentialPath = recordedArguments().value(4);

    QFile::remove(QStringLiteral("pid.txt"));
    prepare(*f.proc, "bob", "short");
    QCOMPARE(startQuietly(*f.proc), 0);
    QTRY_VERIFY(QFile::exists(QStringLiteral("pid.txt")));
    QCOMPARE(recordedArguments().value(4), credentialPath);
    QCOMPARE(TempWorkDir::readFile(QStringLiteral("credentials.bin")), QByteArray("bob\nshort"));
}

void TestCVpnProc::failsWithoutProcess_data()
{
    QTest::addColumn<bool>("program");
    QTest::addColumn<bool>("config");
    QTest::addColumn<bool>("tempFolder");
    QTest::addColumn<int>("result");

    QTest::newRow("no openvpn.exe") << false << true << true << 204;
    QTest::newRow("no openvpn.exe and no config.ovpn") << false << false << true << 204;
    QTest::newRow("no config.ovpn") << true << false << true << 202;
    QTest::newRow("credential file cannot be created") << true << true << false << 202;
}

void TestCVpnProc::failsWithoutProcess()
{
    QFETCH(bool, program);
    QFETCH(bool, config);
    QFETCH(bool, tempFolder);
    QFETCH(int, result);

    TempWorkDir wd;
    // A temporary "folder" that is a plain file: no one, not even root, creates files in it.
    QVERIFY(QFile(wd.filePath(QStringLiteral("plain file"))).open(QIODevice::WriteOnly));
    const ScopedEnv tmp("TMPDIR", (tempFolder ? wd.path() : wd.filePath(QStringLiteral("plain file"))).toUtf8());
    SharedConfig cfg(wd.filePath(QStringLiteral("shared_config.ini")));
    RecordingSink sink;
    CVpnProc proc(nullptr, &sink, &cfg);
    prepare(proc);
    if (program)
        QVERIFY(writeFakeOpenVpn(wd, {}, 0));
    if (config)
        QVERIFY(writeConfigOvpn());

    QCOMPARE(proc.startOpenVpn(), result);
    QCOMPARE(sink.events, QStringList());
    QCOMPARE(proc.attempt.state, 0);
    QVERIFY(!QFile::exists(QStringLiteral("args.txt")));
}

void TestCVpnProc::programThatCannotStart_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("executable");

    QTest::newRow("no execute permission") << QByteArray("#!/bin/sh\ntouch args.txt\n") << false;
    QTest::newRow("not a program") << QByteArray("\x7f" "ELF garbage") << true;
}

void TestCVpnProc::programThatCannotStart()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, executable);

    Fixture f;
    QVERIFY(writeConfigOvpn());
    QVERIFY(f.wd.writeScript(QStringLiteral("openvpn.exe"), content));
    if (!executable)
        QVERIFY(QFile::setPermissions(QStringLiteral("openvpn.exe"), QFile::ReadOwner | QFile::WriteOwner));

    QCOMPARE(startQuietly(*f.proc), 203);
    QCOMPARE(f.sink.events.mid(0, 2), (QStringList{"state:0", "log:Connection Error - Failed to start"}));
    QCOMPARE(f.sink.events.size(), 3);
    QVERIFY(f.sink.events.at(2).startsWith(QLatin1String("log:Connection Error - ")));
    QVERIFY(f.sink.events.at(2).size() > int(strlen("log:Connection Error - ")));
    QCOMPARE(f.proc->attempt.state, 0);
    QVERIFY(!QFile::exists(QStringLiteral("args.txt")));
}

void TestCVpnProc::output_data()
{
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("connectionErrors");
    QTest::addColumn<int>("authFailures");
    QTest::addColumn<bool>("killed");

    const QString reset = QStringLiteral("log:Connection Error - Connection reset!");
    const QString unauthorized = QStringLiteral("log:Connection Error - Authorization failed!");
    const QString timedOut = QStringLiteral("log:Connection Error - Connection timed out!");

    QTest::newRow("three refused chunks")
        << QByteArrayList{kRefused, kRefused, kRefused} << kKeepRunning
        << QStringList{"state:1", "chunk 0", "state:1", "chunk 1", "state:1", "chunk 2", "state:1", reset, kStopLine,
                       "state:0", "state:0"}
        << 0 << 0 << 0 << true;
    QTest::newRow("two refused chunks do nothing")
        << QByteArrayList{kRefused, kRefused} << kKeepRunning
        << QStringList{"state:1", "chunk 0", "state:1", "chunk 1", "state:1"} << 1 << 2 << 0 << false;
    QTest::newRow("marker twice in one chunk counts once")
        << QByteArrayList{kTimedOut + "\n" + kTimedOut, kTimedOut} << kKeepRunning
        << QStringList{"state:1", "chunk 0", "state:1", "chunk 1", "state:1"} << 1 << 2 << 0 << false;
    QTest::newRow("three failed handshakes")
        << QByteArrayList{kHandshakeFailed, kHandshakeFailed, kHandshakeFailed} << kKeepRunning
        << QStringList{"state:1", "chunk 0", "state:1", "chunk 1", "state:1", "chunk 2", "state:1", reset, kStopLine,
                       "state:0", "state:0"}
        << 0 << 0 << 0 << true;
    for (const QByteArray &marker : platformConnectionFailureMarkers()) {
        const QByteArray chunk = "TCP: connect to [AF_INET]127.0.0.1:1194 failed: " + marker;
        QTest::addRow("three chunks with the platform's \"%s\"", marker.constData())
            << QByteArrayList{chunk, chunk, chunk} << kKeepRunning
            << QStringList{"state:1", "chunk 0", "state:1", "chunk 1", "state:1", "chunk 2", "state:1", reset,
                           kStopLine, "state:0", "state:0"}
            << 0 << 0 << 0 << true;
    }
    const QByteArrayList authMarkers{"TLS Error: Need PEM pass phrase for private key",
                                     "OpenSSL: error:1C800064:Provider routines::EVP_DecryptFinal:bad decrypt",
                                     "PKCS12_parse:mac verify failure",
                                     "Received AUTH_FAILED control message",
                                     kAuthFailed,
                                     "ERROR: Auth username is empty"};
    for (const QByteArray &marker : authMarkers) {
        QTest::addRow("authentication failure \"%s\" stops at once", marker.constData())
            << QByteArrayList{"TLS: Initial packet", marker} << kKeepRunning
            << QStringList{"state:1", "chunk 0", "state:1", "chunk 1", "state:1", unauthorized, kStopLine, "state:0",
                           "state:0"}
            << 0 << 0 << 0 << true;
    }
    QTest::newRow("success and auth failure in one chunk ends Connected")
        << QByteArrayList{kAuthFailed + "\n" + kCompleted} << kKeepRunning
        << QStringList{"state:1", "chunk 0", "state:2"} << 2 << 0 << 0 << false;
    QTest::newRow("refused and AUTH_FAILED in one chunk count only the refusal")
        << QByteArrayList{kRefused + "\n" + kAuthFailed} << kKeepRunning
        << QStringList{"state:1", "chunk 0", "state:1"} << 1 << 1 << 0 << false;
    QTest::newRow("expired certificate") << QByteArrayList{kExpired} << kKeepRunning
                                         << QStringList{"state:1", "chunk 0", timedOut, kStopLine, "state:0", "state:0"}
                                         << 0 << 0 << 0 << true;
    QTest::newRow("connected after earlier failures resets the counters")
        << QByteArrayList{kRefused, kRefused, kCompleted, kRefused} << kKeepRunning
        << QStringList{"state:1", "chunk 0", "state:1", "chunk 1", "state:1", "chunk 2", "state:2", "chunk 3"}
        << 2 << 0 << 0 << false;
    QTest::newRow("process restarting while connected")
        << QByteArrayList{kCompleted, kRestarting} << kKeepRunning
        << QStringList{"state:1", "chunk 0", "state:2", "chunk 1", "state:2"} << 2 << 0 << 0 << false;
    QTest::newRow("process restarting while connecting")
        << QByteArrayList{kRestarting} << kKeepRunning << QStringList{"state:1", "chunk 0", "state:1"} << 1 << 0 << 0
        << false;
    QTest::newRow("exit while connecting after one timeout")
        << QByteArrayList{kTimedOut} << 1 << QStringList{"state:1", "chunk 0", "state:1", "state:4", "state:0"} << 4 << 1
        << 0 << false;
    QTest::newRow("exit while connecting without output")
        << QByteArrayList{} << 0 << QStringList{"state:1", "state:4", "state:0"} << 4 << 0 << 0 << false;
    QTest::newRow("exit while connected") << QByteArrayList{kCompleted} << 0
                                          << QStringList{"state:1", "chunk 0", "state:2", "state:0", "state:0"} << 0
                                          << 0 << 0 << false;
    QTest::newRow("crash while connected") << QByteArrayList{kCompleted} << kCrash
                                           << QStringList{"state:1", "chunk 0", "state:2", "state:0", "state:0"} << 0
                                           << 0 << 0 << false;
}

void TestCVpnProc::output()
{
    QFETCH(QByteArrayList, chunks);
    QFETCH(int, exitCode);
    QFETCH(QStringList, events);
    QFETCH(int, state);
    QFETCH(int, connectionErrors);
    QFETCH(int, authFailures);
    QFETCH(bool, killed);

    Fixture f;
    QVERIFY(writeConfigOvpn());
    QVERIFY(writeFakeOpenVpn(f.wd, onStdOut(chunks), exitCode));
    QCOMPARE(startQuietly(*f.proc), 0);

    QTRY_COMPARE_WITH_TIMEOUT(f.sink.events, expand(events, chunks), 15000);
    QCOMPARE(f.proc->attempt.state, state);
    QCOMPARE(f.proc->attempt.connectionErrorCount, connectionErrors);
    QCOMPARE(f.proc->attempt.authFailureCount, authFailures);
    QVERIFY(!f.sink.blankLines);
    const qint64 pid = recordedPid();
    QVERIFY(pid > 0);
    if (exitCode == kKeepRunning)
        QCOMPARE(processAlive(pid), !killed);
}

void TestCVpnProc::stop_data()
{
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<bool>("userRequested");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("user stops while connecting") << QByteArrayList{kTimedOut} << true << QStringList{kStopLine};
    QTest::newRow("user stops while connected") << QByteArrayList{kCompleted} << true << QStringList{kStopLine};
    QTest::newRow("stop while connecting without failures")
        << QByteArrayList{} << false << QStringList{"log:Connection Error - Connection timed out!", kStopLine};
    QTest::newRow("stop while connecting after two refusals")
        << QByteArrayList{kRefused, kRefused} << false
        << QStringList{"log:Connection Error - Connection timed out!", kStopLine};
    QTest::newRow("stop while connected has no reason") << QByteArrayList{kCompleted} << false
                                                        << QStringList{kStopLine};
}

void TestCVpnProc::stop()
{
    QFETCH(QByteArrayList, chunks);
    QFETCH(bool, userRequested);
    QFETCH(QStringList, lines);

    Fixture f;
    QVERIFY(writeConfigOvpn());
    QVERIFY(writeFakeOpenVpn(f.wd, onStdOut(chunks), kKeepRunning));
    QCOMPARE(startQuietly(*f.proc), 0);
    QTRY_VERIFY(QFile::exists(QStringLiteral("pid.txt")));
    const int settled = 1 + 2 * chunks.size();
    QTRY_COMPARE(f.sink.events.size(), settled);
    const qint64 pid = recordedPid();

    f.proc->stopOpenVpn(userRequested);

    QCOMPARE(f.sink.events.mid(settled), lines + QStringList({"state:0", "state:0"}));
    QCOMPARE(f.proc->attempt.state, 0);
    QVERIFY(!processAlive(pid));
}

void TestCVpnProc::stopWhileDisconnectedDoesNothing()
{
    Fixture f;
    f.proc->stopOpenVpn(false);
    f.proc->stopOpenVpn(true);
    QCOMPARE(f.sink.events, QStringList());
}

void TestCVpnProc::outputWhileDisconnectedIsNotClassified()
{
    Fixture f;
    QVERIFY(writeConfigOvpn());
    QVERIFY(writeFakeOpenVpn(f.wd, {{Step::WaitForFile, "go"}, {Step::StdOut, kCompleted}, {Step::StdOut, kAuthFailed}},
                             kKeepRunning));
    QCOMPARE(startQuietly(*f.proc), 0);
    QTRY_VERIFY(QFile::exists(QStringLiteral("pid.txt")));
    // The controller clears the block for the next connection while this process still talks.
    prepare(*f.proc);
    QVERIFY(QFile(QStringLiteral("go")).open(QIODevice::WriteOnly));

    const QStringList expected{"state:1", "log:" + QString::fromUtf8(kCompleted), "log:" + QString::fromUtf8(kAuthFailed)};
    QTRY_COMPARE(f.sink.events, expected);
    QCOMPARE(TempWorkDir::readFile(QStringLiteral("openvpn_console.txt")), kCompleted + "\n" + kAuthFailed + "\n");
    QCOMPARE(f.proc->attempt.state, 0);
    QCOMPARE(f.proc->attempt.authFailureCount, 0);
    QVERIFY(processAlive(recordedPid()));
}

void TestCVpnProc::consoleLog_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QList<Step>>("steps");
    QTest::addColumn<QStringList>("logs");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("chunks from both channels, appended to an earlier run")
        << QByteArray("earlier run\n")
        << QList<Step>{{Step::StdOut, "first line\nsecond line"}, {Step::StdErr, "on stderr"}, {Step::StdOut, "last"}}
        << QStringList{"first line\nsecond line", "on stderr", "last"}
        << QByteArray("earlier run\nfirst line\nsecond line\non stderr\nlast\n");
    QTest::newRow("chunk cut at its first NUL") << QByteArray() << QList<Step>{{Step::StdOut, QByteArray("kept\0dropped", 12)}}
                                                << QStringList{"kept"} << QByteArray("kept\n");
    QTest::newRow("UTF-8 text") << QByteArray() << QList<Step>{{Step::StdOut, "Gr\xc3\xbc\xc3\x9f" "e"}}
                                << QStringList{QStringLiteral("Gr\u00fc\u00dfe")} << QByteArray("Gr\xc3\xbc\xc3\x9f" "e\n");
}

void TestCVpnProc::consoleLog()
{
    QFETCH(QByteArray, before);
    QFETCH(QList<Step>, steps);
    QFETCH(QStringList, logs);
    QFETCH(QByteArray, after);

    Fixture f;
    if (!before.isEmpty()) {
        QFile old(QStringLiteral("openvpn_console.txt"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(before);
    }
    QVERIFY(writeConfigOvpn());
    QVERIFY(writeFakeOpenVpn(f.wd, steps, 0, before.size()));
    QCOMPARE(startQuietly(*f.proc), 0);

    QTRY_COMPARE(f.sink.events.value(f.sink.events.size() - 1), QStringLiteral("state:0"));
    QStringList logged;
    for (const QString &event : std::as_const(f.sink.events)) {
        if (event.startsWith(QLatin1String("log:")))
            logged << event.mid(4);
    }
    QCOMPARE(logged, logs);
    QCOMPARE(TempWorkDir::readFile(QStringLiteral("openvpn_console.txt")), after);
}

void TestCVpnProc::unwritableConsoleLogBlocksClassification()
{
    Fixture f;
    QVERIFY(QDir(f.wd.path()).mkdir(QStringLiteral("openvpn_console.txt")));
    QVERIFY(writeConfigOvpn());
    QVERIFY(writeFakeOpenVpn(f.wd, onStdOut({kCompleted}), kKeepRunning));
    QCOMPARE(startQuietly(*f.proc), 0);

    const QStringList expected{"state:1", "log:" + QString::fromUtf8(kCompleted),
                               "log:Connection Error - Can't write log!"};
    QTRY_COMPARE(f.sink.events, expected);
    QCOMPARE(f.proc->attempt.state, 1);
}

void TestCVpnProc::newStartEndsLeftoverProcess()
{
    Fixture f;
    QVERIFY(writeConfigOvpn());
    QVERIFY(writeFakeOpenVpn(f.wd, {}, kKeepRunning));
    QCOMPARE(startQuietly(*f.proc), 0);
    QTRY_VERIFY(QFile::exists(QStringLiteral("pid.txt")));
    const qint64 first = recordedPid();
    QFile::remove(QStringLiteral("pid.txt"));

    prepare(*f.proc);
    QCOMPARE(startQuietly(*f.proc), 0);
    QTRY_VERIFY(QFile::exists(QStringLiteral("pid.txt")));

    QVERIFY(!processAlive(first));
    QVERIFY(processAlive(recordedPid()));
    QCOMPARE(f.sink.events, (QStringList{"state:1", "state:1"}));
    QCOMPARE(f.proc->attempt.state, 1);
}

void TestCVpnProc::destructionKillsProcessQuietly()
{
    Fixture f;
    QVERIFY(writeConfigOvpn());
    QVERIFY(writeFakeOpenVpn(f.wd, onStdOut({kCompleted}), kKeepRunning));
    QCOMPARE(startQuietly(*f.proc), 0);
    QTRY_COMPARE(f.sink.events.size(), 3);
    const qint64 pid = recordedPid();

    f.proc.reset();

    QVERIFY(!processAlive(pid));
    QCOMPARE(f.sink.events.size(), 3);
}

QTEST_MAIN(TestCVpnProc)
#include "tst_cvpnproc.moc"
