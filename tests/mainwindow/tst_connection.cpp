#include "config/sharedconfig.h"
#include "engine/openvpn/cvpnproc.h"
#include "mainwindow/mainwindow.h"
#include "support/tempworkdir.h"

#include <QAction>
#include <QFile>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QLabel>
#include <QtTest>

#include <memory>

namespace {

const QRegularExpression kStamp(QStringLiteral("\\[\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\] "));

// A fake OpenVPN that connects after a short pause and then stays up.
const QByteArray kConnectingScript = "#!/bin/sh\n"
                                     "echo 'OpenVPN 2.6 starting'\n"
                                     "sleep 0.3\n"
                                     "echo 'Initialization Sequence Completed'\n"
                                     "exec sleep 30\n";

// Connects, then drops the first time it runs; later runs stay up.
const QByteArray kDroppingScript = "#!/bin/sh\n"
                                   "echo 'Initialization Sequence Completed'\n"
                                   "if [ -e dropped-once ]; then exec sleep 30; fi\n"
                                   "touch dropped-once\n"
                                   "sleep 0.5\n"
                                   "exit 0\n";

// Never gets anywhere.
const QByteArray kSilentScript = "#!/bin/sh\nexec sleep 30\n";

QString logWithoutStamps(const QString &log)
{
    return QString(log).remove(kStamp);
}

QByteArray base64(const QByteArray &bytes)
{
    return bytes.toBase64();
}

struct Client
{
    Client(const VpnServerInfo &profile, bool redial = false)
        : config(wd.filePath(QStringLiteral("shared_config.ini")))
    {
        config.redialAutomatically = redial;
        config.serverInfoList.append(profile);
        window = std::make_unique<MainWindow>(nullptr, &config);
        window->show();
        list = window->findChild<QListView *>(QStringLiteral("VpnInfoListBox"));
        button = window->findChild<QPushButton *>(QStringLiteral("ConnectButton"));
        log = window->findChild<QPlainTextEdit *>(QStringLiteral("VpnLogEditBox"));
    }

    // The user clicks the first profile on the dashboard, then Connect.
    void pressConnectOnFirstProfile()
    {
        const QModelIndex first = list->model()->index(0, 0);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(first).center());
        list->setCurrentIndex(first);
        QVERIFY(button->isEnabled());
        button->click();
    }

    int logCount(const QString &text) const { return log->toPlainText().count(text); }

    QStringList trayTexts() const
    {
        QStringList texts;
        for (QAction *action : window->systemTrayMenu()->actions())
            texts << action->text();
        return texts;
    }

    TempWorkDir wd;
    SharedConfig config;
    std::unique_ptr<MainWindow> window;
    QListView *list = nullptr;
    QPushButton *button = nullptr;
    QPlainTextEdit *log = nullptr;
};

VpnServerInfo openVpnProfile(const QString &user = QStringLiteral("bob"), const QString &password = QStringLiteral("pw"))
{
    VpnServerInfo info;
    info.protocol = OpenVPN;
    info.nickname = QStringLiteral("home");
    info.userName = user;
    info.password = password;
    info.ovpnConfig = QString::fromLatin1(base64("client\r\nremote 127.0.0.1 1194\r\n"));
    return info;
}

QImage trayImage(const MainWindow &w)
{
    return w.systemTrayIcon()->icon().pixmap(32, 32).toImage();
}

QImage resourceImage(const char *name)
{
    const QImage image = QIcon(QString::fromLatin1(name)).pixmap(32, 32).toImage();
    if (image.isNull())
        qFatal("missing resource %s", name);
    return image;
}

} // namespace

class TestConnection : public QObject
{
    Q_OBJECT

private slots:
    void formatDuration_data();
    void formatDuration();
    void appendLog_data();
    void appendLog();
    void appendLogStampsEveryEntry();
    void connectAndDisconnectThroughTheWindow();
    void failedStartsAreRepeatedThenStop();
    void pressDuringConnectingStops();
    void refusedCredentials_data();
    void refusedCredentials();
    void unwritableConfigIsRefused();
    void configFileHoldsTheProfileBytes();
    void redialAfterDrop_data();
    void redialAfterDrop();
};

