#include "config/sharedconfig.h"
#include "mainwindow/mainwindow.h"
#include "support/privatebus.h"
#include "support/tempworkdir.h"

#include <QtDBus>
#include <QtTest>
#include <QtWidgets>

#include <signal.h>
#include <unistd.h>

// The machine's own NetworkManager and VPN plugins, run in a network namespace and on a bus of this test, with
// their run-time and state folders and the IPsec secrets on scratch mounts: they touch nothing of the machine.
// This kernel has no ppp, so a dial ends in a failure of NetworkManager's, which is what is checked.
class TestNetworkManagerSystem : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QStringList path = qEnvironmentVariable("PATH").split(':') << "/usr/sbin" << "/sbin";
        const QString ip = QStandardPaths::findExecutable("ip", path), nm = QStandardPaths::findExecutable("NetworkManager", path);
        if (::geteuid() != 0)
            QSKIP("a network namespace of the test's own needs root");
        if (nm.isEmpty() || QStandardPaths::findExecutable("dbus-daemon").isEmpty())
            QSKIP("NetworkManager or dbus-daemon is not installed");
        if (!QFile::exists("/usr/lib/NetworkManager/VPN/nm-pptp-service.name")
            || !QFile::exists("/usr/lib/NetworkManager/VPN/nm-l2tp-service.name"))
            QSKIP("network-manager-pptp or network-manager-l2tp is not installed");
        if (ip.isEmpty() || QProcess::execute(ip, { "netns", "add", netns }) != 0)
            QSKIP("ip netns cannot add a network namespace here");
        this->ip = ip;
        bus = std::make_unique<PrivateBus>(true);
        QVERIFY(bus->isRunning());

        QVERIFY(work.writeScript("nm.conf", "[main]\nplugins=keyfile\nauth-polkit=false\ndns=none\nno-auto-default=*\n"
                                            "[keyfile]\npath=" + work.filePath("connections").toUtf8() + "\n"));
        QVERIFY(work.writeScript("ipsec.secrets", ""));
        const QString scratch = "mount -n -t tmpfs none /run && mount -n -t tmpfs none /var/lib/NetworkManager"
                                " && { [ ! -d /etc/ipsec.d ] || mount -n -t tmpfs none /etc/ipsec.d; }"
                                " && { [ ! -f /etc/ipsec.secrets ] || mount -n --bind %1/ipsec.secrets /etc/ipsec.secrets; }"
                                " && exec %2 --no-daemon --config=%1/nm.conf --config-dir=%1/conf.d --state-file=%1/state --debug --log-level=INFO --log-domains=VPN";
        networkManager.setProcessChannelMode(QProcess::MergedChannels);
        PrivateBus::startChild(networkManager, ip, { "netns", "exec", netns, "sh", "-c", scratch.arg(work.path(), nm) });
        QDBusConnection test = QDBusConnection::connectToBus(bus->address, "test");
        QVERIFY2(QTest::qWaitFor([&] { return test.interface()->isServiceRegistered("org.freedesktop.NetworkManager").value(); },
                                 20000), networkManager.readAll());
        // The VPN's parent: a tap device with an address and a default route inside the namespace.
        QCOMPARE(QProcess::execute("nmcli", { "connection", "add", "type", "tun", "mode", "tap", "ifname", "orvitap0", "con-name",
                                              "parent", "ipv4.method", "manual", "ipv4.addresses", "10.231.0.2/24", "ipv4.gateway",
                                              "10.231.0.1", "ipv6.method", "disabled", "save", "no" }), 0);
        QCOMPARE(QProcess::execute("nmcli", { "connection", "up", "parent" }), 0);
    }

    void cleanupTestCase()
    {
        networkManager.terminate();
        networkManager.waitForFinished();
        if (ip.isEmpty())
            return;
        // The plugins' daemons (pppd, the IPsec daemon) may outlive NetworkManager there.
        QProcess pids;
        pids.start(ip, { "netns", "pids", netns });
        pids.waitForFinished();
        for (const QByteArray &pid : pids.readAll().split('\n'))
            if (pid.toInt() > 0)
                ::kill(pid.toInt(), SIGKILL);
        QProcess::execute(ip, { "netns", "delete", netns });
        QDBusConnection::disconnectFromBus("test");
    }

    // The settings we send pass NetworkManager's checks, its plugin starts and fails, and that failure reads
    // clearly; the attempts stay bounded and our connection goes with them.
    void failedDial_data()
    {
        QTest::addColumn<int>("protocol");
        QTest::addColumn<QString>("key");
        QTest::newRow("PPTP") << int(PPTP) << "";
        QTest::newRow("L2TP over IPsec") << int(L2TP) << "psk";
    }
    void failedDial()
    {
        QFETCH(int, protocol);
        QFETCH(QString, key);
        TempWorkDir wd;
        SharedConfig config(wd.filePath("shared_config.ini"));
        config.serverInfoList.append({ protocol, "office", "10.231.0.1", "bob", "pw", QString(), key });
        config.enableDnsProtection = true;
        config.dnsServer = GoogleDns;
        MainWindow window(nullptr, &config); // which finds NetworkManager on the bus
        auto *list = window.findChild<QListView *>("VpnInfoListBox");
        list->setCurrentIndex(list->model()->index(0, 0));
        window.onSelectVpnInfo();
        window.findChild<QPushButton *>("ConnectButton")->click();

        const QString name = protocol == PPTP ? "PPTP" : "L2TP", start = "------------ " + name + " Start ------------";
        const QString giveUp = "The connection failed 3 times in a row; no further attempt is made. Press Connect to try again.";
        QStringList log;
        QTRY_VERIFY_WITH_TIMEOUT((log = logOf(window)).contains(giveUp), 90000);
        log.removeIf([](const QString &line) { return line.endsWith("..."); }); // the states passed on the way
        // Which cause NetworkManager names depends on how far the plugin got and whether it has quit yet: none
        // when it merely reports a failed connect, "stopped" once it has quit, and for the L2TP plugin, which
        // fails its IPsec start in ways of its own, also "failed to start" or "no secrets".
        log.replaceInStrings(QRegularExpression("^(NetworkManager (could not make|had no password to send for) the VPN "
                                                "connection|The " + name + " plugin of NetworkManager (stopped before "
                                                "the connection was made|failed to start))\\.$"), "(failure)");
        QStringList expected;
        for (int attempt = 0; attempt < 3; ++attempt)
            expected << start << "(failure)" << QString(start).replace("Start", "Stop") << "(failure)";
        QCOMPARE(log, expected << giveUp);
        QCOMPARE(networkManager.readAll().count("starting " + name.toLower().toUtf8()), 3); // its plugin, each time
        QCOMPARE(settingsConnections(), 1); // only the parent's
    }

private:
    static QStringList logOf(const MainWindow &window) // oldest first, without time stamps
    {
        QStringList lines = window.findChild<QPlainTextEdit *>("VpnLogEditBox")->toPlainText().split('\n', Qt::SkipEmptyParts);
        std::reverse(lines.begin(), lines.end());
        return lines.replaceInStrings(QRegularExpression("^\\[.*?\\] "), "");
    }
    int settingsConnections()
    {
        QDBusMessage get = QDBusMessage::createMethodCall("org.freedesktop.NetworkManager", "/org/freedesktop/NetworkManager/Settings",
                                                          "org.freedesktop.DBus.Properties", "Get");
        get << "org.freedesktop.NetworkManager.Settings" << "Connections";
        const QDBusMessage reply = QDBusConnection(QStringLiteral("test")).call(get);
        return int(qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().value(0).value<QDBusVariant>().variant()).size());
    }

    const QString netns = "orvi-test-" + QString::number(QCoreApplication::applicationPid());
    QString ip;
    TempWorkDir work;
    std::unique_ptr<PrivateBus> bus;
    QProcess networkManager;
};

QTEST_MAIN(TestNetworkManagerSystem)
#include "tst_networkmanager_system.moc"
