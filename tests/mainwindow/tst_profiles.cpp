#include "config/profiletext.h"
#include "support/modalanswerer.h"
#include "support/testwindow.h"

#include <QtTest>
#include <QtWidgets>

using Profiles = QList<VpnServerInfo>;
Q_DECLARE_METATYPE(VpnServerInfo)

static VpnServerInfo profile(int protocol, const QString &nick, const QString &server = "s", const QString &config = "")
{
    return { protocol, nick, server, "u", "p", config, "" };
}

// The profiles in memory, in both lists and, unless told otherwise, in the file as a restart reads it.
static bool holds(const TestWindow &t, const Profiles &profiles, bool inFile = true)
{
    QStringList texts;
    for (const VpnServerInfo &info : profiles)
        texts << vpnServerInfoText(info);
    const auto listed = [&t](const char *list) { return static_cast<QStringListModel *>(t.get<QListView>(list)->model())->stringList(); };
    return listed("VpnInfoListBox") == texts && listed("VpnInfoDetailListBox") == texts && t.cfg->serverInfoList == profiles
        && (!inFile || SharedConfig(t.cfg->filePath()).serverInfoList == profiles);
}

class TestProfiles : public QObject
{
    Q_OBJECT
    TempWorkDir bundle; // "my vpn/": key files made by openssl, and each row's client.ovpn

private slots:
    void add_data()
    {
        QTest::addColumn<int>("index"); QTest::addColumn<QStringList>("fields"); // nick, server, key, user, password, file
        QTest::addColumn<Profiles>("expected"); // after clicking Add; one profile: the button is disabled
        const auto row = [](const char *name, int index, const QStringList &fields, const Profiles &added) {
            QTest::newRow(name) << index << fields << Profiles{ profile(PPTP, "old", "10.0.0.9") } + added;
        };
        const QStringList work{ "work", "vpn.example.test", "shared", "u", "p", "a.ovpn" };
        const QStringList odd{ "Zürich – 東京", " ", " ", "José", "пароль€" };
        row("l2tp, non-ascii, blanks count as filled", 0, odd, { { L2TP, odd[0], odd[1], odd[3], odd[4], "", odd[2] } });
        row("pptp drops the key", 1, work, { profile(PPTP, "work", "vpn.example.test") });
        row("openvpn drops server and key, 2 MB with CR, LF, NUL, 0xFF", 2, work,
            { profile(OpenVPN, "work", "", QByteArray("client\r\n\0\xff", 10).repeated(200000).toBase64()) });
        row("openvpn, unreadable file", 2, { "work", "", "", "u", "p", "gone.ovpn" }, { profile(OpenVPN, "work", "") });
        row("l2tp without key", 0, { "n", "s", "", "u", "p" }, {});
        row("pptp without server", 1, { "n", "", "k", "u", "p" }, {});
        row("openvpn without file", 2, { "n", "s", "k", "u", "p" }, {});
        row("without password", 2, { "n", "s", "k", "u", "", "a.ovpn" }, {});
    }
    void add()
    {
        QFETCH(int, index); QFETCH(QStringList, fields); QFETCH(Profiles, expected);
        TestWindow win("", { expected[0] });
        // The window opens on the first protocol's form, and without the check interval, which comes from the file alone.
        QVERIFY(!win.get("KeyEditBox")->isHidden() && win.get("OvpnFilePathEditBox")->isHidden() && win.get("CheckVpnHorizontalLayout_2")->isHidden());
        QVERIFY(win.wd.writeScript("a.ovpn", QByteArray::fromBase64(expected.last().ovpnConfig.toLatin1())));
        const QList<QLineEdit *> edits = win.get("AddVpnGroupBox")->findChildren<QLineEdit *>(); // in the order of fields
        auto *combo = win.get<QComboBox>("VpnProtocolComboBox");
        combo->setCurrentIndex(2); // from OpenVPN, so any switch empties the path
        for (int i = 0; i < fields.size(); ++i)
            edits[i]->setText(fields[i]);
        combo->setCurrentIndex(index);
        QString form; // server, key and file rows shown; hidden fields keep their text, the path does not
        for (const char *name : { "ServerAddressLabel", "ServerAddressEditBox", "KeyLabel", "KeyEditBox",
                                  "OvpnFilePathLabel", "OvpnFilePathEditBox", "OvpnFileBrowserButton" })
            form += win.get(name)->isHidden() ? '-' : '+';
        const QString shown = QStringList({ "++++---", "++-----", "----+++" })[index]; // L2TP, PPTP, OpenVPN
        QCOMPARE(form + edits[2]->text() + edits[5]->text(), shown + fields[2] + (index == 2 ? fields.value(5) : ""));

        QCOMPARE(win.get("VpnConnectionAddButton")->isEnabled(), expected.size() == 2);
        win.click("VpnConnectionAddButton");
        QVERIFY(holds(win, expected));
        for (int i = 0; i < 6 && expected.size() == 2; ++i) // only the key and the protocol stay for the next profile
            QCOMPARE(edits[i]->text(), i == 2 ? fields[2] : "");
        QCOMPARE(combo->currentIndex(), index);
    }

