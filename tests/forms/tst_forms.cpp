#include "ui_mainwindow.h"
#include "ui_vpneditdialog.h"

#include <QtTest>

class TestForms : public QObject
{
    Q_OBJECT
    QMainWindow m_window;
    QDialog m_dialog;

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(resources); // the images sit in the static client library, linked in only when named
        Ui_MainWindow().setupUi(&m_window);
        Ui_VpnEditDialog().setupUi(&m_dialog);
    }

    void windows()
    {
        QCOMPARE(m_window.windowTitle() + '|' + m_dialog.windowTitle(), "Orvi - Dudaru|Edit VPN Connection");
        QCOMPARE(m_window.minimumSize(), QSize(700, 601)); QCOMPARE(m_window.maximumSize(), QSize(700, 800));
        auto tabs = m_window.findChild<QTabWidget *>();
        QCOMPARE(QStringList({tabs->tabText(0), tabs->tabText(1), tabs->tabText(2), tabs->tabText(3)}).join('|'),
                 "DashBoard|VPN Login Details|DNS Protection|Settings");
        for (QComboBox *combo : {m_window.findChild<QComboBox *>(), m_dialog.findChild<QComboBox *>()})
            QCOMPARE(combo->itemText(0) + '|' + combo->itemText(1) + '|' + combo->itemText(2), "L2TP|PPTP|OpenVPN");

        QCOMPARE(m_dialog.windowModality(), Qt::ApplicationModal);
        QCOMPARE(m_dialog.minimumSize(), QSize(360, 270)); QCOMPARE(m_dialog.maximumSize(), QSize(360, 270));
        QStringList tabOrder; // Tab walks the focus chain, passing over widgets that take no keyboard focus
        for (QWidget *w = m_dialog.nextInFocusChain(); w != &m_dialog; w = w->nextInFocusChain())
            tabOrder << (w->focusPolicy() & Qt::TabFocus ? w->objectName() : QString());
        QCOMPARE(tabOrder.join(' ').simplified(), "VpnProtocolComboBox NickNameEditBox ServerAddressEditBox KeyEditBox "
                                                  "UserNameEditBox PasswordEditBox OvpnFilePathEditBox "
                                                  "OvpnFileBrowserButton OkButton CancelButton");

        for (const auto &[file, size] : QList<QPair<QString, QSize>>{{"banner.png", {700, 155}}, {"icon.ico", {32, 32}},
                                          {"connecting_tray.png", {64, 64}}, {"disconnected_tray.png", {64, 64}}})
            QCOMPARE(QPixmap(":/icons/res/" + file).size(), size);
    }

    void widgets_data()
    {
        QTest::addColumn<QString>("place");  // class and parent
        QTest::addColumn<QString>("props");  // "property=value;..." that the window relies on
        QTest::addColumn<QRect>("geometry"); // null when a layout places the widget
        const char *form = "MainWindow";
        auto row = [&](const QString &name, const char *cls, const char *parent, const QString &props, QRect at = {}) {
            QTest::addRow("%s/%s", form, qPrintable(name)) << cls + QString(" in ") + parent << props << at;
        };
        // The profile fields that the login tab's add form and the edit dialog share.
        const char *add = "verticalLayoutWidget";
        auto profileFields = [&](const QString &protocolText, const QString &passwordProps, const QString &file) {
            row("SelectProtocolLabel", "QLabel", add, "text=" + protocolText);
            row("VpnProtocolComboBox", "QComboBox", add, "currentIndex=0");
            const QStringList stems{"NickName", "ServerAddress", "Key", "UserName", "Password", "OvpnFilePath"};
            const QStringList texts{"Nickname :", "Server Address :", "Dudaru Key :", "Username :", "Password :", file};
            for (int i = 0; i < stems.size(); ++i) {
                row(stems.at(i) + "Label", "QLabel", add, "text=" + texts.at(i));
                row(stems.at(i) + "EditBox", "QLineEdit", add, i == 4 ? passwordProps : i == 5 ? "readOnly=true" : "");
            }
            row("OvpnFileBrowserButton", "QPushButton", add, "text=...");
        };
        const char *dash = "DashBoardTab", *login = "LoginTab", *dns = "DnsLeakProtectionGroupBox";
        const QString off = ";enabled=false", link = "openExternalLinks=true;text=", mask = "inputMask=000.000.000.000";

        row("MainTabWidget", "QTabWidget", "CentralWidget", "currentIndex=0", {5, 159, 695, 481});
        row("BannerLabel", "QLabel", "CentralWidget", "", {0, 0, 700, 155});
        row("DashBoardDescriptionLabel", "QLabel", dash, "text=Select VPN from Saved Logins", {20, 10, 350, 25});
        row("VpnInfoListBox", "QListView", dash, "editTriggers=NoEditTriggers", {10, 40, 480, 90});
        row("ConnectButton", "QPushButton", dash, "text=Connect" + off, {500, 90, 180, 40});
        row("VpnLogEditBox", "QPlainTextEdit", dash, "readOnly=true", {10, 230, 670, 190});
        row("ConnectionInfoBox", "QGroupBox", dash, "", {10, 140, 670, 75});
        row("YourIPStatic", "QLabel", "horizontalLayoutWidget_8", "text=Your IP :");
        row("YourIPLabel", "QLabel", "horizontalLayoutWidget_8", "text=XXX.XXX.XXX.XXX");
        row("ConntectedTimeStatic", "QLabel", "horizontalLayoutWidget_8", "text=VPN Duration :");
        row("ConnectedTimeLabel", "QLabel", "horizontalLayoutWidget_8", "text=00 : 00 : 00");
        row("LoginDetailsDescriptionLabel", "QLabel", login, "text=Saved VPN Login Details", {20, 10, 350, 25});
        row("VpnInfoDetailListBox", "QListView", login, "editTriggers=NoEditTriggers", {10, 40, 480, 90});
        row("VpnConnectionEditButton", "QPushButton", login, "text=Edit Connection" + off, {500, 75, 180, 25});
        row("VpnConnectionDeleteButton", "QPushButton", login, "text=Delete Connection" + off, {500, 105, 180, 25});
        row("ModifyVpnLabel", "QLabel", login, "text=Modify Saved VPN Details :", {500, 40, 180, 25});
        row("AddVpnGroupBox", "QGroupBox", login, "title=Add a new VPN Connection", {10, 140, 670, 311});
        profileFields("VPN Protocol :", "echoMode=Password", "ovpn.config :");
        row("VpnConnectionAddButton", "QPushButton", add, "text=Add New Connection" + off);
        row(dns, "QGroupBox", "DnsProtextionTab", "checkable=true;checked=false", {10, 15, 670, 360});
        row("DnsServerLabel", "QLabel", dns, "text=Recommended DNS Servers", {30, 30, 300, 30});
        row("OpenDnsRadioButton", "QRadioButton", dns, "text=OpenDNS;checked=true", {50, 60, 250, 25});
        row("GoogleDnsRadioButton", "QRadioButton", dns, "text=Google DNS", {50, 90, 250, 25});
        row("SpecifyDnsRadioButton", "QRadioButton", dns, "text=Specify your own DNS Servers", {50, 120, 250, 25});
        row("PreferredDnsServerLabel", "QLabel", dns, "text=Preferred DNS Server :", {70, 150, 180, 24});
        row("AlternativeDnsServerLabel", "QLabel", dns, "text=Alternative DNS Server :", {70, 180, 180, 24});
        row("PreferredDnsServerEditBox", "QLineEdit", dns, mask, {260, 150, 390, 24});
        row("AlternativeDnsServerEditBox", "QLineEdit", dns, mask, {260, 180, 390, 24});
        row("VerifyInternetLabel", "QLabel", dns, "text=Internet Connection Status", {30, 220, 300, 30});
        row("PingGoogleStatic", "QLabel", dns, "text=one.one.one.one :", {50, 260, 150, 25});
        row("PingGoogleLabel", "QLabel", dns, "text=---", {210, 260, 100, 25});
        row("DnsResetButton", "QPushButton", "horizontalLayoutWidget_3", "text=Reset" + off);
        row("DnsApplyButton", "QPushButton", "horizontalLayoutWidget_3", "text=Apply" + off);
        row("SettingGroupBox", "QGroupBox", "SettingTab", "title=Settings", {10, 50, 670, 325});
        row("StartupCheckBox", "QCheckBox", "SettingGroupBox", "text=Launch on System Startup", {30, 30, 500, 25});
        row("ReconnectionCheckBox", "QCheckBox", "SettingGroupBox", "text=Redial Automatically if VPN connection Drops",
            {30, 60, 500, 25});
        row("VpnCheckIntervalLabel1", "QLabel", "CheckVpnHorizontalLayout_2", "text=Check VPN every");
        row("VpnCheckIntervalEditBox", "QLineEdit", "CheckVpnHorizontalLayout_2", "text=500;maxLength=5");
        row("VpnCheckIntervalLabel2", "QLabel", "CheckVpnHorizontalLayout_2", "text=ms ( >= 100ms)");
        row("SettingResetButton", "QPushButton", "horizontalLayoutWidget_4", "text=Reset" + off);
        row("SettingApplyButton", "QPushButton", "horizontalLayoutWidget_4", "text=Apply" + off);
        row("FacebookLabel", "QLabel", "horizontalLayoutWidget_2", link + "Facebook");
        row("SuggestionsLabel", "QLabel", "horizontalLayoutWidget_2", link + "Twitter");
        row("NeedHelpLabel", "QLabel", "horizontalLayoutWidget_2", link + "Need Help?");
        row("CopyrightLabel", "QLabel", "horizontalLayoutWidget_2", "text=© 2026 Orvi Dudaru. All rights reserved.");

        form = "VpnEditDialog";
        profileFields("Select Protocol :", "echoMode=Normal", "ovpn.config"); // the dialog shows the password
        row("OkButton", "QPushButton", form, "text=OK;default=true", {200, 240, 75, 24});
        row("CancelButton", "QPushButton", form, "text=Cancel;autoDefault=false", {280, 240, 75, 24});
        row("SeparatorLine", "QFrame", form, "", {0, 230, 360, 3});
    }

    void widgets()
    {
        QFETCH(QString, place); QFETCH(QString, props); QFETCH(QRect, geometry);
        const QStringList tag = QString(QTest::currentDataTag()).split('/');
        auto w = (tag[0] == "MainWindow" ? static_cast<QWidget &>(m_window) : m_dialog).findChild<QWidget *>(tag[1]);
        QVERIFY(w);
        QCOMPARE(w->metaObject()->className() + (" in " + w->parentWidget()->objectName()), place);
        QCOMPARE(geometry.isNull() ? geometry : w->geometry(), geometry);
        QCOMPARE(w->testAttribute(Qt::WA_ForceDisabled), props.contains("enabled=false"));
        for (const QString &prop : props.split(';', Qt::SkipEmptyParts)) {
            const QString key = prop.section('=', 0, 0);
            QCOMPARE(key + '=' + w->property(qPrintable(key)).toString(), prop);
        }
    }
};

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
