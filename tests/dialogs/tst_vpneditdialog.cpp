#include "config/vpnserverinfo.h"
#include "dialogs/vpneditdialog.h"
#include "mainwindow/profiletext.h"
#include "support/modalanswerer.h"
#include "support/tempworkdir.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

Q_DECLARE_METATYPE(VpnServerInfo)

namespace {

VpnServerInfo profile(int protocol, const QString &server, const QString &key, const QString &config)
{
    VpnServerInfo info;
    info.protocol = protocol;
    info.nickname = QStringLiteral("home");
    info.serverAddress = server;
    info.userName = QStringLiteral("bob");
    info.password = QStringLiteral("secret");
    info.sharedKey = key;
    info.ovpnConfig = config;
    return info;
}

template <class T> T *child(VpnEditDialog &dialog, const char *name)
{
    return dialog.findChild<T *>(QLatin1String(name));
}

QLineEdit *edit(VpnEditDialog &dialog, const char *name)
{
    return child<QLineEdit>(dialog, name);
}

const QString kStored = QString::fromLatin1(QByteArray("client\r\n\0remote 10.0.0.1", 24).toBase64());

} // namespace

class TestVpnEditDialog : public QObject
{
    Q_OBJECT

private slots:
    void opens_data();
    void opens();
    void okRule_data();
    void okRule();
    void accept_data();
    void accept();
    void fileChooser();
    void endsRejected_data();
    void endsRejected();
};

void TestVpnEditDialog::opens_data()
{
    QTest::addColumn<VpnServerInfo>("info");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("serverRow");
    QTest::addColumn<bool>("keyRow");
    QTest::addColumn<bool>("fileRow");
    QTest::newRow("openvpn hides the server and stored file")
        << profile(OpenVPN, "10.0.0.1", "", kStored) << 2 << "" << false << false << true;
    QTest::newRow("pptp") << profile(PPTP, "10.0.0.1", "", "") << 1 << "10.0.0.1" << true << false << false;
    QTest::newRow("l2tp") << profile(L2TP, "10.0.0.1", "k", "") << 0 << "10.0.0.1" << true << true << false;
}

void TestVpnEditDialog::opens()
{
    QFETCH(VpnServerInfo, info);
    QFETCH(int, index);
    QFETCH(QString, server);
    QFETCH(bool, serverRow);
    QFETCH(bool, keyRow);
    QFETCH(bool, fileRow);
    VpnEditDialog dialog(nullptr, info);
    QCOMPARE(child<QComboBox>(dialog, "VpnProtocolComboBox")->currentIndex(), index);
    QCOMPARE(edit(dialog, "ServerAddressEditBox")->text(), server);
    QCOMPARE(edit(dialog, "NickNameEditBox")->text(), info.nickname);
    QCOMPARE(edit(dialog, "PasswordEditBox")->text(), info.password);
    QCOMPARE(edit(dialog, "KeyEditBox")->text(), info.sharedKey);
    QVERIFY(edit(dialog, "OvpnFilePathEditBox")->text().isEmpty());
    QCOMPARE(!child<QWidget>(dialog, "ServerAddressLabel")->isHidden(), serverRow);
    QCOMPARE(!child<QWidget>(dialog, "ServerAddressEditBox")->isHidden(), serverRow);
    QCOMPARE(!child<QWidget>(dialog, "KeyLabel")->isHidden(), keyRow);
    QCOMPARE(!child<QWidget>(dialog, "KeyEditBox")->isHidden(), keyRow);
    QCOMPARE(!child<QWidget>(dialog, "OvpnFilePathLabel")->isHidden(), fileRow);
    QCOMPARE(!child<QWidget>(dialog, "OvpnFileBrowserButton")->isHidden(), fileRow);
    QVERIFY(child<QPushButton>(dialog, "OkButton")->isEnabled());
    QCOMPARE(dialog.serverInfo(), info);
}

void TestVpnEditDialog::okRule_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("fields"); // nick, server, key, user, password
    QTest::addColumn<bool>("enabled");
    QTest::newRow("openvpn needs no file and no server") << 2 << QStringList{ "n", "", "", "u", "p" } << true;
    QTest::newRow("l2tp key emptied") << 0 << QStringList{ "n", "s", "", "u", "p" } << false;
    QTest::newRow("pptp needs no key") << 1 << QStringList{ "n", "s", "", "u", "p" } << true;
    QTest::newRow("pptp without server") << 1 << QStringList{ "n", "", "k", "u", "p" } << false;
    QTest::newRow("without nickname") << 2 << QStringList{ "", "s", "k", "u", "p" } << false;
    QTest::newRow("without password") << 0 << QStringList{ "n", "s", "k", "u", "" } << false;
    QTest::newRow("blanks count as filled") << 0 << QStringList{ " ", " ", " ", " ", " " } << true;
}

void TestVpnEditDialog::okRule()
{
    QFETCH(int, index);
    QFETCH(QStringList, fields);
    QFETCH(bool, enabled);
    VpnEditDialog dialog(nullptr, profile(L2TP, "s", "k", ""));
    child<QComboBox>(dialog, "VpnProtocolComboBox")->setCurrentIndex(index);
    const char *names[] = { "NickNameEditBox", "ServerAddressEditBox", "KeyEditBox", "UserNameEditBox",
                            "PasswordEditBox" };
    // Typed key by key, so the rule runs on every change as it does for the user.
    for (int i = 0; i < 5; ++i) {
        QLineEdit *field = edit(dialog, names[i]);
        field->clear();
        QTest::keyClicks(field, fields[i]);
    }
    QCOMPARE(child<QPushButton>(dialog, "OkButton")->isEnabled(), enabled);
}

