#include "engine/openvpn/cvpnproc.h"
#include "support/testwindow.h"

#include <QtTest>
#include <QtWidgets>

namespace {

const QString kStart = "------------ OpenVPN Start ------------";
const QByteArray kConfig("client\r\n\0\xff", 10);
// Connects, and ends on its own once the file "drop" appears; a second run stays up.
const QByteArray kDropsOnRequest = "#!/bin/sh\nsleep 0.3\necho 'Initialization Sequence Completed'\n[ -e dropped ] && "
                                   "exec sleep 30\nwhile [ ! -e drop ]; do sleep 0.05; done\ntouch dropped\n";

// A shown window with one OpenVPN profile of the given login.
struct Client : TestWindow
{
    explicit Client(const QString &user = "bob", const QString &password = "pw")
        : TestWindow("", { { OpenVPN, "nick", "", user, password, kConfig.toBase64(), "" } }) { w->show(); }
    void clickProfileAndConnect() const { clickRow("VpnInfoListBox", 0); button->click(); }
    int count(const QString &pattern) const { return log().count(QRegularExpression(pattern)); }
    int state() const { return w->currentConnectionState(); }
    // The tray menu's texts, then whether the tray shows the named picture.
    QString tray(const char *picture) const
    {
        QStringList texts;
        for (QAction *action : w->systemTrayMenu()->actions())
            texts << action->text();
        const QImage shown = w->systemTrayIcon()->icon().pixmap(32).toImage();
        return texts.join(',') + (!shown.isNull() && shown == QIcon(QString(":/icons/res/") + picture).pixmap(32).toImage() ? " shown" : "");
    }

    QPushButton *button = get<QPushButton>("ConnectButton");
};

} // namespace

class TestConnection : public QObject
{
    Q_OBJECT

private slots:
    // Connected, then OpenVPN ends on its own: only with redial set does the client dial again, and the user's own
    // disconnect from the tray never redials.
    void connectAndDrop_data()
    {
        QTest::addColumn<bool>("redial"); QTest::addColumn<QString>("log"); // all of it, newest on top; "@": a time stamp
        const QString up = "@Initialization Sequence Completed\n@" + kStart, stop = "@------------ OpenVPN Stop ------------";
        QTest::newRow("redial off") << false << up;
        QTest::newRow("redial on, then disconnect from the tray") << true
            << stop + "\n\n" + stop + "\n" + up + "\n\n@The VPN connection dropped; redialling.\n\n" + up;
    }
    void connectAndDrop()
    {
        QFETCH(bool, redial);
        Client client;
        client.cfg->redialAutomatically = redial;
        QVERIFY(client.wd.writeScript("openvpn.exe", kDropsOnRequest));
        const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
        for (const char *secret : { "config.ovpn", "openvpn_console.txt" }) // left readable by an older client
            QVERIFY(client.wd.writeScript(secret, "") && QFile::setPermissions(secret, owner | QFile::ReadOther));
        client.clickProfileAndConnect();
        QCOMPARE(client.button->text(), "Connecting");
        QVERIFY(!client.get("VpnInfoListBox")->isEnabled() && !client.get("LoginTab")->isEnabled());
        QCOMPARE(client.tray("disconnected_tray.png"), "Open,About,Quit shown");
        QCOMPARE(TempWorkDir::readFile("config.ovpn"), kConfig);

        QTRY_COMPARE_WITH_TIMEOUT(client.button->text(), "Connected", 10000);
        QCOMPARE(QFile::permissions("config.ovpn"), owner); // they may hold keys
        QCOMPARE(QFile::permissions("openvpn_console.txt"), owner);
        QCOMPARE(client.tray("connecting_tray.png"), "Disconnect VPN,Open,About,Quit shown");
        QTRY_COMPARE_WITH_TIMEOUT(client.get<QLabel>("ConnectedTimeLabel")->text(), "00 : 00 : 01", 5000);
        QCOMPARE(formatDuration(363723), "101 : 02 : 03"); // hours are total hours

        QVERIFY(client.wd.writeScript("drop", ""));
        if (redial) {
            QTRY_COMPARE_WITH_TIMEOUT(client.count(kStart) + client.state(), 2 + int(Connected), 10000);
            client.w->systemTrayMenu()->actions().first()->trigger();
        }
        QTRY_COMPARE_WITH_TIMEOUT(client.button->text(), "Connect", 10000);
        QVERIFY(!QTest::qWaitFor([&] { return client.state() != Disconnected; }, 100)); // nor repeated later
        QCOMPARE(client.tray("disconnected_tray.png"), "Open,About,Quit shown");
        QVERIFY(client.get("VpnInfoListBox")->isEnabled());
        QCOMPARE(client.get<QLabel>("ConnectedTimeLabel")->text(), "00 : 00 : 01"); // keeps its last value
        client.w->appendLog(" \n\t", true); // blank texts are left out
        const QRegularExpression stamp("\\[" + QDate::currentDate().toString("yyyy")
                                       + "-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\] "); // local date and time
        QTEST(client.log().replace(stamp, "@"), "log");
        QCOMPARE(client.get<QPlainTextEdit>("VpnLogEditBox")->document()->availableUndoSteps(), 0); // memory per entry
    }

