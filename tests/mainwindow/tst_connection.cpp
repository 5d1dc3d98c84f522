#include "engine/openvpn/cvpnproc.h"
#include "support/testwindow.h"

#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

namespace {

const QString kStart = "------------ OpenVPN Start ------------";
const QByteArray kStaysUp = "#!/bin/sh\nsleep 0.3\necho 'Initialization Sequence Completed'\nexec sleep 30\n";
const QByteArray kSilent = "#!/bin/sh\nexec sleep 30\n";
// Connects, then drops the first time it runs; later runs stay up.
const QByteArray kDropsOnce = "#!/bin/sh\necho 'Initialization Sequence Completed'\n"
                              "[ -e dropped ] && exec sleep 30\ntouch dropped\nsleep 0.5\n";
const QByteArray kConfig("client\r\n\0\xff", 10);

// A shown window with one OpenVPN profile of the given login.
struct Client : TestWindow
{
    explicit Client(const QString &user = "bob", const QString &password = "pw")
        : TestWindow("", { { OpenVPN, "nick", "", user, password, kConfig.toBase64(), "" } })
    {
        w->show();
        list = get<QListView>("VpnInfoListBox");
        button = get<QPushButton>("ConnectButton");
    }
    void clickProfileAndConnect()
    {
        clickRow("VpnInfoListBox", 0);
        button->click();
    }
    int count(const QString &text) const { return log().count(text); }
    int state() const { return w->currentConnectionState(); }
    // The tray menu's texts, then whether the tray shows the named picture.
    QString tray(const char *picture) const
    {
        QStringList texts;
        for (QAction *action : w->systemTrayMenu()->actions())
            texts << action->text();
        const QImage shown = w->systemTrayIcon()->icon().pixmap(32).toImage();
        const bool same = !shown.isNull() && shown == QIcon(QString(":/icons/res/") + picture).pixmap(32).toImage();
        return texts.join(',') + (same ? " shown" : "");
    }

    QListView *list;
    QPushButton *button;
};

} // namespace

class TestConnection : public QObject
{
    Q_OBJECT

private slots:
    void appendLog_data()
    {
        QTest::addColumn<QStringList>("texts"); // a leading "+" asks for a blank line
        QTest::addColumn<QString>("log");
        QTest::addColumn<int>("entries");
        QTest::newRow("first entry has no separator") << QStringList{ "+one" } << "one" << 1;
        QTest::newRow("newest on top") << QStringList{ "one", "two" } << "two\none" << 2;
        QTest::newRow("blank line after a banner") << QStringList{ "one", "+two" } << "two\n\none" << 2;
        QTest::newRow("trimmed, blank texts ignored") << QStringList{ " \tone \n", "+ \n ", "" } << "one" << 1;
    }
    void appendLog()
    {
        QFETCH(QStringList, texts);
        Client client;
        for (const QString &text : texts)
            client.w->appendLog(text.startsWith('+') ? text.mid(1) : text, text.startsWith('+'));
        // Every entry starts with a local time stamp; the rest is the table's text.
        QString shown = client.log();
        const QRegularExpression stamp(QString("\\[%1-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\] ").arg(QDate::currentDate().year()));
        QTEST(int(shown.count(stamp)), "entries");
        QTEST(shown.remove(stamp), "log");
        QCOMPARE(client.get<QPlainTextEdit>("VpnLogEditBox")->document()->availableUndoSteps(), 0); // memory kept per entry
    }

    void connectShowsStateAndDisconnectFromTray()
    {
        Client client;
        QVERIFY(client.wd.writeScript("openvpn.exe", kStaysUp));
        const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
        for (const char *secret : { "config.ovpn", "openvpn_console.txt" }) // left readable by an older client
            QVERIFY(client.wd.writeScript(secret, "") && QFile::setPermissions(secret, owner | QFile::ReadOther));
        client.clickProfileAndConnect();
        QCOMPARE(client.button->text(), "Connecting");
        QVERIFY(!client.list->isEnabled() && !client.get("LoginTab")->isEnabled());
        QCOMPARE(client.tray("disconnected_tray.png"), "Open,About,Quit shown");
        QCOMPARE(TempWorkDir::readFile(client.wd.filePath("config.ovpn")), kConfig);

        QTRY_COMPARE_WITH_TIMEOUT(client.button->text(), "Connected", 10000);
        QCOMPARE(QFile::permissions("config.ovpn"), owner); // they may hold keys
        QCOMPARE(QFile::permissions("openvpn_console.txt"), owner);
        QCOMPARE(client.tray("connecting_tray.png"), "Disconnect VPN,Open,About,Quit shown");
        auto *duration = client.get<QLabel>("ConnectedTimeLabel");
        QTRY_COMPARE_WITH_TIMEOUT(duration->text(), "00 : 00 : 01", 5000);
        QCOMPARE(formatDuration(363723), "101 : 02 : 03"); // hours are total hours

        client.w->systemTrayMenu()->actions().first()->trigger();
        QCOMPARE(client.button->text(), "Connect");
        QCOMPARE(client.tray("disconnected_tray.png"), "Open,About,Quit shown");
        QVERIFY(client.list->isEnabled());
        QCOMPARE(duration->text(), "00 : 00 : 01"); // keeps its last value
        QCOMPARE(client.count("------------ OpenVPN Stop ------------"), 2); // the engine's, then ours
    }

