#include "config/sharedconfig.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/profiletext.h"
#include "support/modalanswerer.h"
#include "support/tempworkdir.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringListModel>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

Q_DECLARE_METATYPE(VpnServerInfo)

namespace {

VpnServerInfo profile(int protocol, const QString &nick, const QString &server, const QString &user,
                      const QString &password, const QString &key = QString(), const QString &config = QString())
{
    VpnServerInfo info;
    info.protocol = protocol;
    info.nickname = nick;
    info.serverAddress = server;
    info.userName = user;
    info.password = password;
    info.sharedKey = key;
    info.ovpnConfig = config;
    return info;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList passwords(const QList<VpnServerInfo> &list)
{
    QStringList result;
    for (const VpnServerInfo &info : list)
        result << info.password;
    return result;
}

// A main window on a fresh configuration file in a temporary working folder.
struct Window
{
    explicit Window(const QList<VpnServerInfo> &profiles = {})
        : cfg(wd.filePath(QStringLiteral("shared_config.ini"))), seeded(seed(profiles)), w(nullptr, &cfg)
    {
    }
    bool seed(const QList<VpnServerInfo> &profiles)
    {
        cfg.serverInfoList = profiles;
        return cfg.save();
    }
    template <class T> T *get(const char *name) { return w.findChild<T *>(QLatin1String(name)); }
    QLineEdit *edit(const char *name) { return get<QLineEdit>(name); }
    QPushButton *button(const char *name) { return get<QPushButton>(name); }
    QListView *list(const char *name) { return get<QListView>(name); }
    QStringList texts(const char *name) { return qobject_cast<QStringListModel *>(list(name)->model())->stringList(); }
    QString iniPath() const { return cfg.filePath(); }

    void showTab(const char *tab)
    {
        get<QTabWidget>("MainTabWidget")->setCurrentWidget(get<QWidget>(tab));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
    }
    void clickRow(const char *name, int row)
    {
        QListView *view = list(name);
        const QRect rect = view->visualRect(view->model()->index(row, 0));
        QVERIFY(!rect.isEmpty());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    }
    void fillForm(int index, const QString &nick, const QString &server, const QString &key, const QString &user,
                  const QString &password, const QString &path = QString())
    {
        get<QComboBox>("VpnProtocolComboBox")->setCurrentIndex(index);
        edit("NickNameEditBox")->setText(nick);
        edit("ServerAddressEditBox")->setText(server);
        edit("KeyEditBox")->setText(key);
        edit("UserNameEditBox")->setText(user);
        edit("PasswordEditBox")->setText(password);
        edit("OvpnFilePathEditBox")->setText(path);
    }

    TempWorkDir wd;
    SharedConfig cfg;
    bool seeded;
    MainWindow w;
};

} // namespace

class TestProfiles : public QObject
{
    Q_OBJECT

private slots:
    void itemText_data();
    void itemText();
    void addButtonRule_data();
    void addButtonRule();
    void protocolSwitch_data();
    void protocolSwitch();
    void addProfile_data();
    void addProfile();
    void ovpnRoundTrip_data();
    void ovpnRoundTrip();
    void unreadableOvpnFile();
    void fileChooser();
    void textsSurviveRestart_data();
    void textsSurviveRestart();
    void clickEnablesButtons_data();
    void clickEnablesButtons();
    void deleteProfile_data();
    void deleteProfile();
    void editAccepted();
    void editDiscarded();
    void editWithoutCurrentItem();
};

void TestProfiles::itemText_data()
{
    QTest::addColumn<int>("protocol");
    QTest::addColumn<QString>("expected");
    QTest::newRow("pptp") << 1 << "home - [PPTP] - {Server : 10.0.0.1, User : bob}";
    QTest::newRow("l2tp has two blanks after the comma") << 2 << "home - [L2TP] - {Server : 10.0.0.1,  User : bob}";
    QTest::newRow("openvpn has no server part") << 0 << "home - [OpenVPN] - {User : bob}";
    QTest::newRow("unknown code reads as openvpn") << 7 << "home - [OpenVPN] - {User : bob}";
}

void TestProfiles::itemText()
{
    QFETCH(int, protocol);
    QFETCH(QString, expected);
    QCOMPARE(vpnServerInfoText(profile(protocol, "home", "10.0.0.1", "bob", "secret", "key", "Y29uZmln")), expected);
}

void TestProfiles::addButtonRule_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("fields"); // nick, server, key, user, password, file
    QTest::addColumn<bool>("enabled");
    QTest::newRow("l2tp complete") << 0 << QStringList{ "n", "s", "k", "u", "p", "" } << true;
    QTest::newRow("l2tp without key") << 0 << QStringList{ "n", "s", "", "u", "p", "" } << false;
    QTest::newRow("l2tp without server") << 0 << QStringList{ "n", "", "k", "u", "p", "" } << false;
    QTest::newRow("pptp needs no key") << 1 << QStringList{ "n", "s", "", "u", "p", "" } << true;
    QTest::newRow("pptp without server") << 1 << QStringList{ "n", "", "k", "u", "p", "" } << false;
    QTest::newRow("openvpn needs no server") << 2 << QStringList{ "n", "", "", "u", "p", "/x.ovpn" } << true;
    QTest::newRow("openvpn without file") << 2 << QStringList{ "n", "s", "k", "u", "p", "" } << false;
    QTest::newRow("without nickname") << 1 << QStringList{ "", "s", "k", "u", "p", "" } << false;
    QTest::newRow("without user name") << 1 << QStringList{ "n", "s", "k", "", "p", "" } << false;
    QTest::newRow("without password") << 2 << QStringList{ "n", "s", "k", "u", "", "/x.ovpn" } << false;
    QTest::newRow("blanks count as filled") << 0 << QStringList{ " ", " ", " ", " ", " ", "" } << true;
}