void TestVpnEditDialog::accept_data()
{
    QTest::addColumn<VpnServerInfo>("info");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("file"); // "" none, "new.ovpn" a real file, "empty.ovpn", "gone.ovpn"
    QTest::addColumn<VpnServerInfo>("expected");
    const QString fresh = QString::fromLatin1(QByteArray("remote 10.0.0.2\n").toBase64());
    QTest::newRow("unchanged openvpn keeps its configuration")
        << profile(OpenVPN, "", "", kStored) << 2 << "" << profile(OpenVPN, "", "", kStored);
    QTest::newRow("openvpn with a new file") << profile(OpenVPN, "", "", kStored) << 2 << "new.ovpn"
                                             << profile(OpenVPN, "", "", fresh);
    QTest::newRow("openvpn with an empty file") << profile(OpenVPN, "", "", kStored) << 2 << "empty.ovpn"
                                                << profile(OpenVPN, "", "", kStored);
    QTest::newRow("openvpn with a missing file") << profile(OpenVPN, "", "", kStored) << 2 << "gone.ovpn"
                                                 << profile(OpenVPN, "", "", kStored);
    QTest::newRow("pptp to openvpn keeps what was stored")
        << profile(PPTP, "10.0.0.1", "", "") << 2 << "" << profile(OpenVPN, "10.0.0.1", "", "");
    QTest::newRow("l2tp to pptp keeps the key") << profile(L2TP, "10.0.0.1", "k", "") << 1 << ""
                                                << profile(PPTP, "10.0.0.1", "k", "");
    QTest::newRow("openvpn to pptp keeps the configuration")
        << profile(OpenVPN, "", "", kStored) << 1 << "" << profile(PPTP, "10.9.9.9", "", kStored);
    QTest::newRow("pptp to l2tp takes the key") << profile(PPTP, "10.0.0.1", "", "") << 0 << ""
                                                << profile(L2TP, "10.0.0.1", "newkey", "");
}

void TestVpnEditDialog::accept()
{
    QFETCH(VpnServerInfo, info);
    QFETCH(int, index);
    QFETCH(QString, file);
    QFETCH(VpnServerInfo, expected);
    TempWorkDir wd;
    QFile fresh(wd.filePath("new.ovpn"));
    QVERIFY(fresh.open(QIODevice::WriteOnly) && fresh.write("remote 10.0.0.2\n") > 0);
    fresh.close();
    QFile empty(wd.filePath("empty.ovpn"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();

    VpnEditDialog dialog(nullptr, info);
    child<QComboBox>(dialog, "VpnProtocolComboBox")->setCurrentIndex(index);
    if (index == 0)
        edit(dialog, "KeyEditBox")->setText("newkey");
    if (index != 2 && edit(dialog, "ServerAddressEditBox")->text().isEmpty())
        edit(dialog, "ServerAddressEditBox")->setText("10.9.9.9");
    if (!file.isEmpty())
        edit(dialog, "OvpnFilePathEditBox")->setText(wd.filePath(file));
    QVERIFY(child<QPushButton>(dialog, "OkButton")->isEnabled());
    QTest::mouseClick(child<QPushButton>(dialog, "OkButton"), Qt::LeftButton);

    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.serverInfo(), expected);
}

void TestVpnEditDialog::fileChooser()
{
    TempWorkDir wd;
    QFile file(wd.filePath("chosen.ovpn"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("client\r\n") > 0);
    file.close();

    VpnEditDialog dialog(nullptr, profile(OpenVPN, "", "", kStored));
    answerNextFileDialog(file.fileName());
    QTest::mouseClick(child<QPushButton>(dialog, "OvpnFileBrowserButton"), Qt::LeftButton);
    QCOMPARE(edit(dialog, "OvpnFilePathEditBox")->text(), file.fileName());
    QTest::mouseClick(child<QPushButton>(dialog, "OkButton"), Qt::LeftButton);
    QCOMPARE(dialog.serverInfo().ovpnConfig, QString::fromLatin1(QByteArray("client\r\n").toBase64()));
}

void TestVpnEditDialog::endsRejected_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("result");
    QTest::newRow("cancel button") << "cancel" << int(QDialog::Rejected);
    QTest::newRow("window closed") << "close" << int(QDialog::Rejected);
    QTest::newRow("escape key") << "escape" << int(QDialog::Rejected);
    QTest::newRow("enter presses ok") << "enter" << int(QDialog::Accepted);
}

void TestVpnEditDialog::endsRejected()
{
    QFETCH(QString, how);
    QFETCH(int, result);
    VpnEditDialog dialog(nullptr, profile(PPTP, "10.0.0.1", "", ""));
    answerNextModal([how](QWidget *modal) {
        modal->findChild<QLineEdit *>("NickNameEditBox")->setText("changed");
        if (how == "cancel")
            QTest::mouseClick(modal->findChild<QPushButton *>("CancelButton"), Qt::LeftButton);
        else if (how == "close")
            modal->close();
        else
            QTest::keyClick(modal, how == "escape" ? Qt::Key_Escape : Qt::Key_Return);
    });
    QCOMPARE(dialog.exec(), result);
    QCOMPARE(dialog.serverInfo().nickname, QString(result == QDialog::Accepted ? "changed" : "home"));
}

QTEST_MAIN(TestVpnEditDialog)
#include "tst_vpneditdialog.moc"