    void failedStartsStopAtTheBound()
    {
        Client client; // no openvpn.exe: every start fails at once with 204
        for (int press = 1; press <= 2; ++press) {
            client.clickProfileAndConnect();
            QTRY_COMPARE_WITH_TIMEOUT(client.count("no further attempt"), press, 5000);
            QCOMPARE(client.count(kStart), 3 * press);
            QCOMPARE(client.count("Stop ------------Failed to launch vpn service! = 204"), 3 * press);
            QCOMPARE(client.state(), int(Disconnected));
        }
    }

    // Starts that end without a tunnel and are not repeated: refused before OpenVPN runs, stopped by a press while
    // connecting, or ended by OpenVPN for want of the privilege to make its tunnel device (after the handshake).
    void endsWithoutRepeat_data()
    {
        QTest::addColumn<QString>("user"); QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("last"); // OpenVPN's last line before it exits; none: it runs until stopped
        QTest::addColumn<QString>("entry"); // logged once
        const QString privilege = "OpenVPN could not create the tunnel device: it needs root or the CAP_NET_ADMIN "
            "capability. Start the client as root, or give OpenVPN the capability (as root, in the client's folder): "
            "setcap cap_net_admin+ep \"$(readlink -f openvpn.exe)\"";
        QTest::newRow("user name of 50 bytes") << QString(50, 'u') << "pw" << QByteArray()
                                               << "OpenVPN was not started: the user name is longer than 49 bytes.";
        QTest::newRow("password of 50 bytes in 25 characters") << "bob" << QString(25, QChar(0xe9)) << QByteArray()
                                                                << "OpenVPN was not started: the password is longer than 49 bytes.";
        QTest::newRow("line break in the user name") << "bob\nroot" << "pw" << QByteArray()
                                                     << "OpenVPN was not started: the user name holds a line break.";
        QTest::newRow("config.ovpn not writable") << "bob" << "pw" << QByteArray()
                                                  << "OpenVPN was not started: config.ovpn could not be written";
        QTest::newRow("49 bytes fit, a press stops") << QString(49, 'u') << QString(49, 'p') << QByteArray() << QString();
        QTest::newRow("TUNSETIFF not permitted") << "bob" << "pw"
            << QByteArray("ERROR: Cannot ioctl TUNSETIFF tun: Operation not permitted (errno=1)") << privilege;
        QTest::newRow("tun device denied") << "bob" << "pw"
            << QByteArray("ERROR: Cannot open TUN/TAP dev /dev/net/tun: Permission denied (errno=13)") << privilege;
        QTest::newRow("tun device busy, no privilege matter") << "bob" << "pw"
            << QByteArray("ERROR: Cannot ioctl TUNSETIFF tun0: Device or resource busy (errno=16)") << QString();
    }
    void endsWithoutRepeat()
    {
        QFETCH(QString, user); QFETCH(QString, password); QFETCH(QByteArray, last); QFETCH(QString, entry);
        Client client(user, password);
        QVERIFY(client.wd.writeScript("openvpn.exe", last.isEmpty() ? kSilent : "#!/bin/sh\necho 'Peer Connection "
                                      "Initiated with [AF_INET]127.0.0.1:1194'\necho '" + last + "'\nexit 1\n"));
        if (entry.contains("config.ovpn"))
            QVERIFY(QDir(client.wd.path()).mkdir("config.ovpn"));
        client.clickProfileAndConnect();
        if (entry.isEmpty() && last.isEmpty()) {
            QCOMPARE(QByteArray(client.w->openVpnProcess()->passwordBuffer), password.toUtf8());
            client.button->click();
        }
        QTRY_COMPARE_WITH_TIMEOUT(client.state(), int(Disconnected), 5000);
        QTest::qWait(100); // room for a wrongly scheduled repeat to show
        QCOMPARE(client.count(kStart), entry.startsWith("OpenVPN was not started") ? 0 : 1);
        QCOMPARE(client.count("timed out!"), 0);
        if (!entry.isEmpty())
            QCOMPARE(client.count(entry), 1);
    }

    void redialAfterDrop_data()
    {
        QTest::addColumn<bool>("redial");
        QTest::newRow("redial off") << false;
        QTest::newRow("redial on") << true;
    }
    void redialAfterDrop()
    {
        QFETCH(bool, redial);
        Client client;
        client.cfg->redialAutomatically = redial;
        QVERIFY(client.wd.writeScript("openvpn.exe", kDropsOnce));
        client.clickProfileAndConnect();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(client.wd.filePath("dropped")), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(client.count(kStart) + client.state(), redial ? 2 + int(Connected) : 1, 10000);
        if (redial)
            client.button->click(); // the user's own disconnect never redials
        QTest::qWait(100);
        QCOMPARE(client.count(kStart), redial ? 2 : 1);
        QCOMPARE(client.state(), int(Disconnected));
    }
};

QTEST_MAIN(TestConnection)
#include "tst_connection.moc"
