#include "config/sharedconfig.h"
#include "mainwindow/mainwindow.h"
#include "support/modalanswerer.h"
#include "support/tempworkdir.h"

#include <QtTest>
#include <QtWidgets>

struct Shell
{
    TempWorkDir workDir;
    SharedConfig cfg { workDir.filePath("shared_config.ini") };
    MainWindow win { nullptr, &cfg };
};

class TestShell : public QObject
{
    Q_OBJECT

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
        Shell s;
        s.cfg.minimizeOnClose = minimizeOnClose;
        s.win.show();
        if (byClose)
            QVERIFY(!s.win.close()); // the close button never ends the client
        else
            s.win.showMinimized();
        QTRY_VERIFY(s.win.isMinimized());
        QCoreApplication::sendPostedEvents(); // the shell hides through a 0 ms timer
        QCOMPARE(s.win.isVisible(), minimizeOnClose);
    }

    void trayIcon()
    {
        Shell s;
        QStringList texts;
        for (const QAction *action : s.win.systemTrayMenu()->actions())
            texts << action->text();
        QCOMPARE(texts, QStringList({ "Open", "About", "Quit" }));
        QCOMPARE(s.win.systemTrayIcon()->contextMenu(), s.win.systemTrayMenu());

        answerNextMessageBox(QMessageBox::Ok); // the window is hidden, as in the tray
        s.win.systemTrayMenu()->actions().at(1)->trigger();
        QVERIFY(!s.win.isVisible()); // About leaves it there
        emit s.win.systemTrayIcon()->activated(QSystemTrayIcon::Trigger);
        QVERIFY(!s.win.isVisible()); // a single click does not restore
        emit s.win.systemTrayIcon()->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(s.win.isVisible() && !s.win.isMinimized());
    }

    void quitEndsExec()
    {
        Shell s;
        s.win.show(); // a shown window refuses to close, which must not keep Quit from ending exec()
        QTimer::singleShot(0, s.win.systemTrayMenu()->actions().at(2), SLOT(trigger()));
        QTimer::singleShot(10000, &s.win, [] { QCoreApplication::exit(1); }); // a Quit that does nothing
        QCOMPARE(QApplication::exec(), 0);
    }

    void makeLinkText()
    {
        const QLabel label("Need Help?");
        QCOMPARE(MainWindow::makeLinkText("https://example.net/t?a=1&b=2", &label),
                 QStringLiteral("<a href=\"https://example.net/t?a=1&b=2\">Need Help?</a>"));
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
