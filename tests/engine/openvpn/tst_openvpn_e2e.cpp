#include "engine/openvpn/cvpnproc.h"
#include "support/openvpnserver.h"
#include "support/testwindow.h"

#include <QtTest>

#include <signal.h>

class TestOpenVpnEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void connectAndEnd_data()
    {
        QTest::addColumn<int>("helper"); QTest::addColumn<bool>("quit"); // helper -1: no DNS protection; 0: resolvconf; 1: systemd-resolved
        QTest::newRow("protection off, wrong then right password") << -1 << false;
        QTest::newRow("systemd-resolved, disconnect") << 1 << false;
        QTest::newRow("resolvconf, quit") << 0 << true;
    }
    void connectAndEnd()
    {
        QFETCH(int, helper); QFETCH(bool, quit);
        OpenVpnServer server;
        const QString failure = server.start();
        // Without root, or without /dev/net/tun, OpenVPN gets no tun device.
        if (failure.contains(QRegularExpression("not installed|Cannot (open|allocate) TUN|TUNSETIFF")))
            QSKIP(qPrintable(failure));
        QVERIFY2(failure.isEmpty(), qPrintable(failure));

        // The window with one OpenVPN profile and the server's OpenVPN as its "openvpn.exe".
        TestWindow t(helper >= 0 ? "enable-dns-protection=true\ndns-server=1" : "",
                     { { OpenVPN, "loopback", "127.0.0.1", "alice", "wrong horse",
                         (server.clientConfig() + "writepid client.pid\n").toBase64(), "" } });
        QVERIFY(QFile::link(server.daemon.program(), QStringLiteral("openvpn.exe")));
        // In place of the DNS helper, a script (with a blank in its path, as a user's may have) notes how OpenVPN runs it.
        const QByteArray record = t.wd.filePath("dns.txt").toUtf8();
        QVERIFY(t.wd.writeScript("dns helper", "#!/bin/sh\n{ echo \"$script_type $dev\"; [ -d \"/sys/class/net/$dev\" ] && echo "
                                               "'device present'; env | grep '^foreign_option_' | sort | cut -d= -f2-; } >> '" + record + "'\n"));
        qputenv("ORVI_OPENVPN_DNS_SCRIPT", t.wd.filePath("dns helper").toUtf8());
        QVERIFY(QDir().mkpath(helper != 0 ? "run/systemd/resolve" : ".")); // with protection off a helper is at hand
        t.w->openVpnProcess()->setDnsHelperRoot(t.wd.path());
        t.w->show();
        t.clickRow("VpnInfoListBox", 0);

        if (helper < 0) {
            t.click("ConnectButton");
            QTRY_VERIFY_WITH_TIMEOUT(t.log().contains("Connection Error - Authorization failed!"), 30000); // and at rest: the next press starts
        }
        t.cfg->serverInfoList[0].password = QStringLiteral("correct horse");
        t.click("ConnectButton");
        QTRY_COMPARE_WITH_TIMEOUT(t.w->currentConnectionState(), int(Connected), 30000);

        // OpenVPN hands the servers to the helper on up, and runs it again on down while its device still exists.
        const QByteArray console = TempWorkDir::readFile("openvpn_console.txt");
        const QByteArray device = QRegularExpression("TUN/TAP device (\\S+) opened").match(console).captured(1).toUtf8();
        const QByteArray options = "dhcp-option DNS 8.8.8.8\ndhcp-option DNS 8.8.4.4\n" + QByteArray(helper == 1 ? "dhcp-option DOMAIN-ROUTE .\n" : "")
            + "dhcp-option DNS 10.231.53.1\ndhcp-option DNS 10.231.53.2\n"; // ours first, then the server's
        const auto run = [&](const QByteArray &type) { return helper < 0 ? QByteArray() : type + ' ' + device + "\ndevice present\n" + options; };
        QCOMPARE(TempWorkDir::readFile(record), run("up"));

        const pid_t client = pid_t(TempWorkDir::readFile("client.pid").trimmed().toLongLong());
        if (quit) {
            t.w->onQuit();
            t.w.reset(); // the client ends once OpenVPN has
        } else {
            t.click("ConnectButton"); // Disconnect
        }
        QTRY_VERIFY(::kill(client, 0) != 0); // OpenVPN has ended, and run its down script on the way
        QCOMPARE(TempWorkDir::readFile(record), run("up") + run("down"));
    }
};

QTEST_MAIN(TestOpenVpnEndToEnd)
#include "tst_openvpn_e2e.moc"
