#include "config/sharedconfig.h"
#include "engine/openvpn/cvpnproc.h"
#include "engine/connectionsink.h"
#include "support/tempworkdir.h"

#include <QtTest>

#include <memory>

#include <signal.h>

namespace {

const QByteArray kAuthFailed = "AUTH: Received control message: AUTH_FAILED", kCompleted = "Initialization Sequence Completed";
const QString kStop = QStringLiteral("------------ OpenVPN Stop ------------");

// The fake "openvpn.exe" records its arguments and the credential file, prints chunk0, chunk1... (to stderr when they say
// so) each once the client has logged the one before, so each is read alone, then exits with "exitcode" or sleeps. It
// notes a SIGTERM in "terminated" a moment later, or with exit code -2 ignores it.
const QByteArray kFakeOpenVpn = "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > args.txt\nfor a; do [ \"$p\" = --auth-user-pass ] && cat \"$a\" > credentials.bin; p=$a; done\n"
    "code=$(cat exitcode); echo $$ > pid; trap 'kill $s 2>/dev/null; sleep 0.05; touch terminated; exit' TERM; [ $code = -2 ] && trap '' TERM\n"
    "size() { cat openvpn_console.txt 2>/dev/null | wc -c; }\n"
    "for c in chunk*; do [ -e $c ] || break; n=$(size); if grep -q stderr $c; then cat $c >&2; else cat $c; fi\n"
    "  while [ $(size) -le $n ]; do sleep 0.02; done; done\n"
    "[ $code -ge 0 ] && exit $code; [ $code = -2 ] && exec sleep 60; sleep 60 & s=$!; wait\n";

// Owns a CVpnProc and records what it reports: states as numbers, log entries as text, the chunks' echoes apart.
struct Fixture : ConnectionSink
{
    Fixture()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Orvi Dudaru")); // a blank in the credential file's path
        proc = std::make_unique<CVpnProc>(nullptr, this, &cfg);
        qstrncpy(proc->attempt.consoleLogName, "openvpn_console.txt", sizeof proc->attempt.consoleLogName);
        wd.writeScript(QStringLiteral("config.ovpn"), "client\n");
    }
    void appendLog(const QString &text, bool) override { (chunks.contains(text.toUtf8()) ? echoes : events) << text; }
    void setConnectionState(int state) override { events << QString::number(state); }
    bool start(const QByteArrayList &output, int exitCode = -1, const QByteArray &user = "alice", const QByteArray &password = "pw")
    {
        std::memcpy(proc->userNameBuffer, user.leftJustified(50, '\0', true).constData(), 50); // a full buffer has no NUL
        std::memcpy(proc->passwordBuffer, password.leftJustified(50, '\0', true).constData(), 50);
        for (int i = 0; i < output.size(); ++i) {
            wd.writeScript(QStringLiteral("chunk%1").arg(i), output[i]);
            chunks << output[i].split('\0').first(); // what the client makes of it
        }
        return wd.writeScript(QStringLiteral("exitcode"), QByteArray::number(exitCode))
            && wd.writeScript(QStringLiteral("openvpn.exe"), kFakeOpenVpn) && proc->startOpenVpn() == 0;
    }

    TempWorkDir wd;
    SharedConfig cfg{wd.filePath(QStringLiteral("shared_config.ini"))};
    QStringList events, echoes;
    QByteArrayList chunks;
    std::unique_ptr<CVpnProc> proc;
};

} // namespace

