#include "config/sharedconfig.h"
#include "engine/openvpn/cvpnproc.h"
#include "engine/connectionsink.h"
#include "support/tempworkdir.h"

#include <QRandomGenerator>
#include <QtTest>

#include <signal.h>

namespace {

// Lines OpenVPN prints at the turns of an attempt.
const QByteArray kCompleted = "Initialization Sequence Completed", kAuthFailed = "AUTH: Received control message: AUTH_FAILED",
    kRefused = "TCP: connect to [AF_INET]127.0.0.1:1194 failed: Connection refused",
    kExpired = "VERIFY ERROR: depth=0, error=certificate has expired", kRestarting = "SIGUSR1[soft,connection-reset] received, process restarting",
    kNoTun = "ERROR: Cannot ioctl TUNSETIFF tun: Operation not permitted (errno=1)";
const QString kStop = QStringLiteral("------------ OpenVPN Stop ------------");

// The fake "openvpn.exe" records its arguments and the credential file, then runs until it is stopped; with the file
// "deaf" it ignores SIGTERM.
const QByteArray kFakeOpenVpn = "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > args.txt\nfor a; do [ \"$p\" = --auth-user-pass ] && cat \"$a\" > credentials.bin; p=$a; done\n"
    "[ -e deaf ] && trap '' TERM; echo $$ > pid; exec sleep 60\n";

// Owns a CVpnProc in a working folder of its own and records what it reports: states as numbers, log entries as text.
struct Fixture : ConnectionSink
{
    Fixture() { qstrcpy(proc.attempt.consoleLogName, "openvpn_console.txt"); }
    void appendLog(const QString &text, bool) override { if (!echoed.contains(text.toUtf8())) events << text; }
    void setConnectionState(int state) override { events << QString::number(state); }
    int start(const QByteArray &user = "alice", const QByteArray &password = "pw")
    {
        std::memcpy(proc.userNameBuffer, user.leftJustified(50, '\0', true).constData(), 50); // a full buffer has no NUL
        std::memcpy(proc.passwordBuffer, password.leftJustified(50, '\0', true).constData(), 50);
        wd.writeScript(QStringLiteral("openvpn.exe"), kFakeOpenVpn);
        return proc.startOpenVpn();
    }

    TempWorkDir wd;
    SharedConfig cfg{wd.filePath(QStringLiteral("shared_config.ini"))};
    QStringList events;
    QByteArrayList echoed; // output whose log entries are left out of events
    CVpnProc proc{nullptr, this, &cfg};
};

} // namespace

class TestCVpnProc : public QObject
{
    Q_OBJECT

private slots:
    // With DNS protection on; without it no options are added (tst_openvpn_e2e).
    void commandLine_data()
    {
        QTest::addColumn<int>("server"); QTest::addColumn<QStringList>("own"); // preferred, alternative
        QTest::addColumn<QStringList>("system"); // under the probed root; a folder ends in "/"
        QTest::addColumn<QString>("dns"); QTest::addColumn<QStringList>("logs"); // dns: arguments after the credential file's path

        const QString o = QStringLiteral(" --dhcp-option DNS ");
        const QString scripts = QStringLiteral(" --script-security 2 --up {root}/%1 --down {root}/%1 --down-pre");
        const QString leftOut = QStringLiteral("DNS server \"%1\" is not an IPv4 address and is left out");
        const QStringList notApplied{"DNS protection is not applied: this system has neither systemd-resolved with openvpn-systemd-resolved nor resolvconf."};
        const QStringList resolved{"run/systemd/resolve/", "etc/openvpn/update-systemd-resolved"}, resolvconf{"sbin/resolvconf", "etc/openvpn/update-resolv-conf"};
        QTest::newRow("OpenDNS, systemd-resolved before resolvconf") << int(OpenDns) << QStringList{"", ""} << resolved + resolvconf
            << o + "208.67.222.222" + o + "208.67.220.220 --dhcp-option DOMAIN-ROUTE ." + scripts.arg("etc/openvpn/update-systemd-resolved") << QStringList();
        QTest::newRow("own, systemd-resolved without its helper") << int(OwnServers) << QStringList{"9.9.9.9", "1.0.0.1"}
            << QStringList{"run/systemd/resolve/"} + resolvconf << o + "9.9.9.9" + o + "1.0.0.1" + scripts.arg("etc/openvpn/update-resolv-conf") << QStringList();
        QTest::newRow("own without alternative, update-resolv-conf without resolvconf") << int(OwnServers) << QStringList{"9.9.9.9", ""}
            << QStringList{"etc/openvpn/update-resolv-conf"} << o + "9.9.9.9" << notApplied;
        QTest::newRow("own with invalid values") << int(OwnServers) << QStringList{"", "1.1.1.1 --up /tmp/x"} << resolved << ""
                                                 << QStringList{leftOut.arg(""), leftOut.arg("1.1.1.1 --up /tmp/x")};
    }

