#include "engine/openvpn/cvpnproc.h"
#include "support/testwindow.h"

#include <QPushButton>
#include <QtTest>

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

class TestOpenVpnEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void connectAndEnd_data()
    {
        QTest::addColumn<int>("helper"); // -1: DNS protection off; 0: resolvconf's; 1: systemd-resolved's
        QTest::addColumn<bool>("quit");
        QTest::newRow("protection off, wrong then right password") << -1 << false;
        QTest::newRow("systemd-resolved, disconnect") << 1 << false;
        QTest::newRow("resolvconf, quit") << 0 << true;
    }
    void connectAndEnd()
    {
        QFETCH(int, helper); QFETCH(bool, quit);
        if (::geteuid() != 0 || !QFile::exists(QStringLiteral("/dev/net/tun")))
            QSKIP(::geteuid() != 0 ? "OpenVPN needs root for its tun device" : "/dev/net/tun is missing");
        const QStringList path = qEnvironmentVariable("PATH").split(':') << "/usr/sbin" << "/sbin"; // root's tools
        const QString openvpn = QStandardPaths::findExecutable("openvpn", path), openssl = QStandardPaths::findExecutable("openssl", path);
        if (openvpn.isEmpty() || openssl.isEmpty())
            QSKIP("openvpn or openssl is not installed");

        // A server with a throwaway certificate and a port and subnet of this run's own; its script accepts one user.
        TempWorkDir server;
        QCOMPARE(QProcess::execute(openssl, {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
            "-keyout", "server.key", "-out", "server.crt", "-days", "2", "-subj", "/CN=server", "-addext", "extendedKeyUsage=serverAuth",
            "-addext", "keyUsage=digitalSignature,keyCertSign"}), 0);
        QVERIFY(server.writeScript("verify.sh", "#!/bin/sh\n[ \"$(cat \"$1\")\" = \"$(printf 'alice\\ncorrect horse')\" ]\n"));
        const QByteArray port = QByteArray::number(20000 + QCoreApplication::applicationPid() % 20000);
        QVERIFY(server.writeScript("server.conf", "proto udp4\nlocal 127.0.0.1\nport " + port + "\ndev tun\nserver 10.231."
            + QByteArray::number(port.toInt() % 250) + ".0 255.255.255.0\nca server.crt\ncert server.crt\nkey server.key\ndh none\n"
            "verify-client-cert none\nscript-security 2\nauth-user-pass-verify ./verify.sh via-file\nlog server.log\n"));
        QProcess daemon;
        daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); }); // never outlives a crashed run
        daemon.start(openvpn, {"--config", "server.conf"});
        const auto log = [&] { return QString::fromUtf8(TempWorkDir::readFile(server.filePath("server.log"))); };
        (void)QTest::qWaitFor([&] { return !daemon.processId() || log().contains("Initialization Sequence Completed"); }, 30000);
        if (!daemon.processId() && log().contains(QRegularExpression("Cannot (open|allocate) TUN|TUNSETIFF")))
            QSKIP(qPrintable("OpenVPN cannot open a tun device here:\n" + log()));
        QVERIFY2(daemon.processId(), qPrintable(log()));

        // In place of the DNS helper, a script (with a blank in its path, as a user's may have) notes how OpenVPN runs it.
        const QByteArray record = server.filePath("dns.txt").toUtf8();
        QVERIFY(server.writeScript("dns helper", "#!/bin/sh\n{ echo \"$script_type $dev\"; [ -d \"/sys/class/net/$dev\" ] && echo "
                                                 "'device present'; env | grep '^foreign_option_' | sort; } >> '" + record + "'\n"));
        qputenv("ORVI_OPENVPN_DNS_SCRIPT", server.filePath("dns helper").toUtf8());

        // The window with one OpenVPN profile and the real OpenVPN as its "openvpn.exe".
        const QByteArray profile = "client\ndev tun\nproto udp4\nremote 127.0.0.1 " + port + "\nnobind\nauth-user-pass\n"
            "remote-cert-tls server\nwritepid client.pid\nverb 3\n<ca>\n" + TempWorkDir::readFile("server.crt") + "</ca>\n";
        TestWindow t(helper >= 0 ? "enable-dns-protection=true\ndns-server=1" : "",
                     { { OpenVPN, "loopback", "127.0.0.1", "alice", "wrong horse", profile.toBase64(), "" } });
        QVERIFY(QFile::link(openvpn, QStringLiteral("openvpn.exe")));
        QVERIFY(QDir().mkpath(helper != 0 ? "run/systemd/resolve" : ".")); // with protection off a helper is at hand
        t.w->openVpnProcess()->setDnsHelperRoot(t.wd.path());
        t.w->show();
        auto *button = t.get<QPushButton>("ConnectButton");
        t.clickRow("VpnInfoListBox", 0);

        if (helper < 0) {
            button->click();
            QTRY_VERIFY_WITH_TIMEOUT(t.log().contains("Connection Error - Authorization failed!"), 30000);
            QCOMPARE(t.w->currentConnectionState(), int(Disconnected));
        }
        t.cfg->serverInfoList[0].password = QStringLiteral("correct horse");
        button->click();
        QTRY_COMPARE_WITH_TIMEOUT(t.w->currentConnectionState(), int(Connected), 30000);

        // OpenVPN hands the servers to the helper on up, and runs it again on down while its device still exists.
        const QByteArray console = TempWorkDir::readFile("openvpn_console.txt");
        const QByteArray device = QRegularExpression("TUN/TAP device (\\S+) opened").match(console).captured(1).toUtf8();
        const QByteArray options = "foreign_option_1=dhcp-option DNS 8.8.8.8\nforeign_option_2=dhcp-option DNS 8.8.4.4\n"
            + QByteArray(helper == 1 ? "foreign_option_3=dhcp-option DOMAIN-ROUTE .\n" : "");
        const QByteArray up = helper < 0 ? "" : "up " + device + "\ndevice present\n" + options;
        const QByteArray down = helper < 0 ? "" : "down " + device + "\ndevice present\n" + options;
        QCOMPARE(TempWorkDir::readFile(record), up);

        const pid_t client = pid_t(TempWorkDir::readFile("client.pid").trimmed().toLongLong());
        if (quit) {
            t.w->onQuit();
            t.w.reset(); // the client ends once OpenVPN has
        } else {
            button->click(); // Disconnect
            QTRY_VERIFY(::kill(client, 0) != 0);
        }
        QVERIFY(::kill(client, 0) != 0); // OpenVPN has ended, and run its down script on the way
        QCOMPARE(TempWorkDir::readFile(record), up + down);
    }
};

QTEST_MAIN(TestOpenVpnEndToEnd)
#include "tst_openvpn_e2e.moc"