void TestProfiles::addButtonRule()
{
    QFETCH(int, index);
    QFETCH(QStringList, fields);
    QFETCH(bool, enabled);
    Window win;
    QVERIFY(!win.button("VpnConnectionAddButton")->isEnabled());
    win.fillForm(index, fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]);
    QCOMPARE(win.button("VpnConnectionAddButton")->isEnabled(), enabled);
}

void TestProfiles::protocolSwitch_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("serverRow");
    QTest::addColumn<bool>("keyRow");
    QTest::addColumn<bool>("fileRow");
    QTest::addColumn<bool>("addEnabled");
    // Every row starts from a complete OpenVPN form with a server and key typed earlier.
    QTest::newRow("to l2tp") << 0 << true << true << false << true;
    QTest::newRow("to pptp") << 1 << true << false << false << true;
    QTest::newRow("stays openvpn") << 2 << false << false << true << true;
}

void TestProfiles::protocolSwitch()
{
    QFETCH(int, index);
    QFETCH(bool, serverRow);
    QFETCH(bool, keyRow);
    QFETCH(bool, fileRow);
    QFETCH(bool, addEnabled);
    Window win;
    // The form starts on L2TP: server and key, no file row.
    QVERIFY(!win.get<QWidget>("KeyEditBox")->isHidden());
    QVERIFY(win.get<QWidget>("OvpnFilePathEditBox")->isHidden());

    win.fillForm(2, "n", "10.0.0.1", "shared", "u", "p", "/tmp/a.ovpn");
    QVERIFY(win.button("VpnConnectionAddButton")->isEnabled());
    win.get<QComboBox>("VpnProtocolComboBox")->setCurrentIndex(index);

    for (const char *name : { "ServerAddressLabel", "ServerAddressEditBox" })
        QCOMPARE(!win.get<QWidget>(name)->isHidden(), serverRow);
    for (const char *name : { "KeyLabel", "KeyEditBox" })
        QCOMPARE(!win.get<QWidget>(name)->isHidden(), keyRow);
    for (const char *name : { "OvpnFilePathLabel", "OvpnFilePathEditBox", "OvpnFileBrowserButton" })
        QCOMPARE(!win.get<QWidget>(name)->isHidden(), fileRow);

    QCOMPARE(win.edit("OvpnFilePathEditBox")->text(), fileRow ? QString("/tmp/a.ovpn") : QString());
    QCOMPARE(win.edit("ServerAddressEditBox")->text(), QString("10.0.0.1"));
    QCOMPARE(win.edit("KeyEditBox")->text(), QString("shared"));
    QCOMPARE(win.button("VpnConnectionAddButton")->isEnabled(), addEnabled);

    // Back to OpenVPN: the emptied path now blocks the add.
    win.get<QComboBox>("VpnProtocolComboBox")->setCurrentIndex(2);
    QCOMPARE(win.button("VpnConnectionAddButton")->isEnabled(), fileRow);
}