class TestCVpnProc : public QObject
{
    Q_OBJECT

private slots:
    void commandLine_data()
    {
        QTest::addColumn<int>("mode"); // -1: protection off, OpenDNS chosen
        QTest::addColumn<QStringList>("servers"); // preferred, alternative
        QTest::addColumn<QStringList>("system"); // under the probed root; a folder ends in "/"
        QTest::addColumn<QString>("dns"); // arguments after the credential file's path
        QTest::addColumn<QStringList>("logs");

        const QString o = QStringLiteral(" --dhcp-option DNS "), route = QStringLiteral(" --dhcp-option DOMAIN-ROUTE .");
        const QString scripts = QStringLiteral(" --script-security 2 --up {root}/%1 --down {root}/%1 --down-pre");
        const QString leftOut = QStringLiteral("DNS server \"%1\" is not an IPv4 address and is left out");
        const QStringList notApplied{"DNS protection is not applied: this system has neither systemd-resolved with openvpn-systemd-resolved nor resolvconf."};
        const QStringList resolved{"run/systemd/resolve/", "etc/openvpn/update-systemd-resolved"}, resolvconf{"sbin/resolvconf", "etc/openvpn/update-resolv-conf"};
        QTest::newRow("protection off") << -1 << QStringList{"9.9.9.9", "1.0.0.1"} << resolved + resolvconf << "" << QStringList();
        QTest::newRow("OpenDNS, systemd-resolved before resolvconf") << int(OpenDns) << QStringList{"", ""} << resolved + resolvconf
            << o + "208.67.222.222" + o + "208.67.220.220" + route + scripts.arg("etc/openvpn/update-systemd-resolved") << QStringList();
        QTest::newRow("own, systemd-resolved without its helper") << int(OwnServers) << QStringList{"9.9.9.9", "1.0.0.1"}
            << QStringList{"run/systemd/resolve/"} + resolvconf << o + "9.9.9.9" + o + "1.0.0.1" + scripts.arg("etc/openvpn/update-resolv-conf") << QStringList();
        QTest::newRow("own without alternative, update-resolv-conf without resolvconf") << int(OwnServers) << QStringList{"9.9.9.9", ""}
            << QStringList{"etc/openvpn/update-resolv-conf"} << o + "9.9.9.9" << notApplied;
        QTest::newRow("own with invalid values") << int(OwnServers) << QStringList{"", "1.1.1.1 --up /tmp/x"} << resolved << ""
                                                 << QStringList{leftOut.arg(""), leftOut.arg("1.1.1.1 --up /tmp/x")};
    }

    void commandLine()
    {
        QFETCH(int, mode); QFETCH(QStringList, servers); QFETCH(QStringList, system); QFETCH(QString, dns); QFETCH(QStringList, logs);
        Fixture f;
        f.cfg.enableDnsProtection = mode >= 0; f.cfg.dnsServer = qMax(mode, 0);
        f.cfg.preferredDnsServer = servers[0]; f.cfg.alternativeDnsServer = servers[1];
        f.proc->setDnsHelperRoot(f.wd.path());
        for (const QString &path : system) // the script named by the environment: tst_openvpn_e2e
            QVERIFY(QDir(f.wd.path()).mkpath(path.section('/', 0, -2)) && (path.endsWith('/') || f.wd.writeScript(path, "")));
        // Credentials: buffers without a NUL, then UTF-8 and a shorter password in the reused file.
        for (const QByteArrayList &login : {QByteArrayList{QByteArray(50, 'u'), QByteArray(50, 'p')}, {"j\xc3\xb6rg", "short"}}) {
            QVERIFY(f.start({}, -1, login[0], login[1]));
            QTRY_COMPARE(TempWorkDir::readFile(QStringLiteral("credentials.bin")), login.join('\n'));
        }
        // The credential file's path is one argument; OpenVPN reads a blank in a script's path escaped. Whether it takes
        // what goes before --config is left to the real OpenVPN in tst_profiles.
        QStringList args = QString::fromUtf8(TempWorkDir::readFile("args.txt")).split('\n', Qt::SkipEmptyParts);
        args.removeAt(args.indexOf("--auth-user-pass") + 1);
        QCOMPARE(args.mid(0, 1) + args.mid(args.indexOf("--config")), QString("./openvpn.exe --config ./config.ovpn --auth-user-pass"
                 + dns).split(' ').replaceInStrings("{root}", f.wd.path().replace(' ', "\\ ")));
        QCOMPARE(f.events, logs + QStringList("1") + logs + QStringList("1"));
    }

