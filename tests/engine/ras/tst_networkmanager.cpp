#include "engine/ras/rasapi_unix.h"
#include "support/networkmanagermock.h"
#include "support/realclient.h"
#include "support/realnetworkmanager.h"
#include "support/testwindow.h"

#include <QtDBus>
#include <QtTest>
#include <QtWidgets>

#include <pwd.h>
#include <unistd.h>

namespace {

// The VPN states [state, reason] the mock walks after each activation: to activated; failing a login the way
// NetworkManager does (the cause with the failure, then the plugin stops); or stuck while connecting.
const QByteArray kActivated = "[[1, 1], [2, 1], [3, 1], [4, 1], [5, 1]]", kStalled = "[[2, 1], [3, 1]]";
const QByteArray kWrongPassword = "[[2, 1], [3, 1], [6, 10], [7, 4]]";

// Oldest first, without time stamps, and without the dial's progress, which it logs once a second.
QStringList logOf(const TestWindow &t)
{
    QStringList lines = t.log().split('\n', Qt::SkipEmptyParts);
    std::reverse(lines.begin(), lines.end());
    lines.replaceInStrings(QRegularExpression("^\\[.*?\\] "), "");
    return lines.filter(QRegularExpression("^(?!Opening the port|Verifying the user|Connecting to the device|Registering your)"));
}

// Three failed attempts of a protocol ("PPTP", "L2TP"), each logging error twice (the second time as the dial is
// taken down), and the end of the attempts.
QStringList failing(const QString &protocol, const QString &error)
{
    QStringList log;
    for (int attempt = 0; attempt < 3; ++attempt)
        log << "------------ " + protocol + " Start ------------" << error
            << "------------ " + protocol + " Stop ------------" << error;
    return log << "The connection failed 3 times in a row; no further attempt is made. Press Connect to try again.";
}

} // namespace

class TestNetworkManager : public QObject
{
    Q_OBJECT

private slots:
    // A PPTP or L2TP profile through the window, its dialer and the NetworkManager backend, against the mock.
    void dial_data()
    {
        QTest::addColumn<int>("protocol"); QTest::addColumn<QString>("key"); QTest::addColumn<QByteArray>("dns"); // of the file
        QTest::addColumn<QByteArray>("walk"); QTest::addColumn<double>("delay"); // none: no NetworkManager; seconds it takes to answer
        QTest::addColumn<QString>("plugins"); QTest::addColumn<bool>("leftover"); // described in the folder; an older client's connection up
        QTest::addColumn<QString>("action"); // once connected, or during a stalled dial
        QTest::addColumn<QStringList>("settings"); QTest::addColumn<QStringList>("log");

        const QString login = QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name);
        const QStringList connection = { "activation.bind-activation=dbus-client", "activation.persist=volatile",
                                         "connection.autoconnect=false", "connection.id=Orvi",
                                         "connection.permissions=user:" + login, "connection.type=vpn" };
        const QString user = "password-flags=0,refuse-chap=yes,refuse-eap=yes,refuse-pap=yes,user=bob";
        const QString l2tp = "vpn.service-type=org.freedesktop.NetworkManager.l2tp";
        const auto dns = [](const QString &servers) {
            return QStringList{ "ipv4.dns-priority=-2147483648", "ipv4.dns=" + servers, "ipv4.ignore-auto-dns=true",
                                "ipv4.method=auto" };
        };
        const QStringList pptp = { "------------ PPTP Start ------------" };
        const QStringList stopped = pptp + QStringList{ "------------ PPTP Stop ------------" };
        const QStringList l2tpStarted = { "------------ L2TP Start ------------" };
        const QByteArray protection = "enable-dns-protection=true\ndns-server=";
        const QString both = "pptp l2tp";

