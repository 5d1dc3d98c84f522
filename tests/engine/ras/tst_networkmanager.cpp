#include "engine/ras/crasdialer.h"
#include "engine/ras/rasapi_unix.h"
#include "support/privatebus.h"
#include "support/testwindow.h"

#include <QtDBus>
#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

#include <pwd.h>
#include <unistd.h>

namespace {

const QString kNm = "org.freedesktop.NetworkManager", kManager = "/org/freedesktop/NetworkManager",
              kSettings = "/org/freedesktop/NetworkManager/Settings", kMock = "org.freedesktop.DBus.Mock";

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
def step(ac=ac, steps=%1):
    if steps and ac.path in objects:
        ac.EmitSignal('org.freedesktop.NetworkManager.VPN.Connection', 'VpnStateChanged', 'uu', steps.pop(0))
    return bool(steps)
GLib.timeout_add(150, lambda step=step, GLib=GLib: GLib.timeout_add(10, step) and False)
ret = ac.path)";

// NetworkManager as the test sees it on a bus of its own: python3-dbusmock's once start() has run, with a network
// device, without which the mock keeps the active connections of deleted connections.
struct NetworkManager
{
    ~NetworkManager()
    {
        process.kill();
        process.waitForFinished();
        QDBusConnection::disconnectFromBus("test");
    }
    bool start(const QString &walk)
    {
        process.setStandardOutputFile(QProcess::nullDevice()); // its log of the calls it got
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
    QList<QDBusObjectPath> paths(const QString &path, const QString &interface, const QString &property)
    {
        const QVariant value = call(path, "org.freedesktop.DBus.Properties", "Get", { interface, property }).arguments().value(0);
        return qdbus_cast<QList<QDBusObjectPath>>(value.value<QDBusVariant>().variant());
    }
    QList<QDBusObjectPath> active() { return paths(kManager, kNm, "ActiveConnections"); }
    QList<QDBusObjectPath> connections() { return paths(kSettings, kNm + ".Settings", "Connections"); }
    // The one connection's settings and secrets as NetworkManager holds them, one "setting.key=value" a line.
    QStringList settings()
    {
        const QString path = connections().value(0).path(), interface = kNm + ".Settings.Connection";
        QStringList lines;
        for (const QDBusMessage &reply : { call(path, interface, "GetSettings"), call(path, interface, "GetSecrets", { "vpn" }) }) {
            for (const auto &[setting, keys] : qdbus_cast<QMap<QString, QVariantMap>>(reply.arguments().value(0)).asKeyValueRange()) {
                for (const auto &[key, value] : keys.asKeyValueRange())
                    lines << setting + '.' + key + '=' + text(value);
            }
        }
        lines.removeIf([](const QString &line) { return line.startsWith("connection.uuid="); }); // the backend's own affair
        lines.sort();
        return lines;
    }
    // Lists comma-separated: a{ss} as key=value, au (network byte order) as dotted addresses.
    static QString text(const QVariant &value)
    {
        if (value.userType() != qMetaTypeId<QDBusArgument>())
            return value.userType() == QMetaType::QStringList ? value.toStringList().join(',') : value.toString();
        QStringList parts;
        if (value.value<QDBusArgument>().currentSignature() == "au") {
            for (uint address : qdbus_cast<QList<uint>>(value))
                parts << QHostAddress(qFromBigEndian(address)).toString();
        } else {
            for (const auto &[key, item] : qdbus_cast<QMap<QString, QString>>(value).asKeyValueRange())
                parts << key + '=' + item;
        }
        return parts.join(',');
    }

    PrivateBus privateBus;
    QDBusConnection bus = QDBusConnection::connectToBus(privateBus.address, "test"); // not connected without it
    QProcess process;
};

QStringList logOf(const TestWindow &t) // oldest first, without time stamps
{
    QStringList lines = t.log().split('\n', Qt::SkipEmptyParts);
    std::reverse(lines.begin(), lines.end());
    return lines.replaceInStrings(QRegularExpression("^\\[.*?\\] "), "");
}

// Three failed attempts of a protocol ("PPTP", "L2TP"), each logging error twice (the second time as the dial is
// taken down), and the end of the attempts.
QStringList failing(const QString &protocol, const QString &error, const QStringList &states = {})
{
    QStringList log;
    for (int attempt = 0; attempt < 3; ++attempt)
        log << "------------ " + protocol + " Start ------------" << states << error
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
        QTest::addColumn<int>("protocol");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("dns");   // the DNS settings of the configuration file
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
        const QStringList pptp = { "------------ PPTP Start ------------", "Opening the port..." };
        const QStringList stopped = pptp + QStringList{ "------------ PPTP Stop ------------" };
        const QStringList l2tpStarted = { "------------ L2TP Start ------------", "Opening the port..." };
        const QByteArray protection = "enable-dns-protection=true\ndns-server=";
        const QString both = "pptp l2tp";

        QTest::newRow("PPTP, Google DNS, Disconnect")
            << int(PPTP) << "" << protection + "1" << kActivated << both << false << "Disconnect"
            << connection + dns("8.8.8.8,8.8.4.4") + QStringList{ "vpn.data=gateway=vpn.example.test," + user,
               "vpn.secrets=password=pw", "vpn.service-type=org.freedesktop.NetworkManager.pptp" } << pptp;
        QTest::newRow("L2TP with a key, protection off, Quit")
            << int(L2TP) << "psk" << QByteArray() << kActivated << both << false << "Quit"
            << connection + QStringList{ "vpn.data=gateway=vpn.example.test,ipsec-enabled=yes,ipsec-psk-flags=0," + user,
               "vpn.secrets=ipsec-psk=psk,password=pw", l2tp } << l2tpStarted;
        QTest::newRow("L2TP with an empty key, OpenDNS")
            << int(L2TP) << "" << protection + "0" << kActivated << both << false << "Disconnect"
            << connection + dns("208.67.222.222,208.67.220.220") + QStringList{ "vpn.data=gateway=vpn.example.test," + user,
               "vpn.secrets=password=pw", l2tp } << l2tpStarted;
        QTest::newRow("connection left up by an earlier run")
            << int(PPTP) << "" << QByteArray() << kActivated << both << true << "Disconnect" << QStringList() << pptp;
        QTest::newRow("Connect pressed during the dial")
            << int(PPTP) << "" << QByteArray() << kStalled << both << false << "Connect" << QStringList() << stopped;
        QTest::newRow("Quit during the dial")
            << int(PPTP) << "" << QByteArray() << kStalled << both << false << "Quit" << QStringList() << stopped;
        QTest::newRow("wrong password") << int(PPTP) << "" << QByteArray() << kWrongPassword << both << false << "" << QStringList()
            << failing("PPTP", "Wrong user name or password: the VPN server refused the login.", { "Opening the port..." });
        QTest::newRow("no NetworkManager on the bus") << int(PPTP) << "" << QByteArray() << "" << both << false << ""
            << QStringList() << failing("PPTP", "PPTP and L2TP dialling is not available on this system.");
        QTest::newRow("PPTP plugin missing") << int(PPTP) << "" << QByteArray() << kActivated << "l2tp" << false << ""
            << QStringList() << failing("PPTP", "NetworkManager has no PPTP plugin: install the package network-manager-pptp.");
        QTest::newRow("L2TP plugin missing") << int(L2TP) << "psk" << QByteArray() << kActivated << "pptp" << false << ""
            << QStringList() << failing("L2TP", "NetworkManager has no L2TP plugin: install the package network-manager-l2tp.");
    }
    void dial()
    {
        QFETCH(int, protocol); QFETCH(QString, key); QFETCH(QByteArray, dns); QFETCH(QString, walk);
        QFETCH(QString, plugins); QFETCH(bool, leftover); QFETCH(QString, action);
        QFETCH(QStringList, settings); QFETCH(QStringList, log);

        NetworkManager nm;
        QVERIFY(nm.bus.isConnected() && (walk.isEmpty() || nm.start(walk)));
        TempWorkDir pluginFolder;
        for (const QString &plugin : plugins.split(' '))
            QVERIFY(pluginFolder.writeScript("nm-" + plugin + "-service.name", "[VPN Connection]\n"));
        // Without NetworkManager the window picks its backend itself.
        std::unique_ptr<RasApi> backend(walk.isEmpty() ? nullptr : createNetworkManagerRasApi({ pluginFolder.path() }));
        TestWindow t(dns, { { protocol, "office", "vpn.example.test", "bob", "pw", QString(), key } }, {}, backend.get());
        if (leftover) { // a run that connected and ended without taking anything down; the dial replaces it
            std::unique_ptr<RasApi> api(createNetworkManagerRasApi({ pluginFolder.path() }));
            CRasDialer dialer(*api, *t.cfg);
            QCOMPARE(dialer.setupEntry("Orvi", "vpn", "WAN Miniport (PPTP)", "vpn.example.test", RasVpnPptpOnly, ""), 0u);
            QCOMPARE(dialer.dial("Orvi", nullptr, "vpn.example.test", "bob", "pw", ""), 0u);
            QTRY_COMPARE(nm.active().size(), 1);
        }
        const auto act = [&] {
            if (action == "Connect")
                t.click("ConnectButton");
            else // Quit is the tray menu's last entry, Disconnect VPN its first
                (action == "Quit" ? t.w->systemTrayMenu()->actions().last() : t.w->systemTrayMenu()->actions().first())->trigger();
        };
        QTimer during; // acts from inside the dial's message pump once NetworkManager holds the stalled dial
        connect(&during, &QTimer::timeout, [&] { // and the dial has logged its first state, which it does at once
            if (walk == kStalled && nm.active().size() == 1 && t.log().contains("Opening the port..."))
                act();
        });
        during.start(10);
        t.w->show();
        t.clickRow("VpnInfoListBox", 0);
        t.click("ConnectButton"); // returns once the dial has ended

        QTRY_COMPARE(logOf(t), log);
        if (t.get<QPushButton>("ConnectButton")->text() == "Connected") {
            if (!settings.isEmpty())
                QCOMPARE(nm.settings(), settings);
            act();
        }
        QTRY_VERIFY(nm.connections().isEmpty()); // nothing left on the bus, which takes its active connection too
        QVERIFY(!QTest::qWaitFor([&] { return logOf(t) != log; }, 100)); // and no further attempt
    }