void TestProfiles::addProfile_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<VpnServerInfo>("expected");
    QTest::addColumn<QString>("text");
    // The form holds every field; only those of the protocol may be kept.
    QTest::newRow("l2tp") << 0 << profile(L2TP, "work", "vpn.example.test", "ann", "pw", "shared")
                          << "work - [L2TP] - {Server : vpn.example.test,  User : ann}";
    QTest::newRow("pptp drops the key") << 1 << profile(PPTP, "work", "vpn.example.test", "ann", "pw")
                                        << "work - [PPTP] - {Server : vpn.example.test, User : ann}";
    QTest::newRow("openvpn drops server and key")
        << 2 << profile(OpenVPN, "work", "", "ann", "pw", "", QString::fromLatin1(QByteArray("client\n").toBase64()))
        << "work - [OpenVPN] - {User : ann}";
}

void TestProfiles::addProfile()
{
    QFETCH(int, index);
    QFETCH(VpnServerInfo, expected);
    QFETCH(QString, text);
    const VpnServerInfo existing = profile(PPTP, "old", "10.0.0.9", "zed", "pw0");
    Window win({ existing });
    const QString ovpn = win.wd.filePath("a.ovpn");
    QVERIFY(writeFile(ovpn, "client\n"));

    win.fillForm(index, "work", "vpn.example.test", "shared", "ann", "pw", index == 2 ? ovpn : QString());
    QVERIFY(win.button("VpnConnectionAddButton")->isEnabled());
    QTest::mouseClick(win.button("VpnConnectionAddButton"), Qt::LeftButton);

    QCOMPARE(win.cfg.serverInfoList, QList<VpnServerInfo>({ existing, expected }));
    const QStringList texts{ vpnServerInfoText(existing), text };
    QCOMPARE(win.texts("VpnInfoListBox"), texts);
    QCOMPARE(win.texts("VpnInfoDetailListBox"), texts);
    QCOMPARE(SharedConfig(win.iniPath()).serverInfoList, win.cfg.serverInfoList);

    // The form is emptied except for the key and the protocol.
    for (const char *name : { "NickNameEditBox", "ServerAddressEditBox", "UserNameEditBox", "PasswordEditBox",
                              "OvpnFilePathEditBox" })
        QVERIFY2(win.edit(name)->text().isEmpty(), name);
    QCOMPARE(win.edit("KeyEditBox")->text(), QString("shared"));
    QCOMPARE(win.get<QComboBox>("VpnProtocolComboBox")->currentIndex(), index);
    QVERIFY(!win.button("VpnConnectionAddButton")->isEnabled());
}

void TestProfiles::ovpnRoundTrip_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    QByteArray large(2 * 1024 * 1024, Qt::Uninitialized);
    quint32 seed = 12345;
    for (char &c : large) {
        seed = seed * 1103515245u + 12345u;
        c = char(seed >> 16);
    }
    QTest::newRow("every byte value") << all;
    QTest::newRow("crlf line ends") << QByteArray("client\r\ndev tun\r\nremote 10.0.0.1 1194\r\n");
    QTest::newRow("no trailing newline") << QByteArray("client\ndev tun");
    QTest::newRow("nul byte") << QByteArray("client\n\0dev tun\n", 15);
    QTest::newRow("two megabytes") << large;
}

void TestProfiles::ovpnRoundTrip()
{
    QFETCH(QByteArray, bytes);
    Window win;
    const QString path = win.wd.filePath("server.ovpn");
    QVERIFY(writeFile(path, bytes));

    win.fillForm(2, "n", "", "", "u", "p");
    answerNextFileDialog(path);
    QTest::mouseClick(win.button("OvpnFileBrowserButton"), Qt::LeftButton);
    QCOMPARE(win.edit("OvpnFilePathEditBox")->text(), path);
    QTest::mouseClick(win.button("VpnConnectionAddButton"), Qt::LeftButton);

    const QString stored = win.cfg.serverInfoList.value(0).ovpnConfig;
    QVERIFY(!stored.contains('\n'));
    QCOMPARE(stored, loadOvpnConfigBase64(path));
    const SharedConfig reloaded(win.iniPath());
    QCOMPARE(reloaded.serverInfoList.size(), 1);
    QVERIFY(decodeBase64(reloaded.serverInfoList.at(0).ovpnConfig) == bytes);
}