    void commandLine()
    {
        QFETCH(int, server); QFETCH(QStringList, own); QFETCH(QStringList, system); QFETCH(QString, dns); QFETCH(QStringList, logs);
        Fixture f;
        f.cfg.enableDnsProtection = true; f.cfg.dnsServer = server;
        f.cfg.preferredDnsServer = own[0]; f.cfg.alternativeDnsServer = own[1];
        f.proc.setDnsHelperRoot(f.wd.path());
        for (const QString &path : system) // the script named by the environment: tst_openvpn_e2e
            QVERIFY(QDir(f.wd.path()).mkpath(path.section('/', 0, -2)) && (path.endsWith('/') || f.wd.writeScript(path, "")));
        QCOMPARE(f.start(), 202); // nothing runs without config.ovpn; without openvpn.exe: tst_connection
        QVERIFY(f.wd.writeScript(QStringLiteral("config.ovpn"), ""));
        // Credentials: buffers without a NUL, then UTF-8 and a shorter password in the reused file.
        for (const QByteArrayList &login : {QByteArrayList{QByteArray(50, 'u'), QByteArray(50, 'p')}, {"j\xc3\xb6rg", "short"}}) {
            QCOMPARE(f.start(login[0], login[1]), 0);
            QTRY_COMPARE(TempWorkDir::readFile(QStringLiteral("credentials.bin")), login.join('\n'));
        }
        // Without the credential file's random path. How OpenVPN reads a blank in a path: tst_openvpn_e2e; whether it
        // takes what goes before --config: tst_profiles.
        QStringList args = QString::fromUtf8(TempWorkDir::readFile("args.txt")).split('\n', Qt::SkipEmptyParts);
        args.removeAt(args.indexOf("--auth-user-pass") + 1);
        QCOMPARE(args.mid(0, 1) + args.mid(args.indexOf("--config")), QString("./openvpn.exe --config ./config.ovpn --auth-user-pass"
                 + dns).split(' ').replaceInStrings("{root}", f.wd.path().replace(' ', "\\ ")));
        QCOMPARE(f.events, logs + QStringList("1") + logs + QStringList("1"));
    }

    // Each rule that ends an attempt by one of OpenVPN's texts, fed chunk by chunk as the process's channels hand
    // them over (read from either channel: tst_connection); then the controller's stop, or the process's own end.
    void classify_data()
    {
        QTest::addColumn<int>("state"); QTest::addColumn<QByteArrayList>("chunks"); // state: the attempt's as the chunks come
        QTest::addColumn<bool>("exits"); QTest::addColumn<QStringList>("events"); // events: without the chunks' echoes

        using L = QByteArrayList; using E = QStringList;
        const QString error = QStringLiteral("Connection Error - ");
        QTest::newRow("three connection failures, in Linux's wording") << 1 << L{kRefused,
            "TCP: connect to [AF_INET]127.0.0.1:1194 failed: Connection timed out", "TLS Error: TLS handshake failed"} << false
            << E{"1", "1", "1", error + "Connection reset!", kStop, "0"};
        QTest::newRow("expired certificate stops at once") << 1 << L{kExpired} << false << E{error + "Connection timed out!", kStop, "0"};
        QTest::newRow("AUTH_FAILED stops at once") << 1 << L{kAuthFailed} << false << E{"1", error + "Authorization failed!", kStop, "0"};
        QTest::newRow("process restarting while connected") << 1 << L{kCompleted, kRestarting} << false << E{"2", "2", kStop, "0"};
        QTest::newRow("output and stop in state 0") << 0 << L{kCompleted, kAuthFailed} << false << E{};
        QTest::newRow("exit while connecting") << 1 << L{"TLS: Initial packet"} << true << E{"1", "4", "0"};
    }