        QTest::newRow("PPTP, Google DNS, Disconnect")
            << int(PPTP) << "" << protection + "1" << kActivated << 0.0 << both << false << "Disconnect"
            << connection + dns("8.8.8.8,8.8.4.4") + QStringList{ "vpn.data=gateway=vpn.example.test," + user,
               "vpn.secrets=password=pw", "vpn.service-type=org.freedesktop.NetworkManager.pptp" } << pptp;
        QTest::newRow("L2TP with a key, protection off, Quit")
            << int(L2TP) << "psk" << QByteArray() << kActivated << 0.0 << both << false << "Quit"
            << connection + QStringList{ "vpn.data=gateway=vpn.example.test,ipsec-enabled=yes,ipsec-psk-flags=0," + user,
               "vpn.secrets=ipsec-psk=psk,password=pw", l2tp } << l2tpStarted;
        QTest::newRow("L2TP with an empty key, OpenDNS")
            << int(L2TP) << "" << protection + "0" << kActivated << 0.0 << both << false << "Disconnect"
            << connection + dns("208.67.222.222,208.67.220.220") + QStringList{ "vpn.data=gateway=vpn.example.test," + user,
               "vpn.secrets=password=pw", l2tp } << l2tpStarted;
        QTest::newRow("answers 1.5 s late") << int(PPTP) << "" << QByteArray() << kActivated << 1.5 << both << false
            << "Disconnect" << QStringList() << pptp;
        QTest::newRow("an older client's connection left up")
            << int(PPTP) << "" << QByteArray() << kActivated << 0.0 << both << true << "Disconnect" << QStringList() << pptp;
        QTest::newRow("Connect pressed during the dial")
            << int(PPTP) << "" << QByteArray() << kStalled << 0.0 << both << false << "Connect" << QStringList() << stopped;
        QTest::newRow("Connect pressed before NetworkManager answers")
            << int(PPTP) << "" << QByteArray() << kStalled << 1.5 << both << false << "Connect" << QStringList() << stopped;
        QTest::newRow("Quit during the dial")
            << int(PPTP) << "" << QByteArray() << kStalled << 0.0 << both << false << "Quit" << QStringList() << stopped;
        QTest::newRow("wrong password, answers 1.5 s late") << int(PPTP) << "" << QByteArray() << kWrongPassword << 1.5
            << both << false << "" << QStringList()
            << failing("PPTP", "Wrong user name or password: the VPN server refused the login.");
        QTest::newRow("no NetworkManager on the bus") << int(PPTP) << "" << QByteArray() << QByteArray() << 0.0 << both
            << false << "" << QStringList()
            << failing("PPTP", "PPTP and L2TP are dialled through NetworkManager, which is not running.");
        QTest::newRow("L2TP plugin missing") << int(L2TP) << "psk" << QByteArray() << kActivated << 0.0 << "pptp" << false
            << "" << QStringList() << failing("L2TP", "NetworkManager has no L2TP plugin: install the package network-manager-l2tp.");
    }
    void dial()
    {
        QFETCH(int, protocol); QFETCH(QString, key); QFETCH(QByteArray, dns); QFETCH(QByteArray, walk);
        QFETCH(double, delay); QFETCH(QString, plugins); QFETCH(bool, leftover); QFETCH(QString, action);
        QFETCH(QStringList, settings); QFETCH(QStringList, log);

        MockNetworkManager nm;
        const QString login = QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name);
        QVERIFY(nm.bus.isConnected() && (walk.isEmpty() || nm.start(walk, delay, leftover ? login : QString())));
        QCOMPARE(nm.active().size(), int(leftover));
        TempWorkDir pluginFolder;
        for (const QString &plugin : plugins.split(' '))
            QVERIFY(pluginFolder.writeScript("nm-" + plugin + "-service.name", "[VPN Connection]\n"));
        std::unique_ptr<RasApi> backend(createNetworkManagerRasApi({ pluginFolder.path() }));
        TestWindow t(dns, { { protocol, "office", "vpn.example.test", "bob", "pw", QString(), key } }, {}, backend.get());
        const auto act = [&] {
            if (action == "Connect")
                t.click("ConnectButton");
            else // Quit is the tray menu's last entry, Disconnect VPN its first
                (action == "Quit" ? t.w->systemTrayMenu()->actions().last() : t.w->systemTrayMenu()->actions().first())->trigger();
        };
        QTimer during; // acts from inside the dial's message pump once the dial has logged its first state, which it
        connect(&during, &QTimer::timeout, [&] { // does at once; a prompt NetworkManager holds the dial by then
            if (walk == kStalled && t.log().contains("Opening the port...") && (delay > 0 || nm.active().size() == 1)) {
                during.stop();
                act();
            }
        });
        during.start(10);
        t.w->show();
        t.clickRow("VpnInfoListBox", 0);
        t.click("ConnectButton"); // returns once the dial has ended

        QTRY_COMPARE_WITH_TIMEOUT(logOf(t), log, 15000);
        if (t.get<QPushButton>("ConnectButton")->text() == "Connected") {
            QCOMPARE(nm.connections().size(), 1);
            if (!settings.isEmpty())
                QCOMPARE(nm.settings(), settings);
            act();
        }
        // Nothing left on the bus, also where NetworkManager answered after the dial had ended; and no further attempt.
        QTRY_VERIFY_WITH_TIMEOUT(nm.connections().isEmpty(), 5000);
        QVERIFY(!QTest::qWaitFor([&] { return logOf(t) != log; }, 100));
    }

    // The machine's own NetworkManager and its plugins, isolated. This kernel has no ppp, so each dial fails, but
    // only after our settings passed NetworkManager's and its plugin's checks. A client killed while NetworkManager
    // holds its connection leaves nothing behind.
    void realNetworkManager_data()
    {
        QTest::addColumn<int>("protocol"); QTest::addColumn<bool>("sigkill");
        QTest::newRow("PPTP") << int(PPTP) << false;
        QTest::newRow("L2TP over IPsec") << int(L2TP) << false;
        QTest::newRow("SIGKILL during an L2TP dial") << int(L2TP) << true;
    }
    void realNetworkManager()
    {
        QFETCH(int, protocol); QFETCH(bool, sigkill);
        const QString name = protocol == PPTP ? "PPTP" : "L2TP";
        RealNetworkManager real;
        const QString missing = real.start({ name.toLower() });
        if (!missing.isEmpty())
            QSKIP(qPrintable(missing));
        const QList<VpnServerInfo> profiles{ { protocol, "office", "10.231.0.1", "bob", "pw", QString(), "psk" } };
        if (sigkill) {
            RealClient client("", profiles);
            client.start();
            QTRY_VERIFY2_WITH_TIMEOUT(real.connectionIds().contains("Orvi"), client.output(), 20000);
            client.process.kill();
            QTRY_COMPARE_WITH_TIMEOUT(real.connectionIds(), QStringList{ "parent" }, 3000); // the dial itself fails after 9 s
            return;
        }
        TestWindow t("enable-dns-protection=true\ndns-server=1", profiles); // finds NetworkManager on the bus
        t.w->show();
        t.clickRow("VpnInfoListBox", 0);
        t.click("ConnectButton");
        QTRY_VERIFY_WITH_TIMEOUT(logOf(t).endsWith(failing(name, "").last()), 90000); // the attempts have ended
        const QByteArray output = real.log();
        QCOMPARE(output.count("starting " + name.toLower().toUtf8()), 3); // its plugin, each time,
        QVERIFY2(!output.contains("invalid") && !output.contains("Missing required"), output); // which took our settings
        QCOMPARE(real.connectionIds(), QStringList{ "parent" });
    }
};

QTEST_MAIN(TestNetworkManager)
#include "tst_networkmanager.moc"
