#include "config/sharedconfig.h"
#include "support/openvpnserver.h"
#include "support/realclient.h"
#include "support/realnetworkmanager.h"

#include <QtTest>

class TestNetworkManagerOpenVpn : public QObject
{
    Q_OBJECT

private slots:
    // The real window, run as a user without root, through the real NetworkManager and its OpenVPN plugin to a real
    // OpenVPN server, all in a network namespace of the test's own; then each way the attempt ends.
    void realNetworkManager_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("ending"); // once connected: "click ConnectButton", "quit", or a SIGKILL
        QTest::newRow("Disconnect") << "correct horse" << "click ConnectButton";
        QTest::newRow("Quit") << "correct horse" << "quit";
        QTest::newRow("SIGKILL") << "correct horse" << "";
        QTest::newRow("wrong password") << "wrong horse" << "";
    }
    void realNetworkManager()
    {
        QFETCH(QString, password); QFETCH(QString, ending);
        RealNetworkManager real;
        const QString missing = real.start({ "openvpn" });
        if (!missing.isEmpty())
            QSKIP(qPrintable(missing));
        OpenVpnServer server;
        const QString down = real.inNamespace("ip link set lo up") == 0 ? server.start(real.netns) : "no loopback";
        if (!down.isEmpty())
            QSKIP(qPrintable(down));
        RealClient client("enable-dns-protection=true\ndns-server=1",
                          { { OpenVPN, "office", "", "alice", password, server.clientConfig().toBase64(), "" } });
        client.environment.insert("DBUS_SYSTEM_BUS_ADDRESS", real.nm.privateBus.address);
        client.start("nobody", "orviuidriver:watch");
        const QString keys = client.runtimePath("orvi-openvpn-keys");
        const auto addresses = [&] {
            QProcess ip;
            ip.start("ip", { "netns", "exec", real.netns, "ip", "-4", "-o", "address" });
            ip.waitForFinished();
            return ip.readAll();
        };

        if (password != "correct horse") { // refused once, and not tried again
            QTRY_VERIFY2_WITH_TIMEOUT(client.output().contains("Connection Error - Authorization failed!"), client.output(), 20000);
            QVERIFY(!QTest::qWaitFor([&] { return client.output().count("OpenVPN Start") > 1; }, 3000));
            QVERIFY(!QFileInfo::exists(keys));
            QCOMPARE(real.connectionIds(), QStringList{ "parent" });
            return;
        }
        QTRY_VERIFY2_WITH_TIMEOUT(client.output().contains("button: Connected"), client.output(), 20000);
        const QByteArray subnet = "inet " + server.subnet.chopped(1);
        QCOMPARE(addresses().count(subnet), 2); // the server's end of the tunnel, and ours
        QCOMPARE(real.nameservers(), QStringList({ "8.8.8.8", "8.8.4.4" }));
        const QFileInfo ca(keys + "/.cert/nm-openvpn/config-ca.pem");
        QVERIFY(ca.exists() && ca.permissions() == (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser));

        if (ending.isEmpty())
            client.process.kill();
        else
            client.command(ending.toUtf8());
        QTRY_COMPARE_WITH_TIMEOUT(real.connectionIds(), QStringList{ "parent" }, 3000); // the tunnel came down with it
        QTRY_COMPARE(addresses().count(subnet), 1);
        QCOMPARE(real.nameservers(), QStringList{ "10.231.0.53" });
        if (ending.isEmpty()) { // the next start removes what a killed client left
            QVERIFY(ca.exists());
            client.process.waitForFinished();
            client.start("nobody", "");
            QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(keys), 10000);
        } else {
            QTRY_VERIFY(!QFileInfo::exists(keys));
        }
    }
};

QTEST_MAIN(TestNetworkManagerOpenVpn)
#include "tst_networkmanageropenvpn.moc"
