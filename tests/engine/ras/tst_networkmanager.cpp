#include "config/sharedconfig.h"
#include "engine/ras/crasdialer.h"
#include "engine/ras/rasapi_unix.h"
#include "mainwindow/mainwindow.h"
#include "support/privatebus.h"
#include "support/tempworkdir.h"

#include <QtDBus>
#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

#include <pwd.h>
#include <signal.h>
#include <unistd.h>

namespace {

const QString kNm = "org.freedesktop.NetworkManager", kManager = "/org/freedesktop/NetworkManager",
              kSettings = "/org/freedesktop/NetworkManager/Settings", kMock = "org.freedesktop.DBus.Mock";
const QString kStart = "------------ PPTP Start ------------", kStop = "------------ PPTP Stop ------------";
const QString kPreparing = "Opening the port...";

// The VPN states (state, reason) the mock walks after each activation: to activated; failing a login the way
// NetworkManager does (the cause with the failure, then the plugin stops); or stuck while connecting.
const QString kActivated = "[(1, 1), (2, 1), (3, 1), (4, 1), (5, 1)]", kStalled = "[(2, 1), (3, 1)]";
const QString kWrongPassword = "[(2, 1), (3, 1), (6, 10), (7, 4)]";

// What the NetworkManager template of python3-dbusmock 0.28.7 lacks, added through its control interface:
// UpdateUnsaved on connections, and active connections that are VPN connections walking their states.
const QString kUpdatable = "ret = self.SettingsAddConnection(args[0])\n"
                           "objects[ret].AddMethod('" + kNm + ".Settings.Connection', 'UpdateUnsaved', "
                           "'a{sa{sv}}', '', 'self.settings = args[0]')";
const QString kActivate = R"(from gi.repository import GLib
self.count = getattr(self, 'count', 0) + 1
ac = objects[self.AddActiveConnection([], args[0], args[2], 'orvi%d' % self.count, dbus.UInt32(1))]
ac.AddProperties('org.freedesktop.NetworkManager.VPN.Connection', {'VpnState': dbus.UInt32(0), 'Banner': ''})
def step(ac=ac, steps=%1):
    if steps and ac.path in objects:
        ac.EmitSignal('org.freedesktop.NetworkManager.VPN.Connection', 'VpnStateChanged', 'uu', steps.pop(0))
    return bool(steps)
GLib.timeout_add(150, lambda step=step, GLib=GLib: GLib.timeout_add(10, step) and False)
ret = ac.path)";

// The test's own view of NetworkManager on the bus at address: python3-dbusmock's once start() has run,
// with a network device under the VPN.
struct NetworkManager
{
    explicit NetworkManager(const QString &address) : bus(QDBusConnection::connectToBus(address, "test")) {}
    ~NetworkManager()
    {
        process.kill();
        process.waitForFinished();
        QDBusConnection::disconnectFromBus("test");
    }
    bool start(const QString &walk)
    {
        PrivateBus::startChild(process, "/usr/bin/python3", { "-m", "dbusmock", "--template", "networkmanager" });
        const auto ok = [](const QDBusMessage &reply) { return reply.type() == QDBusMessage::ReplyMessage; };
        return QTest::qWaitFor([this] { return bus.interface()->isServiceRegistered(kNm).value(); }, 10000)
            && ok(call("/org/freedesktop", kMock, "AddEthernetDevice", { "eth0", "eth0", 100 }))
            && ok(call(kSettings, kMock, "AddMethod", { kNm + ".Settings", "AddConnectionUnsaved", "a{sa{sv}}", "o", kUpdatable }))
            && ok(call(kManager, kMock, "AddMethod", { kNm, "ActivateConnection", "ooo", "o", kActivate.arg(walk) }));
    }
    QDBusMessage call(const QString &path, const QString &interface, const QString &method, const QVariantList &args = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(kNm, path, interface, method);
        message.setArguments(args);
        return bus.call(message);
    }
    QStringList paths(const QString &path, const QString &interface, const QString &property)
    {
        const QDBusMessage reply = call(path, "org.freedesktop.DBus.Properties", "Get", { interface, property });
        QStringList paths;
        for (const auto &p : qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().value(0).value<QDBusVariant>().variant()))
            paths << p.path();
        return paths;
    }
    QStringList active() { return paths(kManager, kNm, "ActiveConnections"); }
    QStringList connections() { return paths(kSettings, kNm + ".Settings", "Connections"); }
    // The one connection's settings and secrets as NetworkManager holds them, one "setting.key=value" a line.
    QStringList settings()
    {
        const QString path = connections().value(0);
        QStringList lines;
        for (const QDBusMessage &reply : { call(path, kNm + ".Settings.Connection", "GetSettings"),
                                           call(path, kNm + ".Settings.Connection", "GetSecrets", { "vpn" }) }) {
            const auto settings = qdbus_cast<QMap<QString, QVariantMap>>(reply.arguments().value(0));
            for (auto setting = settings.cbegin(); setting != settings.cend(); ++setting) {
                for (auto key = setting->cbegin(); key != setting->cend(); ++key) {
                    if (key.key() != "uuid")
                        lines << setting.key() + '.' + key.key() + '=' + text(key.value());
                }
            }
        }
        lines.sort();
        return lines;
    }
    static QString text(const QVariant &value)
    {
        if (value.userType() != qMetaTypeId<QDBusArgument>())
            return value.userType() == QMetaType::QStringList ? value.toStringList().join(',') : value.toString();
        const auto argument = value.value<QDBusArgument>();
        QStringList parts;
        if (argument.currentSignature() == "au") {
            for (uint address : qdbus_cast<QList<uint>>(argument)) // network byte order
                parts << QHostAddress(qFromBigEndian(address)).toString();
        } else {
            const auto map = qdbus_cast<QMap<QString, QString>>(argument);
            for (auto item = map.cbegin(); item != map.cend(); ++item)
                parts << item.key() + '=' + item.value();
        }
        return parts.join(',');
    }
    QByteArray calls() { return output += process.readAll(); } // the mock's log of the calls it got

    QProcess process;
    QDBusConnection bus;
    QByteArray output;
};

