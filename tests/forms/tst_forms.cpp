#include "support/testwindow.h"

#include <QLineEdit>
#include <QtTest>

// The first look of the window: what a user sees before touching anything.
class TestForms : public QObject
{
    Q_OBJECT

private slots:
    void firstLook_data()
    {
        QTest::addColumn<QString>("widget"); QTest::addColumn<QString>("property"); QTest::addColumn<QVariant>("value");
        const auto link = [](const char *url, const char *text) {
            return QVariant(QString("<a href=\"https://%1\">%2</a>").arg(url, text));
        };
        QTest::newRow("no narrower, no lower") << "MainWindow" << "minimumSize" << QVariant(QSize(700, 601));
        QTest::newRow("no wider, no higher") << "MainWindow" << "maximumSize" << QVariant(QSize(700, 800));
        QTest::newRow("on the dashboard") << "MainTabWidget" << "currentIndex" << QVariant(0);
        for (const char *button : { "ConnectButton", "VpnConnectionEditButton", "VpnConnectionDeleteButton",
                                    "VpnConnectionAddButton" }) // Reset and Apply: tst_networksettings
            QTest::addRow("%s disabled", button) << button << "enabled" << QVariant(false);
        for (const char *box : { "PreferredDnsServerEditBox", "AlternativeDnsServerEditBox" }) // blanks for empty digits
            QTest::addRow("%s masked", box) << box << "inputMask" << QVariant("000.000.000.000");
        QTest::newRow("password hidden") << "PasswordEditBox" << "echoMode" << QVariant::fromValue(QLineEdit::Password);
        QTest::newRow("L2TP: key row shown") << "KeyEditBox" << "shown" << QVariant(true);
        QTest::newRow("L2TP: file row hidden") << "OvpnFilePathEditBox" << "shown" << QVariant(false);
        QTest::newRow("interval row hidden") << "CheckVpnHorizontalLayout_2" << "shown" << QVariant(false);
        QTest::newRow("Facebook") << "FacebookLabel" << "text" << link("www.facebook.com/orvidudaru", "Facebook");
        QTest::newRow("Twitter") << "SuggestionsLabel" << "text" << link("twitter.com/orvidudaru", "Twitter");
        QTest::newRow("help") << "NeedHelpLabel" << "text" << link("www.orvidudaru.net/support/ticket", "Need Help?");
        QTest::newRow("links open") << "NeedHelpLabel" << "openExternalLinks" << QVariant(true);
    }
    void firstLook()
    {
        QFETCH(QString, widget); QFETCH(QString, property); QFETCH(QVariant, value);
        TestWindow t;
        t.w->show();
        QObject *object = widget == "MainWindow" ? t.w.get() : t.get(widget);
        QVERIFY(object);
        // Rows on other tabs are never visible; shown means not hidden by the window.
        QVariant shown = property == "shown" ? QVariant(!static_cast<QWidget *>(object)->isHidden())
                                             : object->property(qPrintable(property));
        QCOMPARE(shown, value);
    }
};

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