    void startFailure()
    {
        Fixture f; // nothing runs without "openvpn.exe", without "config.ovpn", or when the program cannot start
        QCOMPARE(f.proc->startOpenVpn(), 204);
        QVERIFY(f.wd.writeScript(QStringLiteral("openvpn.exe"), "#!/bin/sh\ntouch args.txt\n") && QFile::remove("config.ovpn"));
        QCOMPARE(f.proc->startOpenVpn(), 202);
        QVERIFY(f.wd.writeScript("config.ovpn", "") && QFile::setPermissions("openvpn.exe", QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(f.proc->startOpenVpn(), 203);
        QCOMPARE(f.events.mid(0, 2), QStringList({"0", "Connection Error - Failed to start"})); // then the system's reason
        QCOMPARE(f.events.size(), 3);
    }

    // Each rule that ends an attempt by one of its texts (tst_outputfuzz throws random ones at them), and each way
    // the process ends.
    void output_data()
    {
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<QString>("then"); // without "exit N" the fake runs until it is stopped
        QTest::addColumn<QStringList>("events"); // without the chunks' echoes

        using L = QByteArrayList; using E = QStringList;
        const QString error = QStringLiteral("Connection Error - ");
        QTest::newRow("three connection failures, in Linux's wording") << L{"TCP: connect to [AF_INET]127.0.0.1:1194 failed: Connection refused",
            "TCP: connect to [AF_INET]127.0.0.1:1194 failed: Connection timed out", "TLS Error: TLS handshake failed"} << ""
            << E{"1", "1", "1", "1", error + "Connection reset!", kStop, "0", "0"};
        QTest::newRow("expired certificate stops at once") << L{"VERIFY ERROR: depth=0, error=certificate has expired"} << ""
            << E{"1", error + "Connection timed out!", kStop, "0", "0"};
        QTest::newRow("AUTH_FAILED stops at once") << L{kAuthFailed} << "" << E{"1", "1", error + "Authorization failed!", kStop, "0", "0"};
        QTest::newRow("process restarting while connected") << L{kCompleted, "SIGUSR1, process restarting"} << "" << E{"1", "2", "2"};
        QTest::newRow("exit while connecting; console log: both channels, a NUL, UTF-8, appended")
            << L{"first\nsecond", "on stderr", QByteArray("kept\0cut", 8), "Gr\xc3\xbc\xc3\x9f" "e"} << "exit 1" << E{"1", "1", "1", "1", "1", "4", "0"};
        QTest::newRow("user stops while connecting") << L{"TLS: Initial packet"} << "user stop" << E{"1", "1", kStop, "0", "0"};
        QTest::newRow("output and stop in state 0") << L{kCompleted, kAuthFailed} << "clear, stop" << E{"1"};
        QTest::newRow("SIGTERM ignored: killed when its time is up") << L{"TLS: Initial packet"} << "deaf, user stop" << E{"1", "1", kStop, "0"};
        QTest::newRow("the client ends once OpenVPN has") << L{"TLS: Initial packet"} << "user stop, quit" << E{"1", "1", kStop, "0"};
    }

    void output()
    {
        QFETCH(QByteArrayList, chunks); QFETCH(QString, then); QFETCH(QStringList, events);
        Fixture f;
        QVERIFY(f.start(chunks, then.startsWith("exit") ? then.mid(5).toInt() : then.startsWith("deaf") ? -2 : -1));
        if (then.startsWith("clear")) // the controller cleared the block for the next attempt before any output is read
            f.proc->attempt.state = 0;
        QTRY_COMPARE_WITH_TIMEOUT(f.echoes.size(), chunks.size(), 15000); // each chunk logged once
        if (then.contains("stop"))
            f.proc->stopOpenVpn(then.contains("user stop"));
        QTRY_COMPARE(f.events, events);
        QCOMPARE(TempWorkDir::readFile(QStringLiteral("openvpn_console.txt")), f.chunks.join('\n') + '\n');
        // A stop asks OpenVPN to end, so that it runs its down script; one that does not end is killed all the same.
        const pid_t pid = TempWorkDir::readFile(QStringLiteral("pid")).trimmed().toInt();
        if (then.endsWith("quit"))
            f.proc.reset();
        if (then.startsWith("deaf"))
            QTRY_VERIFY_WITH_TIMEOUT(::kill(pid, 0) != 0, 10000);
        else
            QTRY_COMPARE(QFile::exists(QStringLiteral("terminated")), events.contains(kStop));
    }
};

QTEST_MAIN(TestCVpnProc)
#include "tst_cvpnproc.moc"