void TestConnection::formatDuration_data()
{
    QTest::addColumn<uint>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0u << "00 : 00 : 00";
    QTest::newRow("59 seconds") << 59u << "00 : 00 : 59";
    QTest::newRow("one hour") << 3600u << "01 : 00 : 00";
    QTest::newRow("last second of a day") << 86399u << "23 : 59 : 59";
    QTest::newRow("a day and an hour") << 90000u << "25 : 00 : 00";
    QTest::newRow("hundred hours") << 360000u << "100 : 00 : 00";
    QTest::newRow("mixed") << 3723u << "01 : 02 : 03";
}

void TestConnection::formatDuration()
{
    QFETCH(uint, seconds);
    QFETCH(QString, text);
    QCOMPARE(::formatDuration(seconds), text);
}

void TestConnection::appendLog_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<bool>>("blankLines");
    QTest::addColumn<QString>("log");

    QTest::newRow("first entry has no separator") << QStringList{ "one" } << QList<bool>{ true } << "one";
    QTest::newRow("newest on top") << QStringList{ "one", "two" } << QList<bool>{ false, false } << "two\none";
    QTest::newRow("blank line after a banner") << QStringList{ "one", "banner" } << QList<bool>{ false, true }
                                               << "banner\n\none";
    QTest::newRow("text is trimmed") << QStringList{ "  \tpadded \n" } << QList<bool>{ false } << "padded";
    QTest::newRow("blank text adds nothing") << QStringList{ "one", " \n\t ", "" } << QList<bool>{ false, true, false }
                                             << "one";
    QTest::newRow("chunk of several lines") << QStringList{ "a", "line 1\r\nline 2\n" } << QList<bool>{ false, false }
                                            << "line 1\nline 2\na";
}

void TestConnection::appendLog()
{
    QFETCH(QStringList, texts);
    QFETCH(QList<bool>, blankLines);
    QFETCH(QString, log);

    Client client(openVpnProfile());
    for (int i = 0; i < texts.size(); ++i)
        client.window->appendLog(texts.at(i), blankLines.at(i));
    QCOMPARE(logWithoutStamps(client.log->toPlainText()), log);
}

void TestConnection::appendLogStampsEveryEntry()
{
    Client client(openVpnProfile());
    client.window->appendLog(QStringLiteral("older"), false);
    client.window->appendLog(QStringLiteral("newer"), true);
    const QStringList lines = client.log->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 3);
    const QRegularExpression entry(QStringLiteral("^\\[(\\d{4})-(\\d{2})-(\\d{2}) \\d{2}:\\d{2}:\\d{2}\\] (newer|older)$"));
    QVERIFY2(entry.match(lines.at(0)).hasMatch(), qPrintable(lines.at(0)));
    QVERIFY(lines.at(1).isEmpty());
    QVERIFY2(entry.match(lines.at(2)).hasMatch(), qPrintable(lines.at(2)));
    QCOMPARE(entry.match(lines.at(0)).captured(1).toInt(), QDate::currentDate().year());
}