    // Edit and Delete on the second of two profiles listed alike. Edit's dialog opens on the profile's protocol; the
    // test types a new password and picks OpenVPN without a file. ok false: Cancel, or No to Delete's question.
    void change_data()
    {
        QTest::addColumn<QString>("button"); QTest::addColumn<VpnServerInfo>("stored"); QTest::addColumn<bool>("ok");
        QTest::addColumn<Profiles>("left"); // after the first
        const VpnServerInfo pptp = profile(PPTP, "b"), c = profile(PPTP, "c");
        QTest::newRow("edit OpenVPN, OK keeps the configuration") << "Edit" << profile(OpenVPN, "b", "s", "Y2xpZW50DQoA") << true
            << Profiles{ { OpenVPN, "b", "s", "u", "new", "Y2xpZW50DQoA", "" }, c };
        QTest::newRow("edit PPTP, Cancel") << "Edit" << pptp << false << Profiles{ pptp, c };
        QTest::newRow("delete, No") << "Delete" << pptp << false << Profiles{ pptp, c };
        QTest::newRow("delete, Yes") << "Delete" << pptp << true << Profiles{ c };
    }
    void change()
    {
        QFETCH(QString, button); QFETCH(VpnServerInfo, stored); QFETCH(bool, ok); QFETCH(Profiles, left);
        VpnServerInfo twin = stored;
        twin.sharedKey = "k"; // not in the lists' text
        TestWindow win("", { twin, stored, profile(PPTP, "c") });
        win.clickRow("VpnInfoDetailListBox", 1);
        QVERIFY(win.wd.writeScript("shared_config.ini", "[untouched]\n")); // so that the file shows whether the change saved
        bool opened = button == "Delete";
        if (opened)
            answerNextMessageBox(ok ? QMessageBox::Yes : QMessageBox::No);
        else
            answerNextModal([&](QWidget *dialog) {
                const auto field = [dialog](const char *name) { return dialog->findChild<QLineEdit *>(name); };
                auto *combo = dialog->findChild<QComboBox *>("VpnProtocolComboBox");
                const bool ovpn = stored.protocol == OpenVPN; // then with no file and no server row
                opened = combo->currentIndex() == (ovpn ? 2 : 1) && field("OvpnFilePathEditBox")->text().isEmpty()
                    && field("ServerAddressEditBox")->isHidden() == ovpn;
                field("PasswordEditBox")->setText("new");
                combo->setCurrentIndex(2);
                QTest::mouseClick(dialog->findChild<QPushButton *>(ok ? "OkButton" : "CancelButton"), Qt::LeftButton);
            });
        win.click("VpnConnection" + button + "Button");
        QVERIFY(opened && holds(win, Profiles{ twin } + left, ok));
        // The refreshed lists have no current row; an edit sets it again.
        const bool deleted = ok && button == "Delete";
        QCOMPARE(win.get<QListView>("VpnInfoDetailListBox")->currentIndex().row(), deleted ? -1 : 1);
        QCOMPARE(win.get("VpnConnectionDeleteButton")->isEnabled(), !deleted);
    }