    void classify()
    {
        QFETCH(int, state); QFETCH(QByteArrayList, chunks); QFETCH(bool, exits); QFETCH(QStringList, events);
        Fixture f;
        f.echoed = chunks;
        f.proc.attempt.state = state;
        for (const QByteArray &chunk : chunks)
            f.proc.takeOutput(chunk);
        exits ? f.proc.processFinished(1, QProcess::NormalExit) : f.proc.stopOpenVpn(false);
        QCOMPARE(f.events, events);
    }

    // A stop asks OpenVPN to end, so that it runs its down script (tst_openvpn_e2e); one deaf to that is killed all
    // the same once its time is up.
    void deafProcessKilled()
    {
        Fixture f;
        QVERIFY(f.wd.writeScript(QStringLiteral("deaf"), "") && f.wd.writeScript(QStringLiteral("config.ovpn"), "") && f.start() == 0);
        pid_t pid = 0; // once known, SIGTERM is ignored
        QTRY_VERIFY((pid = TempWorkDir::readFile(QStringLiteral("pid")).trimmed().toInt()) > 0);
        f.proc.stopOpenVpn(true);
        QTRY_VERIFY_WITH_TIMEOUT(::kill(pid, 0) != 0, 10000);
        QTRY_COMPARE(f.events, QStringList({"1", kStop, "0", "0"})); // no error for a stop the user asked for
    }

    // Chunks of output no one promised, connecting or connected: each makes one log entry, its text ending at the
    // first NUL and invalid bytes replaced, and one line of the console log, whatever the rules make of it.
    void randomChunks()
    {
        Fixture f;
        const QByteArrayList lines{kCompleted, kRestarting, kRefused, kAuthFailed, kExpired, kNoTun}; // so that chunks reach the turns
        QRandomGenerator random(20261206);
        for (int n = 0; n < 400; ++n) {
            QByteArray chunk;
            for (int pieces = random.bounded(1, 6); pieces > 0; --pieces) {
                const QByteArray line = lines.at(random.bounded(int(lines.size())));
                QByteArray bytes(random.bounded(200), '\0');
                for (char &byte : bytes) // NULs and invalid UTF-8 among them
                    byte = char(random.bounded(256));
                const int kind = random.bounded(4); // cut lines at a chunk's edge; rarely a line of a megabyte
                chunk += kind == 0 ? bytes : kind == 1 ? line : kind == 2 ? line.left(random.bounded(1, int(line.size())))
                    : random.bounded(60) ? QByteArray("TCP/UDP: Preserving recently used remote address\n") : QByteArray(1 << 20, 'x') + '\n';
            }
            f.proc.attempt.state = random.bounded(1, 3); // counters and flags carry over from chunk to chunk
            f.events.clear();
            const qint64 logged = QFileInfo("openvpn_console.txt").size();
            f.proc.takeOutput(chunk);
            const QString text = QString::fromUtf8(chunk.left(chunk.indexOf('\0') < 0 ? chunk.size() : chunk.indexOf('\0')));
            QVERIFY2(f.events.value(0) == text && f.events.count(text) == 1, qPrintable(QString::number(n)));
            QCOMPARE(QFileInfo("openvpn_console.txt").size() - logged, text.toUtf8().size() + 1);
        }
    }
};

QTEST_MAIN(TestCVpnProc)
#include "tst_cvpnproc.moc"