    // The machine's own NetworkManager and VPN plugins, in a network namespace and on a bus of this test, with their
    // run-time and state folders and the IPsec secrets on scratch mounts: they touch nothing of the machine. This
    // kernel has no ppp, so each dial fails, but only after our settings passed NetworkManager's and its plugin's checks.
    void realNetworkManager_data()
    {
        QTest::addColumn<int>("protocol");
        QTest::newRow("PPTP") << int(PPTP);
        QTest::newRow("L2TP over IPsec") << int(L2TP);
    }
    void realNetworkManager()
    {
        QFETCH(int, protocol);
        const QString name = protocol == PPTP ? "PPTP" : "L2TP", netns = "orvi-test-" + QString::number(::getpid());
        const QString plugin = "/usr/lib/NetworkManager/VPN/nm-" + name.toLower() + "-service.name";
        if (::geteuid() != 0 || !QFile::exists("/usr/sbin/NetworkManager") || !QFile::exists(plugin)
            || QProcess::execute("ip", { "netns", "add", netns }) != 0)
            QSKIP("needs root, network-manager with its plugin for this protocol, and a network namespace of its own");
        QProcess daemon;
        const auto cleanup = qScopeGuard([&] { // the plugins' own daemons (pppd, the IPsec one) may outlive it there
            QProcess::execute("sh", { "-c", "ip netns pids " + netns + " | xargs -r kill -9; ip netns delete " + netns });
            daemon.waitForFinished();
        });
        NetworkManager nm;
        QVERIFY(nm.bus.isConnected());
        TempWorkDir wd;
        QVERIFY(wd.writeScript("nm.conf", "[main]\nplugins=keyfile\nauth-polkit=false\ndns=none\nno-auto-default=*\n"
                                          "[keyfile]\npath=" + wd.filePath("connections").toUtf8() + "\n"));
        QVERIFY(wd.writeScript("ipsec.secrets", ""));
        const QString scratch = "mount -n -t tmpfs none /run && mount -n -t tmpfs none /var/lib/NetworkManager"
                                " && { [ ! -d /etc/ipsec.d ] || mount -n -t tmpfs none /etc/ipsec.d; }"
                                " && { [ ! -f /etc/ipsec.secrets ] || mount -n --bind %1/ipsec.secrets /etc/ipsec.secrets; }"
                                " && exec /usr/sbin/NetworkManager --no-daemon --config=%1/nm.conf --config-dir=%1/conf.d"
                                " --state-file=%1/state --debug --log-level=INFO --log-domains=VPN";
        daemon.setProcessChannelMode(QProcess::MergedChannels);
        PrivateBus::startChild(daemon, "ip", { "netns", "exec", netns, "sh", "-c", scratch.arg(wd.path()) });
        QVERIFY2(QTest::qWaitFor([&] { return nm.bus.interface()->isServiceRegistered(kNm).value(); }, 20000), daemon.readAll());
        // The VPN's parent: a tap device with an address and a default route inside the namespace.
        QCOMPARE(QProcess::execute("sh", { "-c", "nmcli connection add type tun mode tap ifname orvitap0 con-name parent"
                                                 " ipv4.method manual ipv4.addresses 10.231.0.2/24 ipv4.gateway 10.231.0.1"
                                                 " ipv6.method disabled save no && nmcli connection up parent" }), 0);

        // The window finds NetworkManager on the bus.
        TestWindow t("enable-dns-protection=true\ndns-server=1",
                     { { protocol, "office", "10.231.0.1", "bob", "pw", QString(), "psk" } });
        t.w->show();
        t.clickRow("VpnInfoListBox", 0);
        t.click("ConnectButton");
        QTRY_VERIFY_WITH_TIMEOUT(logOf(t).endsWith(failing(name, "").last()), 90000); // the attempts have ended
        const QByteArray output = daemon.readAll();
        QCOMPARE(output.count("starting " + name.toLower().toUtf8()), 3); // its plugin, each time,
        QVERIFY2(!output.contains("invalid") && !output.contains("Missing required"), output); // which took our settings
        QCOMPARE(nm.connections().size(), 1); // only the parent
    }
};

QTEST_MAIN(TestNetworkManager)
#include "tst_networkmanager.moc"