    // Imported through the add form, then connected from the window's folder by the real OpenVPN up to a refused port.
    void importBundle_data()
    {
        QVERIFY(QDir(bundle.path()).mkpath("my vpn/keys") && QDir::setCurrent(bundle.filePath("my vpn")));
        QCOMPARE(QProcess::execute("sh", {"-ec", "for n in ca client; do openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes "
            "-keyout $n.key -out $n.crt -subj /CN=$n; done; openssl pkcs12 -export -in client.crt -inkey client.key -certfile ca.crt -out keys/mine.p12 "
            "-passout pass:; openssl base64 -in keys/mine.p12 -out mine.b64; { echo '-----BEGIN OpenVPN Static key V1-----'; openssl rand -hex 256; "
            "echo '-----END OpenVPN Static key V1-----'; } > ta.key"}), 0);
        // A head in the row's line ends, to a port nothing serves; {dir}: the folder above "my vpn", {name}: that file's bytes.
        const QByteArray head = "client\ndev null\nproto tcp-client\nconnect-retry-max 1\nremote 127.0.0.1 1\n";
        const auto ovpn = [&](QByteArray text) {
            text.prepend(text.contains('\r') ? QByteArray(head).replace("\n", "\r\n") : head).replace("{dir}", bundle.path().toUtf8());
            for (const QString name : {"ca.crt", "client.crt", "client.key", "ta.key", "mine.b64"})
                text.replace(('{' + name + '}').toUtf8(), TempWorkDir::readFile(name));
            return text;
        };
        QTest::addColumn<QByteArray>("config"); QTest::addColumn<QByteArray>("stored"); // PKCS#12 in lines as "openssl base64" writes
        QTest::addColumn<QString>("missing"); // the end of the message box's text; then nothing is stored
        const QByteArray keys = "<ca>\n{ca.crt}</ca>\n<cert>\n{client.crt}</cert>\n<key>\n{client.key}</key>\n";
        QTest::newRow("beside, in a subfolder, a key direction") << ovpn("ca ca.crt\npkcs12 keys/mine.p12\ntls-auth ta.key 1\n")
            << ovpn("<ca>\n{ca.crt}</ca>\n<pkcs12>\n{mine.b64}</pkcs12>\n<tls-auth>\n{ta.key}</tls-auth>\nkey-direction 1\n") << "";
        QTest::newRow("CRLF, commented options, absolute, quoted, escaped blank, comment after") << ovpn(";tls-auth gone.key 1\r\n  # secret gone.key"
            "\r\nca \"{dir}/my vpn/ca.crt\" # the CA\r\n--cert '{dir}/my vpn/client.crt'\r\nkey ../my\\ vpn/client.key\r\ntls-crypt ta.key\r\n")
            << ovpn(QByteArray(";tls-auth gone.key 1\n  # secret gone.key\n" + keys + "<tls-crypt>\n{ta.key}</tls-crypt>\n").replace("\n", "\r\n")) << "";
        QTest::newRow("missing files") << ovpn("ca ca.crt\ncert gone.crt\nkey client.key\ntls-auth gone.key 0\n") << QByteArray()
            << QString("cert: {dir}/my vpn/gone.crt\ntls-auth: {dir}/my vpn/gone.key").replace("{dir}", bundle.path());
        const QByteArray inlined = ovpn("block-outside-dns\nregister-dns\nauth-user-pass /nonexistent/login.txt\nca [inline]\n" + keys);
        QTest::newRow("inline, Windows-only options, a credentials file of its own") << inlined << inlined << "";
    }
    void importBundle()
    {
        QFETCH(QByteArray, config); QFETCH(QString, missing);
        const QString path = bundle.filePath("my vpn/client.ovpn");
        QVERIFY(bundle.writeScript("my vpn/client.ovpn", config));
        TestWindow t;
        const QList<QLineEdit *> edits = t.get("AddVpnGroupBox")->findChildren<QLineEdit *>(); // nick, server, key, user, password, file
        t.get<QComboBox>("VpnProtocolComboBox")->setCurrentIndex(2);
        edits[0]->setText("vpn"); edits[3]->setText("alice"); edits[4]->setText("pw"); edits[5]->setText(path);
        QString text;
        if (!missing.isEmpty())
            answerNextMessageBox(QMessageBox::Ok, nullptr, &text);
        t.click("VpnConnectionAddButton");
        if (!missing.isEmpty()) { // nothing saved, the form as it was
            QVERIFY2(text.endsWith(missing) && t.cfg->serverInfoList.isEmpty() && edits[5]->text() == path, qPrintable(text));
            return;
        }
        QTEST(decodeBase64(t.cfg->serverInfoList.value(0).ovpnConfig), "stored");
        const QString openvpn = QStandardPaths::findExecutable("openvpn", qEnvironmentVariable("PATH").split(':') << "/usr/sbin" << "/sbin");
        if (openvpn.isEmpty())
            QSKIP("openvpn is not installed");
        QVERIFY(QFile::link(openvpn, "openvpn.exe"));
        t.clickRow("VpnInfoListBox", 0); t.click("ConnectButton");
        QTRY_COMPARE_WITH_TIMEOUT(t.w->currentConnectionState(), int(Disconnected), 20000);
        // Only a configuration that passed the option check and whose keys loaded gets as far as connecting.
        QVERIFY2(TempWorkDir::readFile("openvpn_console.txt").contains("connect-retry-max (1) times unsuccessful"), qPrintable(t.log()));
    }
};

QTEST_MAIN(TestProfiles)
#include "tst_profiles.moc"
