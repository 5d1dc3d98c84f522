#include "support/modalanswerer.h"
#include "support/testwindow.h"

#include <QtTest>
#include <QtWidgets>

class TestShell : public QObject
{
    Q_OBJECT

    // Closes or minimizes the window the way the user would, then lets the deferred hide run.
    static void sendAway(MainWindow &w, bool byClose)
    {
        if (byClose)
            QVERIFY(!w.close()); // the close button never ends the client
        else
            w.showMinimized();
        QTRY_VERIFY(w.isMinimized());
        QCoreApplication::sendPostedEvents(); // the shell hides through a 0 ms timer
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); } // as in main()

    void closeAndMinimizeGoToTray_data()
    {
        QTest::addColumn<bool>("minimizeOnClose"); QTest::addColumn<bool>("byClose");
        QTest::newRow("close, into the tray") << false << true;
        QTest::newRow("minimize, into the tray") << false << false;
        QTest::newRow("close, minimize-on-close") << true << true;
        QTest::newRow("minimize, minimize-on-close") << true << false;
    }
    void closeAndMinimizeGoToTray()
    {
        QFETCH(bool, minimizeOnClose); QFETCH(bool, byClose);
        TestWindow t(minimizeOnClose ? "minimize-on-close=true" : "");
        t.w->show();
        sendAway(*t.w, byClose);
        QCOMPARE(t.w->isVisible(), minimizeOnClose);
    }

    void trayMenu()
    {
        TestWindow t;
        QStringList texts;
        for (const QAction *action : t.w->systemTrayMenu()->actions())
            texts << action->text();
        QCOMPARE(texts, QStringList({ "Open", "About", "Quit" }));
        QCOMPARE(t.w->systemTrayIcon()->contextMenu(), t.w->systemTrayMenu());

        t.w->show();
        sendAway(*t.w, true);
        QVERIFY(!t.w->isVisible());
        answerNextMessageBox(QMessageBox::Ok);
        t.w->systemTrayMenu()->actions().at(1)->trigger();
        QVERIFY(!t.w->isVisible()); // About leaves a window in the tray there
        emit t.w->systemTrayIcon()->activated(QSystemTrayIcon::Trigger);
        QVERIFY(!t.w->isVisible()); // a single click does not restore
        emit t.w->systemTrayIcon()->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(t.w->isVisible() && !t.w->isMinimized());
        answerNextMessageBox(QMessageBox::Ok);
        t.w->systemTrayMenu()->actions().at(1)->trigger();
        QVERIFY(t.w->isVisible()); // and a shown window shown
    }

    void quitEndsExec()
    {
        TestWindow t;
        t.w->show(); // a shown window refuses to close, which must not keep Quit from ending exec()
        QTimer::singleShot(0, t.w->systemTrayMenu()->actions().at(2), SLOT(trigger()));
        QTimer::singleShot(10000, t.w.get(), [] { QCoreApplication::exit(1); }); // a Quit that does nothing
        QCOMPARE(QApplication::exec(), 0);
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