void TestProfiles::unreadableOvpnFile()
{
    Window win;
    win.fillForm(2, "n", "", "", "u", "p", win.wd.filePath("gone.ovpn"));
    QTest::mouseClick(win.button("VpnConnectionAddButton"), Qt::LeftButton);
    // The profile is still added and saved, with an empty configuration.
    QCOMPARE(SharedConfig(win.iniPath()).serverInfoList, QList<VpnServerInfo>({ profile(OpenVPN, "n", "", "u", "p") }));
}

void TestProfiles::fileChooser()
{
    Window win;
    win.fillForm(2, "n", "", "", "u", "p", "/kept.ovpn");
    QString caption;
    QStringList filters;
    answerNextModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog)
            return;
        caption = dialog->windowTitle();
        filters = dialog->nameFilters();
        dialog->reject();
    });
    QTest::mouseClick(win.button("OvpnFileBrowserButton"), Qt::LeftButton);
    QCOMPARE(caption, QString("Load Ovpn File"));
    QCOMPARE(filters, QStringList{ "Ovpn Files(*.ovpn)" });
    QCOMPARE(win.edit("OvpnFilePathEditBox")->text(), QString("/kept.ovpn"));
}

void TestProfiles::textsSurviveRestart_data()
{
    QTest::addColumn<QStringList>("fields"); // nick, server, key, user, password
    QTest::newRow("commas and quotes") << QStringList{ "a, \"b\", c", "10.0.0.1, 10.0.0.2", "k,\"", "x,y", "\"q\"" };
    QTest::newRow("equals and semicolons") << QStringList{ "a=b;c", "=", ";k", "#u", "p=;=" };
    QTest::newRow("non-ascii") << QStringList{ "Zürich – 東京", "vpn.bücher.test", "ключ", "José", "пароль€" };
    QTest::newRow("blanks and backslashes") << QStringList{ "  lead and trail  ", " ", "\\\"", "\\", "C:\\p\\" };
    QTest::newRow("at signs and brackets") << QStringList{ "@Invalid()", "[settings]", "@@", "@", "%41@String(x)" };
}

void TestProfiles::textsSurviveRestart()
{
    QFETCH(QStringList, fields);
    Window win;
    win.fillForm(0, fields[0], fields[1], fields[2], fields[3], fields[4]);
    QTest::mouseClick(win.button("VpnConnectionAddButton"), Qt::LeftButton);
    const QList<VpnServerInfo> added{ profile(L2TP, fields[0], fields[1], fields[3], fields[4], fields[2]) };
    QCOMPARE(win.cfg.serverInfoList, added);
    QCOMPARE(SharedConfig(win.iniPath()).serverInfoList, added);
}

void TestProfiles::clickEnablesButtons_data()
{
    QTest::addColumn<QByteArray>("tab");
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QStringList>("buttons");
    QTest::newRow("dashboard list") << QByteArray("DashBoardTab") << QByteArray("VpnInfoListBox")
                                    << QStringList{ "ConnectButton" };
    QTest::newRow("detail list") << QByteArray("LoginTab") << QByteArray("VpnInfoDetailListBox")
                                 << QStringList{ "VpnConnectionEditButton", "VpnConnectionDeleteButton" };
}

void TestProfiles::clickEnablesButtons()
{
    QFETCH(QByteArray, tab);
    QFETCH(QByteArray, list);
    QFETCH(QStringList, buttons);
    Window win({ profile(PPTP, "a", "s", "u", "p1"), profile(PPTP, "b", "s", "u", "p2") });
    QVERIFY(win.get<QWidget>(tab.constData()));
    win.showTab(tab.constData());
    QListView *view = win.list(list.constData());

    view->setFocus();
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Down);
    QVERIFY(view->currentIndex().isValid());
    for (const QString &name : buttons)
        QVERIFY2(!win.button(name.toLatin1().constData())->isEnabled(), qPrintable(name));

    win.clickRow(list.constData(), 0);
    QCOMPARE(view->currentIndex().row(), 0);
    for (const QString &name : buttons)
        QVERIFY2(win.button(name.toLatin1().constData())->isEnabled(), qPrintable(name));
}

