#include "support/modalanswerer.h"
#include "support/testwindow.h"

#include <QtTest>
#include <QtWidgets>

class TestShell : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); } // as in main()

    // Away by the close button or the title bar, back through the tray, out by Quit (its entries: tst_connection).
    void trayAndBack_data()
    {
        QTest::addColumn<bool>("minimizeOnClose"); QTest::addColumn<bool>("byClose");
        QTest::newRow("close, into the tray") << false << true;
        QTest::newRow("minimize, into the tray") << false << false;
        QTest::newRow("close, minimize-on-close keeps it on the task bar") << true << true;
    }
    void trayAndBack()
    {
        QFETCH(bool, minimizeOnClose); QFETCH(bool, byClose);
        TestWindow t(minimizeOnClose ? "minimize-on-close=true" : "");
        const QList<QAction *> menu = t.w->systemTrayMenu()->actions(); // Open, About, Quit
        QCOMPARE(t.w->systemTrayIcon()->contextMenu(), t.w->systemTrayMenu());
        t.w->show();
        if (byClose)
            QVERIFY(!t.w->close()); // the close button never ends the client
        else
            t.w->showMinimized();
        QTRY_VERIFY(t.w->isMinimized());
        QCoreApplication::sendPostedEvents(); // the shell hides through a 0 ms timer
        QCOMPARE(t.w->isVisible(), minimizeOnClose);

        QString about;
        answerNextMessageBox(QMessageBox::Ok, &about);
        menu.at(1)->trigger();
        QCOMPARE(about, "About");
        QCOMPARE(t.w->isVisible(), minimizeOnClose); // About leaves a window in the tray there
        emit t.w->systemTrayIcon()->activated(QSystemTrayIcon::Trigger);
        QCOMPARE(t.w->isVisible(), minimizeOnClose); // a single click does not restore
        emit t.w->systemTrayIcon()->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(t.w->isVisible() && !t.w->isMinimized());
        answerNextMessageBox(QMessageBox::Ok);
        menu.at(1)->trigger();
        QVERIFY(t.w->isVisible()); // and a shown window shown, which refuses to close: Quit must still end exec()
        QTimer::singleShot(0, menu.at(2), SLOT(trigger()));
        QTimer::singleShot(10000, t.w.get(), [] { QCoreApplication::exit(1); }); // a Quit that does nothing
        QCOMPARE(QApplication::exec(), 0);
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
