#include "dialogs/vpneditdialog.h"
#include "support/testwindow.h"

#include <QLineEdit>
#include <QtTest>

// The first look of the window and of the edit dialog: what a user sees before touching anything.
class TestForms : public QObject
{
    Q_OBJECT

private slots:
    void firstLook_data()
    {
        QTest::addColumn<QString>("widget");
        QTest::addColumn<QString>("property");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("window no narrower, no lower") << "MainWindow" << "minimumSize" << QVariant(QSize(700, 601));
        QTest::newRow("window no wider, no higher") << "MainWindow" << "maximumSize" << QVariant(QSize(700, 800));
        QTest::newRow("opens on the dashboard") << "MainTabWidget" << "currentIndex" << QVariant(0);
        for (const char *button : {"ConnectButton", "VpnConnectionEditButton", "VpnConnectionDeleteButton",
                                   "VpnConnectionAddButton", "DnsResetButton", "DnsApplyButton", "SettingResetButton",
                                   "SettingApplyButton"})
            QTest::addRow("%s disabled", button) << button << "enabled" << QVariant(false);
        for (const char *box : {"PreferredDnsServerEditBox", "AlternativeDnsServerEditBox"})
            QTest::addRow("%s masked", box) << box << "inputMask" << QVariant("000.000.000.000"); // blanks for empty digits
        QTest::newRow("password hidden") << "PasswordEditBox" << "echoMode" << QVariant(int(QLineEdit::Password));
        QTest::newRow("L2TP key row shown") << "KeyEditBox" << "shown" << QVariant(true);
        QTest::newRow("server row shown") << "ServerAddressEditBox" << "shown" << QVariant(true);
        QTest::newRow("file row hidden") << "OvpnFilePathEditBox" << "shown" << QVariant(false);
        QTest::newRow("interval row hidden") << "CheckVpnHorizontalLayout_2" << "shown" << QVariant(false);
        QTest::newRow("Facebook link") << "FacebookLabel" << "text"
                                       << QVariant("<a href=\"https://www.facebook.com/orvidudaru\">Facebook</a>");
        QTest::newRow("Twitter link") << "SuggestionsLabel" << "text"
                                      << QVariant("<a href=\"https://twitter.com/orvidudaru\">Twitter</a>");
        QTest::newRow("help link") << "NeedHelpLabel" << "text"
                                   << QVariant("<a href=\"https://www.orvidudaru.net/support/ticket\">Need Help?</a>");
        QTest::newRow("links open") << "NeedHelpLabel" << "openExternalLinks" << QVariant(true);
        QTest::newRow("dialog blocks the window") << "VpnEditDialog" << "windowModality"
                                                  << QVariant(int(Qt::ApplicationModal));
        QTest::newRow("dialog fixed size") << "VpnEditDialog" << "maximumSize" << QVariant(QSize(360, 270));
    }
    void firstLook()
    {
        QFETCH(QString, widget); QFETCH(QString, property); QFETCH(QVariant, value);
        TestWindow t;
        t.w->show();
        VpnEditDialog dialog(t.w.get(), VpnServerInfo());
        QObject *object = widget == "MainWindow" ? t.w.get() : widget == "VpnEditDialog" ? &dialog : t.get(widget);
        QVERIFY(object);
        // Rows on other tabs are never visible; shown means not hidden by the window.
        QVariant shown = property == "shown" ? QVariant(!static_cast<QWidget *>(object)->isHidden())
                                             : object->property(qPrintable(property));
        QVERIFY(shown.convert(value.metaType()));
        QCOMPARE(shown, value);
    }
};

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