void TestConnection::connectAndDisconnectThroughTheWindow()
{
    Client client(openVpnProfile());
    QVERIFY(client.wd.writeScript(QStringLiteral("openvpn.exe"), kConnectingScript));
    QCOMPARE(client.trayTexts(), (QStringList{ "Open", "About", "Quit" }));
    QCOMPARE(trayImage(*client.window), resourceImage(":/icons/res/disconnected_tray.png"));

    client.pressConnectOnFirstProfile();
    QCOMPARE(client.button->text(), QStringLiteral("Connecting"));
    QVERIFY(!client.list->isEnabled());
    QVERIFY(!client.window->findChild<QWidget *>(QStringLiteral("LoginTab"))->isEnabled());
    QCOMPARE(trayImage(*client.window), resourceImage(":/icons/res/disconnected_tray.png"));
    QCOMPARE(client.trayTexts(), (QStringList{ "Open", "About", "Quit" }));

    QTRY_COMPARE_WITH_TIMEOUT(client.button->text(), QStringLiteral("Connected"), 10000);
    QCOMPARE(client.window->currentConnectionState(), int(Connected));
    QCOMPARE(trayImage(*client.window), resourceImage(":/icons/res/connecting_tray.png"));
    QCOMPARE(client.trayTexts(), (QStringList{ "Disconnect VPN", "Open", "About", "Quit" }));
    QVERIFY(!client.list->isEnabled());
    auto *duration = client.window->findChild<QLabel *>(QStringLiteral("ConnectedTimeLabel"));
    QTRY_COMPARE_WITH_TIMEOUT(duration->text(), QStringLiteral("00 : 00 : 01"), 5000);
    QCOMPARE(client.logCount(QStringLiteral("------------ OpenVPN Start ------------")), 1);
    QVERIFY(client.log->toPlainText().contains(QStringLiteral("Initialization Sequence Completed")));

    client.window->systemTrayMenu()->actions().first()->trigger();
    QCOMPARE(client.button->text(), QStringLiteral("Connect"));
    QCOMPARE(client.window->currentConnectionState(), int(Disconnected));
    QCOMPARE(client.trayTexts(), (QStringList{ "Open", "About", "Quit" }));
    QCOMPARE(trayImage(*client.window), resourceImage(":/icons/res/disconnected_tray.png"));
    QVERIFY(client.list->isEnabled());
    QVERIFY(duration->text() != QStringLiteral("00 : 00 : 00")); // keeps its last value
    // CVpnProc's own stop line, then the controller's.
    QCOMPARE(client.logCount(QStringLiteral("------------ OpenVPN Stop ------------")), 2);
}

void TestConnection::failedStartsAreRepeatedThenStop()
{
    Client client(openVpnProfile()); // no openvpn.exe: every start fails at once with 204
    client.pressConnectOnFirstProfile();
    QTRY_VERIFY_WITH_TIMEOUT(client.log->toPlainText().contains(QStringLiteral("no further attempt")), 5000);

    QCOMPARE(client.logCount(QStringLiteral("------------ OpenVPN Start ------------")), 3);
    QCOMPARE(client.logCount(QStringLiteral("------------ OpenVPN Stop ------------Failed to launch vpn service! = 204")), 3);
    QCOMPARE(client.window->currentConnectionState(), int(Disconnected));
    QCOMPARE(client.button->text(), QStringLiteral("Connect"));
    QVERIFY(client.list->isEnabled());

    // A press of Connect starts afresh, with a new allowance of attempts.
    client.button->click();
    QTRY_COMPARE_WITH_TIMEOUT(client.logCount(QStringLiteral("no further attempt")), 2, 5000);
    QCOMPARE(client.logCount(QStringLiteral("------------ OpenVPN Start ------------")), 6);
}

void TestConnection::pressDuringConnectingStops()
{
    Client client(openVpnProfile());
    QVERIFY(client.wd.writeScript(QStringLiteral("openvpn.exe"), kSilentScript));
    client.pressConnectOnFirstProfile();
    QCOMPARE(client.window->currentConnectionState(), int(Connecting));

    client.button->click();
    QCOMPARE(client.window->currentConnectionState(), int(Disconnected));
    QCOMPARE(client.button->text(), QStringLiteral("Connect"));
    QTest::qWait(100); // give a wrongly scheduled repeat the chance to show
    QCOMPARE(client.logCount(QStringLiteral("------------ OpenVPN Start ------------")), 1);
    QCOMPARE(client.window->currentConnectionState(), int(Disconnected));
}

void TestConnection::refusedCredentials_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("entry");

    const QString fits49 = QString(49, QLatin1Char('u'));
    QTest::newRow("user name of 50 bytes") << QString(50, QLatin1Char('u')) << "pw"
                                           << "OpenVPN was not started: the user name is longer than 49 bytes.";
    QTest::newRow("password of 25 two-byte characters")
        << "bob" << QString(25, QChar(0xe9)) << "OpenVPN was not started: the password is longer than 49 bytes.";
    QTest::newRow("line break in the user name") << "bob\nroot" << "pw"
                                                 << "OpenVPN was not started: the user name holds a line break.";
    QTest::newRow("carriage return in the password")
        << "bob" << "pw\rx" << "OpenVPN was not started: the password holds a line break.";
    QTest::newRow("49 bytes fit") << fits49 << fits49 << QString();
}