void TestProfiles::deleteProfile_data()
{
    QTest::addColumn<QList<VpnServerInfo>>("profiles");
    QTest::addColumn<int>("row"); // clicked row, -1 for none
    QTest::addColumn<int>("answer"); // a button, or 0 to close the box
    QTest::addColumn<QStringList>("remaining"); // passwords of the profiles left
    const VpnServerInfo a = profile(PPTP, "a", "s", "u", "pa");
    const VpnServerInfo b = profile(L2TP, "b", "s", "u", "pb", "k");
    const VpnServerInfo twin1 = profile(PPTP, "twin", "s", "u", "first");
    const VpnServerInfo twin2 = profile(PPTP, "twin", "s", "u", "second");
    QTest::newRow("yes deletes the clicked row") << QList<VpnServerInfo>{ a, b } << 0 << int(QMessageBox::Yes)
                                                 << QStringList{ "pb" };
    QTest::newRow("no keeps everything") << QList<VpnServerInfo>{ a, b } << 0 << int(QMessageBox::No)
                                         << QStringList{ "pa", "pb" };
    QTest::newRow("closing the box keeps everything") << QList<VpnServerInfo>{ a, b } << 1 << 0
                                                      << QStringList{ "pa", "pb" };
    QTest::newRow("second of two identical texts") << QList<VpnServerInfo>{ twin1, twin2 } << 1
                                                   << int(QMessageBox::Yes) << QStringList{ "first" };
    QTest::newRow("last profile") << QList<VpnServerInfo>{ a } << 0 << int(QMessageBox::Yes) << QStringList{};
    QTest::newRow("no current item removes nothing") << QList<VpnServerInfo>{ a, b } << -1 << int(QMessageBox::Yes)
                                                     << QStringList{ "pa", "pb" };
}

void TestProfiles::deleteProfile()
{
    QFETCH(QList<VpnServerInfo>, profiles);
    QFETCH(int, row);
    QFETCH(int, answer);
    QFETCH(QStringList, remaining);
    Window win(profiles);
    win.showTab("LoginTab");
    if (row >= 0) {
        win.clickRow("VpnInfoDetailListBox", row);
    } else {
        // An add resets the lists but leaves Delete enabled.
        win.clickRow("VpnInfoDetailListBox", 0);
        win.w.fillVpnInfoLists();
        QVERIFY(!win.list("VpnInfoDetailListBox")->currentIndex().isValid());
    }
    QVERIFY(win.button("VpnConnectionDeleteButton")->isEnabled());
    // Anything the window writes replaces this marker.
    QVERIFY(writeFile(win.iniPath(), "marker"));

    QString title;
    QString text;
    if (answer)
        answerNextMessageBox(QMessageBox::StandardButton(answer), &title, &text);
    else
        answerNextModal([&](QWidget *modal) {
            title = modal->windowTitle();
            modal->close();
        });
    QTest::mouseClick(win.button("VpnConnectionDeleteButton"), Qt::LeftButton);
    QCOMPARE(title, QString("Orvi - Dudaru"));
    if (answer)
        QCOMPARE(text, QString("Do you want to delete this VPN information?"));

    QCOMPARE(passwords(win.cfg.serverInfoList), remaining);
    QStringList texts;
    for (const VpnServerInfo &info : qAsConst(win.cfg.serverInfoList))
        texts << vpnServerInfoText(info);
    QCOMPARE(win.texts("VpnInfoListBox"), texts);
    QCOMPARE(win.texts("VpnInfoDetailListBox"), texts);

    if (answer != QMessageBox::Yes) {
        QCOMPARE(TempWorkDir::readFile(win.iniPath()), QByteArray("marker"));
        QVERIFY(win.button("VpnConnectionDeleteButton")->isEnabled());
        return;
    }
    QVERIFY(TempWorkDir::readFile(win.iniPath()) != "marker");
    QCOMPARE(passwords(SharedConfig(win.iniPath()).serverInfoList), remaining);
    QCOMPARE(TempWorkDir::readFile(win.iniPath()).contains("vpn-server-info"), !remaining.isEmpty());
    QVERIFY(!win.button("VpnConnectionEditButton")->isEnabled());
    QVERIFY(!win.button("VpnConnectionDeleteButton")->isEnabled());
    QVERIFY(!win.list("VpnInfoDetailListBox")->selectionModel()->hasSelection());
}