    // Starts that end without a tunnel: refused before OpenVPN runs, stopped by a press while connecting, ended by
    // OpenVPN for want of the privilege to open its tunnel device (either wording, read from stderr), failing at once
    // until the client gives up, or not starting at all. None is repeated beyond that, and the next press starts afresh.
    void endsWithoutRepeat_data()
    {
        QTest::addColumn<QString>("user"); QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("openvpn"); // the script; none: no openvpn.exe
        QTest::addColumn<QString>("entry"); QTest::addColumn<int>("starts"); // a pattern logged once, and starts made, per press
        const QString runs = "#!/bin/sh\nexec sleep 30\n", no = "OpenVPN was not started: ";
        const QString tun = "#!/bin/sh\necho 'Peer Connection Initiated with [AF_INET]127.0.0.1:1194'\necho 'ERROR: %1' >&2\nexit 1\n";
        const QString noTun = "OpenVPN could not create the tunnel device";
        QTest::newRow("no openvpn.exe") << "bob" << "pw" << "" << "failed 3 times in a row; no further attempt" << 3;
        QTest::newRow("openvpn.exe that cannot start, and why") << "bob" << "pw" << "#!/nonexistent/sh\n" << "Error - .+\n.*Error - Failed to start" << 1;
        QTest::newRow("50-byte password") << "bob" << QString(25, u'\u00e9') << "" << no + "the password is longer" << 0;
        QTest::newRow("user name, line break") << "bob\nroot" << "pw" << "" << no + "the user name holds a line break" << 0;
        QTest::newRow("config.ovpn not writable") << "bob" << "pw" << "" << no + "config.ovpn could not be written" << 0;
        QTest::newRow("49 bytes fit, a press stops") << QString(49, 'u') << QString(49, 'p') << runs << "" << 1;
        QTest::newRow("tun device denied") << "bob" << "pw" << tun.arg("Cannot open TUN/TAP dev /dev/net/tun: Permission denied (errno=13)")
                                           << noTun << 1;
        QTest::newRow("TUNSETIFF not permitted") << "bob" << "pw" << tun.arg("Cannot ioctl TUNSETIFF tun: Operation not permitted (errno=1)")
                                                 << noTun << 1;
    }
    void endsWithoutRepeat()
    {
        QFETCH(QString, user); QFETCH(QString, password); QFETCH(QString, openvpn);
        QFETCH(QString, entry); QFETCH(int, starts);
        Client client(user, password);
        if (!openvpn.isEmpty())
            QVERIFY(client.wd.writeScript("openvpn.exe", openvpn.toUtf8()));
        if (entry.contains("config.ovpn"))
            QVERIFY(QDir(client.wd.path()).mkdir("config.ovpn"));
        for (int press = 1; press <= 2; ++press) {
            client.clickProfileAndConnect();
            if (entry.isEmpty()) {
                QCOMPARE(QByteArray(client.w->openVpnProcess()->passwordBuffer), password.toUtf8());
                client.button->click();
            }
            QTRY_VERIFY(client.state() == Disconnected && (entry.isEmpty() || client.count(entry) == press));
        }
        const auto repeated = [&] { return client.count(kStart) != 2 * starts || (!entry.isEmpty() && client.count(entry) != 2); };
        QVERIFY(!QTest::qWaitFor(repeated, 100)); // nor later
        QCOMPARE(client.count("timed out!"), 0);
    }
};

QTEST_MAIN(TestConnection)
#include "tst_connection.moc"
