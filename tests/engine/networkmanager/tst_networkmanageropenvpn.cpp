#include "config/sharedconfig.h"
#include "engine/connectionsink.h"
#include "engine/networkmanager/networkmanageropenvpn.h"
#include "support/openvpnserver.h"
#include "support/realclient.h"
#include "support/networkmanagermock.h"
#include "support/realnetworkmanager.h"
#include "support/tempworkdir.h"

#include <QtTest>

#include <pwd.h>
#include <unistd.h>

namespace {

struct Sink : ConnectionSink
{
    void appendLog(const QString &text, bool) override { log << text; }
    void setConnectionState(int state) override { states << state; }
    QStringList log;
    QList<int> states;
};

const QByteArray kPem = "-----BEGIN CERTIFICATE-----\nMIIBszCCAVmgAwIBAgIUQ\n-----END CERTIFICATE-----\n";

} // namespace

class TestNetworkManagerOpenVpn : public QObject
{
    Q_OBJECT

private slots:
    // The plugin's importer for real, and what NetworkManager (the mock) receives; the key files it wrote out
    // exist while the attempt runs, and not after, however it ends.
    void imported_data()
    {
        QTest::addColumn<QByteArray>("config"); QTest::addColumn<QByteArray>("walk"); // the VPN states the activation walks
        QTest::addColumn<QString>("ending"); // "stop", "quit", or the walk's own end
        QTest::addColumn<QStringList>("settings"); QTest::addColumn<QStringList>("log");
        const QString login = QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name);
        const QByteArray up = "[[1, 1], [2, 1], [3, 1], [4, 1], [5, 1]]";
        const QStringList started{ "NetworkManager is preparing the VPN connection.", "NetworkManager is handing OpenVPN its credentials.",
            "OpenVPN is connecting to the server.", "OpenVPN is connected; NetworkManager is applying the tunnel's addresses.",
            "The VPN connection is up." };
        const QStringList stopped = started + QStringList{ "------------ OpenVPN Stop ------------" };
        const QByteArray inlineKeys = "client\r\nremote vpn.example.test 1194 udp\r\nkey-direction 1\r\nverb 3\r\n<ca>\n" + kPem
            + "</ca>\n<cert>\n" + kPem + "</cert>\n<key>\n" + kPem + "</key>\n<tls-auth>\n" + kPem + "</tls-auth>\n";
        QTest::newRow("inline keys, key-direction 1, stopped") << inlineKeys << up << "stop"
            << QStringList{ "activation.bind-activation=dbus-client", "activation.persist=volatile",
                            "connection.autoconnect=false", "connection.id=Orvi", "connection.permissions=user:" + login,
                            "connection.type=vpn", "ipv4.dns-priority=-2147483648", "ipv4.dns=8.8.8.8,8.8.4.4",
                            "ipv4.ignore-auto-dns=true", "ipv4.method=auto", "vpn.data=ca=<keys>/config-ca.pem,"
                            "cert=<keys>/config-cert.pem,connection-type=password-tls,key=<keys>/config-key.pem,"
                            "password-flags=0,remote=vpn.example.test:1194:udp,ta=<keys>/config-tls-auth.pem,ta-dir=1,username=alice",
                            "vpn.secrets=password=pw", "vpn.service-type=org.freedesktop.NetworkManager.openvpn" }
            << QStringList{ "NetworkManager's OpenVPN plugin does not take these options of the configuration: verb." } + stopped;
        const QByteArray password = "client\nremote 10.0.0.1\nauth-user-pass\n<ca>\n" + kPem + "</ca>\n";
        QTest::newRow("auth-user-pass only, quit") << password << up << "quit"
            << QStringList() << started;
        const auto failed = [&started](const QString &error) {
            return started.mid(1, 2) + QStringList{ "Connection Error - " + error, "------------ OpenVPN Stop ------------" };
        };
        QTest::newRow("login refused") << password << QByteArray("[[2, 1], [3, 1], [6, 10]]") << "" << QStringList()
            << failed("Authorization failed!");
        QTest::newRow("no answer from the server") << inlineKeys << QByteArray("[[2, 1], [3, 1], [6, 6]]") << "" << QStringList()
            << QStringList{ "NetworkManager's OpenVPN plugin does not take these options of the configuration: verb." }
                   + failed("Connection timed out!");
    }
    void imported()
    {
        QFETCH(QByteArray, config); QFETCH(QByteArray, walk); QFETCH(QString, ending);
        QFETCH(QStringList, settings); QFETCH(QStringList, log);
        if (!QFile::exists("/usr/lib/NetworkManager/VPN/nm-openvpn-service.name"))
            QSKIP("NetworkManager's OpenVPN plugin (network-manager-openvpn) is not installed");
        QTemporaryDir runtime;
        TempWorkDir wd;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        QVERIFY(wd.writeScript("config.ovpn", config));
        MockNetworkManager nm;
        QVERIFY(nm.start(walk));
        SharedConfig cfg(wd.filePath("shared_config.ini"));
        cfg.enableDnsProtection = true; cfg.dnsServer = GoogleDns;
        Sink sink;
        auto engine = std::make_unique<NetworkManagerOpenVpn>(sink, cfg, ORVI_IMPORTER);
        engine->probe();
        QTRY_VERIFY(engine->available(nullptr));
        engine->prepare("alice", "pw");
        QCOMPARE(engine->start(), 0);

        const QString keys = runtime.filePath("orvi-openvpn-keys/.cert/nm-openvpn");
        if (!ending.isEmpty()) {
            QTRY_COMPARE(sink.states.value(sink.states.size() - 1), 2);
            QVERIFY(QFileInfo::exists(keys + "/config-ca.pem")); // owner-only: realNetworkManager
            if (!settings.isEmpty())
                QCOMPARE(nm.settings().replaceInStrings(keys, "<keys>"), settings);
            if (ending == "stop")
                engine->stop(true);
            else
                engine.reset();
        }
        QTRY_COMPARE(sink.log, log);
        QVERIFY(!QFileInfo::exists(runtime.filePath("orvi-openvpn-keys")));
        if (ending != "quit") // which leaves it to the end of the client's bus connection, the mock cannot see
            QTRY_VERIFY(nm.connections().isEmpty());
    }

    // The real window, run as a user without root, through the real NetworkManager and its OpenVPN plugin to a real
    // OpenVPN server, all in a network namespace of the test's own; then each way the attempt ends.
    void realNetworkManager_data()
    {
        QTest::addColumn<QString>("password"); QTest::addColumn<QString>("ending"); // once connected: "click ConnectButton", or a SIGKILL
        QTest::newRow("Disconnect") << "correct horse" << "click ConnectButton";
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
        real.inNamespace("ip link set lo up");
        const QString down = server.start(real.netns);
        if (!down.isEmpty())
            QSKIP(qPrintable(down));
        RealClient client("enable-dns-protection=true\ndns-server=1",
                          { { OpenVPN, "office", "", "alice", password, server.clientConfig().toBase64(), "" } });
        client.start("nobody", "orviuidriver:watch");
        const QString keys = client.runtimePath("orvi-openvpn-keys");

        if (password != "correct horse") { // refused once, and not tried again
            QTRY_VERIFY2_WITH_TIMEOUT(client.output().contains("Connection Error - Authorization failed!"), client.output(), 20000);
            QVERIFY(!QTest::qWaitFor([&] { return client.output().count("OpenVPN Start") > 1; }, 3000));
            QVERIFY(!QFileInfo::exists(keys));
            QCOMPARE(real.connectionIds(), QStringList{ "parent" });
            return;
        }
        QTRY_VERIFY2_WITH_TIMEOUT(client.output().contains("button: Connected"), client.output(), 20000);
        const QByteArray subnet = "inet " + server.subnet.chopped(1);
        QCOMPARE(real.inNamespace("ip -4 -o address").count(subnet), 2); // the server's end of the tunnel, and ours
        QCOMPARE(real.nameservers(), QStringList({ "8.8.8.8", "8.8.4.4" }));
        const QFileInfo ca(keys + "/.cert/nm-openvpn/config-ca.pem");
        QVERIFY(ca.exists() && ca.permissions() == (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser));

        if (ending.isEmpty())
            client.process.kill();
        else
            client.command(ending.toUtf8());
        QTRY_COMPARE_WITH_TIMEOUT(real.connectionIds(), QStringList{ "parent" }, 3000); // the tunnel came down with it
        QTRY_COMPARE(real.inNamespace("ip -4 -o address").count(subnet), 1);
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
