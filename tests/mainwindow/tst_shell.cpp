#include "support/modalanswerer.h"
#include "support/testwindow.h"

#include <QtDBus>
#include <QtTest>
#include <QtWidgets>

class TestShell : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); } // as in main()

    // Away by the close button or the title bar, back through the tray (entries: tst_connection; Quit: tst_networkmanager, tst_startup).
    void trayAndBack_data()
    {
        QTest::addColumn<int>("tray"); QTest::addColumn<bool>("minimizeOnClose"); QTest::addColumn<bool>("byClose");
        QTest::newRow("close, into the tray") << 2 << false << true;
        QTest::newRow("close, minimize-on-close keeps it on the task bar") << 2 << true << true;
        QTest::newRow("minimize, no tray: stays on the task bar (a close quits: tst_startup)") << 0 << false << false;
        QTest::newRow("into the tray, which goes: About puts it on the task bar") << 1 << false << false;
    }
    void trayAndBack()
    {
        QFETCH(int, tray); QFETCH(bool, minimizeOnClose); QFETCH(bool, byClose);
        QDBusInterface watcher("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher"); // a stand-in tray: shell.cmake
        TestWindow t(minimizeOnClose ? "minimize-on-close=true" : "");
        t.w->setAttribute(Qt::WA_DontShowOnScreen); // with no window manager, X11 would minimize a restored window again
        QTRY_VERIFY(!watcher.property("RegisteredStatusNotifierItems").toStringList().isEmpty()); // the icon is there
        const QList<QAction *> menu = t.w->systemTrayMenu()->actions(); // Open, About, Quit
        const auto about = [&menu] { QString title; answerNextMessageBox(QMessageBox::Ok, &title); menu.at(1)->trigger(); return title; };
        QCOMPARE(t.w->systemTrayIcon()->contextMenu(), t.w->systemTrayMenu());
        t.w->show();
        QVERIFY(watcher.setProperty("IsStatusNotifierHostRegistered", tray > 0)); // asked at the close, not before
        QVERIFY(byClose ? !t.w->close() : (t.w->showMinimized(), true)); // the close button never ends the client
        QTRY_VERIFY(t.w->isMinimized());
        QCoreApplication::sendPostedEvents(); // the shell hides through a 0 ms timer
        QCOMPARE(t.w->isVisible(), minimizeOnClose || !tray);

        QVERIFY(watcher.setProperty("IsStatusNotifierHostRegistered", tray == 2)); // tray 1: the host leaves with the window in it
        QCOMPARE(about(), "About");
        QCOMPARE(t.w->isVisible(), minimizeOnClose || tray < 2); // About leaves a window in the tray there
        emit t.w->systemTrayIcon()->activated(QSystemTrayIcon::Trigger);
        QCOMPARE(t.w->isVisible(), minimizeOnClose || tray < 2); // a single click does not restore
        emit t.w->systemTrayIcon()->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(t.w->isVisible() && !t.w->isMinimized());
        QCOMPARE(about(), "About");
        QVERIFY(t.w->isVisible()); // and a shown window shown
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