void TestProfiles::editAccepted()
{
    const QList<VpnServerInfo> profiles{ profile(PPTP, "a", "s", "u", "pa"), profile(PPTP, "b", "s", "u", "pb"),
                                         profile(PPTP, "c", "s", "u", "pc") };
    Window win(profiles);
    win.showTab("LoginTab");
    win.clickRow("VpnInfoDetailListBox", 1);

    answerNextModal([](QWidget *modal) {
        modal->findChild<QComboBox *>("VpnProtocolComboBox")->setCurrentIndex(0);
        modal->findChild<QLineEdit *>("NickNameEditBox")->setText("renamed");
        modal->findChild<QLineEdit *>("KeyEditBox")->setText("newkey");
        QTest::mouseClick(modal->findChild<QPushButton *>("OkButton"), Qt::LeftButton);
    });
    QTest::mouseClick(win.button("VpnConnectionEditButton"), Qt::LeftButton);

    QList<VpnServerInfo> expected = profiles;
    expected[1] = profile(L2TP, "renamed", "s", "u", "pb", "newkey");
    QCOMPARE(win.cfg.serverInfoList, expected);
    QCOMPARE(SharedConfig(win.iniPath()).serverInfoList, expected);
    const QString text = "renamed - [L2TP] - {Server : s,  User : u}";
    QCOMPARE(win.texts("VpnInfoListBox").value(1), text);
    QCOMPARE(win.texts("VpnInfoDetailListBox"), win.texts("VpnInfoListBox"));
    QCOMPARE(win.list("VpnInfoDetailListBox")->currentIndex().row(), 1);
}

void TestProfiles::editDiscarded()
{
    const QList<VpnServerInfo> profiles{ profile(L2TP, "a", "s", "u", "pa", "k"),
                                         profile(OpenVPN, "b", "", "u", "pb", "", "Y2xpZW50Cg==") };
    Window win(profiles);
    win.showTab("LoginTab");
    win.clickRow("VpnInfoDetailListBox", 1);
    const QStringList texts = win.texts("VpnInfoDetailListBox");
    QVERIFY(writeFile(win.iniPath(), "marker"));

    bool opened = false;
    answerNextModal([&](QWidget *modal) {
        opened = qobject_cast<QDialog *>(modal) != nullptr;
        modal->findChild<QLineEdit *>("NickNameEditBox")->setText("changed");
        QTest::mouseClick(modal->findChild<QPushButton *>("CancelButton"), Qt::LeftButton);
    });
    QListView *view = win.list("VpnInfoDetailListBox");
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(1, 0)).center());

    QVERIFY(opened);
    QCOMPARE(win.cfg.serverInfoList, profiles);
    QCOMPARE(win.texts("VpnInfoListBox"), texts);
    QCOMPARE(win.texts("VpnInfoDetailListBox"), texts);
    QCOMPARE(TempWorkDir::readFile(win.iniPath()), QByteArray("marker"));
}

void TestProfiles::editWithoutCurrentItem()
{
    Window win({ profile(PPTP, "a", "s", "u", "pa") });
    win.showTab("LoginTab");
    win.clickRow("VpnInfoDetailListBox", 0);
    win.w.fillVpnInfoLists(); // as after an add: Edit stays enabled, no current item
    QVERIFY(win.button("VpnConnectionEditButton")->isEnabled());

    QWidget *modal = nullptr;
    QTimer::singleShot(0, [&] {
        modal = QApplication::activeModalWidget();
        if (modal)
            modal->close();
    });
    QTest::mouseClick(win.button("VpnConnectionEditButton"), Qt::LeftButton);
    QCoreApplication::processEvents();
    QVERIFY(!modal);
}

QTEST_MAIN(TestProfiles)
#include "tst_profiles.moc"
