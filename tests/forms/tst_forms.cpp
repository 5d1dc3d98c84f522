#include "support/testwindow.h"

#include <QtTest>

class TestForms : public QObject
{
    Q_OBJECT

private slots:
    // The window opens on the first protocol's add form, and without the check interval, which comes from the file
    // alone. Shown means not hidden by the window: rows on other tabs are never visible.
    void firstLook()
    {
        TestWindow t;
        t.w->show();
        QVERIFY(!t.get("KeyEditBox")->isHidden() && t.get("OvpnFilePathEditBox")->isHidden());
        QVERIFY(t.get("CheckVpnHorizontalLayout_2")->isHidden());
    }
};

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