QStringList logOf(const MainWindow &window) // oldest first, without time stamps
{
    QStringList lines = window.findChild<QPlainTextEdit *>("VpnLogEditBox")->toPlainText().split('\n', Qt::SkipEmptyParts);
    std::reverse(lines.begin(), lines.end());
    return lines.replaceInStrings(QRegularExpression("^\\[.*?\\] "), "");
}

// Three failed attempts of a protocol ("PPTP", "L2TP"), each logging error twice, and the end of the attempts.
QStringList failing(const QString &protocol, const QString &error)
{
    QStringList log;
    for (int attempt = 0; attempt < 3; ++attempt)
        log << "------------ " + protocol + " Start ------------" << error << "------------ " + protocol + " Stop ------------" << error;
    return log << "The connection failed 3 times in a row; no further attempt is made. Press Connect to try again.";
}

// Presses Connect on the window's one profile; the dial has ended on return.
void pressConnect(MainWindow &window)
{
    auto *list = window.findChild<QListView *>("VpnInfoListBox");
    list->setCurrentIndex(list->model()->index(0, 0));
    window.onSelectVpnInfo();
    window.findChild<QPushButton *>("ConnectButton")->click();
}

} // namespace

class TestNetworkManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable("dbus-daemon").isEmpty())
            QSKIP("dbus-daemon is not installed");
    }

    // A PPTP or L2TP profile through the window, its dialer and the NetworkManager backend, against the mock.
    void dial_data()
    {
        if (QProcess::execute("/usr/bin/python3", { "-c", "import dbusmock" }) != 0)
            QSKIP("python3-dbusmock is not installed for /usr/bin/python3");
        QTest::addColumn<int>("protocol");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("dns");          // the DNS mode with protection on; -1: protection off
        QTest::addColumn<QString>("walk");     // empty: no NetworkManager on the bus
        QTest::addColumn<QString>("plugins");  // whose descriptions are in the plugin folder
        QTest::addColumn<bool>("leftover");    // an earlier run left its connection up
        QTest::addColumn<QString>("action");   // once connected, or during a stalled dial
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<QStringList>("log");

        const QString login = QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name);
        const QStringList connection = { "connection.autoconnect=false", "connection.id=Orvi",
                                         "connection.permissions=user:" + login, "connection.type=vpn" };
        const QString user = "password-flags=0,refuse-chap=yes,refuse-eap=yes,refuse-pap=yes,user=bob";
        const QString l2tp = "vpn.service-type=org.freedesktop.NetworkManager.l2tp";
        const auto dns = [](const QString &servers) {
            return QStringList{ "ipv4.dns-priority=-2147483648", "ipv4.dns=" + servers, "ipv4.ignore-auto-dns=true",
                                "ipv4.method=auto" };
        };
        const QStringList connected = { kStart, kPreparing }, stopped = { kStart, kPreparing, kStop };
        const QString both = "pptp l2tp";

        QTest::newRow("PPTP, Google DNS, Disconnect")
            << int(PPTP) << "" << int(GoogleDns) << kActivated << both << false << "Disconnect"
            << connection + dns("8.8.8.8,8.8.4.4") + QStringList{ "vpn.data=gateway=vpn.example.test," + user,
               "vpn.secrets=password=pw", "vpn.service-type=org.freedesktop.NetworkManager.pptp" } << connected;
        QTest::newRow("L2TP with a key, protection off, Quit")
            << int(L2TP) << "psk" << -1 << kActivated << both << false << "Quit"
            << connection + QStringList{ "vpn.data=gateway=vpn.example.test,ipsec-enabled=yes,ipsec-psk-flags=0," + user,
               "vpn.secrets=ipsec-psk=psk,password=pw", l2tp } << QStringList{ "------------ L2TP Start ------------", kPreparing };
        QTest::newRow("L2TP with an empty key, OpenDNS")
            << int(L2TP) << "" << int(OpenDns) << kActivated << both << false << "Disconnect"
            << connection + dns("208.67.222.222,208.67.220.220") + QStringList{ "vpn.data=gateway=vpn.example.test," + user,
               "vpn.secrets=password=pw", l2tp } << QStringList{ "------------ L2TP Start ------------", kPreparing };
        QTest::newRow("connection left up by an earlier run")
            << int(PPTP) << "" << -1 << kActivated << both << true << "Disconnect" << QStringList() << connected;
        QTest::newRow("Connect pressed during the dial")
            << int(PPTP) << "" << -1 << kStalled << both << false << "Connect" << QStringList() << stopped;
        QTest::newRow("Quit during the dial")
            << int(PPTP) << "" << -1 << kStalled << both << false << "Quit" << QStringList() << stopped;
        QStringList wrongPassword = failing("PPTP", "Wrong user name or password: the VPN server refused the login.");
        for (int attempt = 0; attempt < 3; ++attempt)
            wrongPassword.insert(attempt * 5 + 1, kPreparing);
        QTest::newRow("wrong password")
            << int(PPTP) << "" << -1 << kWrongPassword << both << false << "" << QStringList() << wrongPassword;
        QTest::newRow("no NetworkManager on the bus")
            << int(PPTP) << "" << -1 << "" << both << false << "" << QStringList()
            << failing("PPTP", "PPTP and L2TP dialling is not available on this system.");
        QTest::newRow("PPTP plugin missing")
            << int(PPTP) << "" << -1 << kActivated << "l2tp" << false << "" << QStringList()
            << failing("PPTP", "NetworkManager has no PPTP plugin: install the package network-manager-pptp.");
        QTest::newRow("L2TP plugin missing")
            << int(L2TP) << "psk" << -1 << kActivated << "pptp" << false << "" << QStringList()
            << failing("L2TP", "NetworkManager has no L2TP plugin: install the package network-manager-l2tp.");
    }
    void dial()
    {
        QFETCH(int, protocol);
        QFETCH(QString, key);
        QFETCH(int, dns);
        QFETCH(QString, walk);
        QFETCH(QString, plugins);
        QFETCH(bool, leftover);
        QFETCH(QString, action);
        QFETCH(QStringList, settings);
        QFETCH(QStringList, log);

        PrivateBus bus;
        QVERIFY(bus.isRunning());
        NetworkManager nm(bus.address);
        QVERIFY(walk.isEmpty() || nm.start(walk));
        TempWorkDir wd;
        for (const QString &plugin : plugins.split(' '))
            QVERIFY(wd.writeScript("nm-" + plugin + "-service.name", "[VPN Connection]\n"));
        SharedConfig config(wd.filePath("shared_config.ini"));
        config.serverInfoList.append({ protocol, "office", "vpn.example.test", "bob", "pw", QString(), key });
        config.enableDnsProtection = dns >= 0;
        config.dnsServer = dns;
        // Without NetworkManager the window picks its backend itself.
        std::unique_ptr<RasApi> backend(walk.isEmpty() ? nullptr : createNetworkManagerRasApi({ wd.path() }));

        QString earlier;
        if (leftover) { // a run that connected and ended without taking anything down
            std::unique_ptr<RasApi> api(createNetworkManagerRasApi({ wd.path() }));
            CRasDialer dialer(*api, config);
            QCOMPARE(dialer.setupEntry("Orvi", "vpn", "WAN Miniport (PPTP)", "vpn.example.test", RasVpnPptpOnly, ""), 0u);
            QCOMPARE(dialer.dial("Orvi", nullptr, "vpn.example.test", "bob", "pw", ""), 0u);
            QTRY_COMPARE(nm.active().size(), 1);
            earlier = nm.active().first();
        }

        MainWindow window(nullptr, &config, backend.get());
        auto *button = window.findChild<QPushButton *>("ConnectButton");
        const auto act = [&] {
            if (action == "Connect")
                button->click();
            else // Quit is the tray menu's last entry, Disconnect VPN its first
                (action == "Quit" ? window.systemTrayMenu()->actions().last() : window.systemTrayMenu()->actions().first())->trigger();
        };
        QString vpn; // the VPN connection of this run, acted on from inside the dial's pump when the walk stalls
        QTimer during;
        connect(&during, &QTimer::timeout, [&] {
            const QStringList active = nm.active();
            if (vpn.isEmpty() && active.size() == 1 && active.first() != earlier)
                vpn = active.first();
            if (walk == kStalled && !vpn.isEmpty() && logOf(window) == QStringList{ kStart, kPreparing })
                act();
        });
        during.start(10);
        pressConnect(window);

        QTRY_COMPARE(logOf(window), log);
        if (button->text() == "Connected") {
            QCOMPARE(window.systemTrayMenu()->actions().first()->text(), "Disconnect VPN");
            QTRY_COMPARE(window.findChild<QLabel *>("ConnectedTimeLabel")->text(), "00 : 00 : 01");
            QCOMPARE(nm.active(), QStringList{ vpn }); // an earlier run's went with its connection
            if (!settings.isEmpty())
                QCOMPARE(nm.settings(), settings);
            act();
        }
        if (!action.isEmpty())
            QTRY_VERIFY(nm.calls().contains("DeactivateConnection \"" + vpn.toUtf8() + '"'));
        QTRY_VERIFY(nm.active().isEmpty() && nm.connections().isEmpty()); // nothing left on the bus
        QVERIFY(!QTest::qWaitFor([&] { return logOf(window) != log; }, 100)); // and no further attempt
    }

    // The machine's own NetworkManager and VPN plugins, in a network namespace and on a bus of this test, with their
    // run-time and state folders and the IPsec secrets on scratch mounts: they touch nothing of the machine. This
    // kernel has no ppp, so a dial ends in a failure of NetworkManager's: the settings we send pass its checks, its
    // plugin starts and fails, the failure reads clearly, the attempts stay bounded and our connection goes.
    void realNetworkManager_data()
    {
        QTest::addColumn<int>("protocol");
        QTest::addColumn<QString>("key");
        QTest::newRow("PPTP") << int(PPTP) << "";
        QTest::newRow("L2TP over IPsec") << int(L2TP) << "psk";
    }
    void realNetworkManager()
    {
        QFETCH(int, protocol);
        QFETCH(QString, key);
        const QStringList path = qEnvironmentVariable("PATH").split(':') << "/usr/sbin" << "/sbin";
        const QString ip = QStandardPaths::findExecutable("ip", path), program = QStandardPaths::findExecutable("NetworkManager", path);
        const QString netns = "orvi-test-" + QString::number(QCoreApplication::applicationPid());
        if (::geteuid() != 0)
            QSKIP("a network namespace of the test's own needs root");
        if (program.isEmpty() || !QFile::exists("/usr/lib/NetworkManager/VPN/nm-pptp-service.name")
            || !QFile::exists("/usr/lib/NetworkManager/VPN/nm-l2tp-service.name"))
            QSKIP("network-manager, network-manager-pptp or network-manager-l2tp is not installed");
        if (ip.isEmpty() || QProcess::execute(ip, { "netns", "add", netns }) != 0)
            QSKIP("ip netns cannot add a network namespace here");
        QProcess daemon;
        const auto cleanup = qScopeGuard([&] {
            daemon.kill();
            daemon.waitForFinished();
            QProcess pids; // the plugins' own daemons (pppd, the IPsec daemon) may outlive NetworkManager there
            pids.start(ip, { "netns", "pids", netns });
            pids.waitForFinished();
            for (const QByteArray &pid : pids.readAll().split('\n'))
                if (pid.toInt() > 0)
                    ::kill(pid.toInt(), SIGKILL);
            QProcess::execute(ip, { "netns", "delete", netns });
        });
        PrivateBus bus(true);
        QVERIFY(bus.isRunning());
        TempWorkDir wd;
        QVERIFY(wd.writeScript("nm.conf", "[main]\nplugins=keyfile\nauth-polkit=false\ndns=none\nno-auto-default=*\n"
                                          "[keyfile]\npath=" + wd.filePath("connections").toUtf8() + "\n"));
        QVERIFY(wd.writeScript("ipsec.secrets", ""));
        const QString scratch = "mount -n -t tmpfs none /run && mount -n -t tmpfs none /var/lib/NetworkManager"
                                " && { [ ! -d /etc/ipsec.d ] || mount -n -t tmpfs none /etc/ipsec.d; }"
                                " && { [ ! -f /etc/ipsec.secrets ] || mount -n --bind %1/ipsec.secrets /etc/ipsec.secrets; }"
                                " && exec %2 --no-daemon --config=%1/nm.conf --config-dir=%1/conf.d --state-file=%1/state"
                                " --debug --log-level=INFO --log-domains=VPN";
        daemon.setProcessChannelMode(QProcess::MergedChannels);
        PrivateBus::startChild(daemon, ip, { "netns", "exec", netns, "sh", "-c", scratch.arg(wd.path(), program) });
        NetworkManager nm(bus.address);
        QVERIFY2(QTest::qWaitFor([&] { return nm.bus.interface()->isServiceRegistered(kNm).value(); }, 20000), daemon.readAll());
        // The VPN's parent: a tap device with an address and a default route inside the namespace.
        QCOMPARE(QProcess::execute("nmcli", { "connection", "add", "type", "tun", "mode", "tap", "ifname", "orvitap0", "con-name",
                                              "parent", "ipv4.method", "manual", "ipv4.addresses", "10.231.0.2/24", "ipv4.gateway",
                                              "10.231.0.1", "ipv6.method", "disabled", "save", "no" }), 0);
        QCOMPARE(QProcess::execute("nmcli", { "connection", "up", "parent" }), 0);

        SharedConfig config(wd.filePath("shared_config.ini"));
        config.serverInfoList.append({ protocol, "office", "10.231.0.1", "bob", "pw", QString(), key });
        config.enableDnsProtection = true;
        config.dnsServer = GoogleDns;
        MainWindow window(nullptr, &config); // which finds NetworkManager on the bus
        pressConnect(window);
        const QString name = protocol == PPTP ? "PPTP" : "L2TP";
        QStringList log;
        QTRY_VERIFY_WITH_TIMEOUT((log = logOf(window)).endsWith(failing(name, "").last()), 90000); // attempts ended
        log.removeIf([](const QString &line) { return line.endsWith("..."); }); // the states passed on the way
        // Which cause NetworkManager names depends on how far the plugin got and whether it has quit yet: none
        // when it merely reports a failed connect, "stopped" once it has quit, and for the L2TP plugin, which
        // fails its IPsec start in ways of its own, also "failed to start" or "no secrets".
        log.replaceInStrings(QRegularExpression("^(NetworkManager (could not make|had no password to send for) the VPN "
                                                "connection|The " + name + " plugin of NetworkManager (stopped before "
                                                "the connection was made|failed to start))\\.$"), "(failure)");
        QCOMPARE(log, failing(name, "(failure)"));
        const QByteArray output = daemon.readAll();
        QCOMPARE(output.count("starting " + name.toLower().toUtf8()), 3); // its plugin, each time,
        QVERIFY2(!output.contains("invalid") && !output.contains("Missing required"), output); // which took our settings
        QCOMPARE(nm.connections().size(), 1); // only the parent
    }
};

QTEST_MAIN(TestNetworkManager)
#include "tst_networkmanager.moc"