void TestConnection::refusedCredentials()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, entry);

    Client client(openVpnProfile(user, password));
    QVERIFY(client.wd.writeScript(QStringLiteral("openvpn.exe"), kSilentScript));
    client.pressConnectOnFirstProfile();

    if (entry.isEmpty()) {
        QCOMPARE(client.window->currentConnectionState(), int(Connecting));
        QCOMPARE(QByteArray(client.window->openVpnProcess()->userNameBuffer), user.toUtf8());
        QCOMPARE(QByteArray(client.window->openVpnProcess()->passwordBuffer), password.toUtf8());
        return;
    }
    QVERIFY2(client.log->toPlainText().contains(entry), qPrintable(client.log->toPlainText()));
    QCOMPARE(client.window->currentConnectionState(), int(Disconnected));
    QCOMPARE(client.button->text(), QStringLiteral("Connect"));
    QTest::qWait(50); // a refused start is never repeated
    QCOMPARE(client.logCount(entry), 1);
    QCOMPARE(client.logCount(QStringLiteral("------------ OpenVPN Start ------------")), 0);
}

void TestConnection::unwritableConfigIsRefused()
{
    Client client(openVpnProfile());
    QVERIFY(client.wd.writeScript(QStringLiteral("openvpn.exe"), kSilentScript));
    QVERIFY(QDir(client.wd.path()).mkdir(QStringLiteral("config.ovpn"))); // a folder cannot be opened for writing
    client.pressConnectOnFirstProfile();

    QVERIFY(client.log->toPlainText().contains(QStringLiteral("OpenVPN was not started: config.ovpn could not be written")));
    QCOMPARE(client.window->currentConnectionState(), int(Disconnected));
    QCOMPARE(client.logCount(QStringLiteral("------------ OpenVPN Start ------------")), 0);
}

void TestConnection::configFileHoldsTheProfileBytes()
{
    QByteArray bytes("client\r\n\0binary\xff\xfe", 18);
    VpnServerInfo profile = openVpnProfile();
    profile.ovpnConfig = QString::fromLatin1(bytes.toBase64());
    Client client(profile);
    QVERIFY(client.wd.writeScript(QStringLiteral("openvpn.exe"), kSilentScript));
    QFile previous(client.wd.filePath(QStringLiteral("config.ovpn")));
    QVERIFY(previous.open(QIODevice::WriteOnly));
    previous.write(QByteArray(4096, 'x')); // a longer file from an earlier profile is replaced, not overlaid
    previous.close();

    client.pressConnectOnFirstProfile();
    QCOMPARE(TempWorkDir::readFile(client.wd.filePath(QStringLiteral("config.ovpn"))), bytes);
}

void TestConnection::redialAfterDrop_data()
{
    QTest::addColumn<bool>("redial");
    QTest::newRow("redial off") << false;
    QTest::newRow("redial on") << true;
}

void TestConnection::redialAfterDrop()
{
    QFETCH(bool, redial);

    Client client(openVpnProfile(), redial);
    QVERIFY(client.wd.writeScript(QStringLiteral("openvpn.exe"), kDroppingScript));
    client.pressConnectOnFirstProfile();
    QTRY_COMPARE_WITH_TIMEOUT(client.window->currentConnectionState(), int(Connected), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(client.wd.filePath(QStringLiteral("dropped-once"))), 5000);

    if (redial) {
        QTRY_COMPARE_WITH_TIMEOUT(client.logCount(QStringLiteral("------------ OpenVPN Start ------------")), 2, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(client.window->currentConnectionState(), int(Connected), 10000);
        // The user's own disconnect never redials.
        client.button->click();
        QCOMPARE(client.window->currentConnectionState(), int(Disconnected));
        QTest::qWait(100);
        QCOMPARE(client.logCount(QStringLiteral("------------ OpenVPN Start ------------")), 2);
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(client.window->currentConnectionState(), int(Disconnected), 10000);
        QTest::qWait(100);
        QCOMPARE(client.logCount(QStringLiteral("------------ OpenVPN Start ------------")), 1);
        QCOMPARE(client.button->text(), QStringLiteral("Connect"));
    }
}

QTEST_MAIN(TestConnection)
#include "tst_connection.moc"
