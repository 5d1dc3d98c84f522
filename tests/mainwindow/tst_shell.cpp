#include "config/sharedconfig.h"
#include "mainwindow/mainwindow.h"
#include "support/modalanswerer.h"
#include "support/tempworkdir.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>

namespace {

// Lets every deferred call posted so far run (the 0 ms hide or minimize of the shell).
bool flushPostedCalls()
{
    bool done = false;
    QObject context;
    QMetaObject::invokeMethod(&context, [&done] { done = true; }, Qt::QueuedConnection);
    return QTest::qWaitFor([&done] { return done; });
}

} // namespace

class TestShell : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void closeAndMinimizeGoToTray_data();
    void closeAndMinimizeGoToTray();
    void trayMenuEntries();
    void restoreFromTray_data();
    void restoreFromTray();
    void aboutKeepsWindowWhereItWas_data();
    void aboutKeepsWindowWhereItWas();
    void makeLinkText_data();
    void makeLinkText();
    void footerLinks_data();
    void footerLinks();
    void startState();
    void quitEndsTheEventLoop_data();
    void quitEndsTheEventLoop();

private:
    MainWindow *window() const { return win.data(); }

    QTemporaryDir runtimeDir;
    QScopedPointer<TempWorkDir> workDir;
    QScopedPointer<SharedConfig> cfg;
    QScopedPointer<MainWindow> win;
};

void TestShell::initTestCase()
{
    // As in main(): the window lives on hidden in the tray.
    QApplication::setQuitOnLastWindowClosed(false);
    // The window's single-instance probe must never meet a real client's segments.
    QVERIFY(runtimeDir.isValid());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
}

void TestShell::init()
{
    workDir.reset(new TempWorkDir);
    QVERIFY(workDir->isValid());
    cfg.reset(new SharedConfig(workDir->filePath(QStringLiteral("shared_config.ini"))));
}

void TestShell::cleanup()
{
    win.reset();
    cfg.reset();
    workDir.reset();
}

void TestShell::closeAndMinimizeGoToTray_data()
{
    QTest::addColumn<bool>("minimizeOnClose");
    QTest::addColumn<bool>("byClose");

    QTest::newRow("close, into the tray") << false << true;
    QTest::newRow("minimize, into the tray") << false << false;
    QTest::newRow("close, minimize-on-close") << true << true;
    QTest::newRow("minimize, minimize-on-close") << true << false;
}

void TestShell::closeAndMinimizeGoToTray()
{
    QFETCH(bool, minimizeOnClose);
    QFETCH(bool, byClose);
    cfg->minimizeOnClose = minimizeOnClose;
    win.reset(new MainWindow(nullptr, cfg.data()));
    window()->show();
    QVERIFY(QTest::qWaitForWindowExposed(window()));

    if (byClose)
        QVERIFY(!window()->close()); // the close button never ends the client
    else
        window()->showMinimized();

    QTRY_VERIFY(window()->isMinimized());
    QVERIFY(flushPostedCalls());
    QCOMPARE(window()->isVisible(), minimizeOnClose);
    QVERIFY(window()->systemTrayIcon()->isVisible());
}

void TestShell::trayMenuEntries()
{
    win.reset(new MainWindow(nullptr, cfg.data()));
    QMenu *menu = window()->systemTrayMenu();
    QVERIFY(menu);
    QCOMPARE(window()->systemTrayIcon()->contextMenu(), menu);

    QStringList texts;
    for (const QAction *action : menu->actions())
        texts << action->text();
    QCOMPARE(texts, QStringList({ QStringLiteral("Open"), QStringLiteral("About"), QStringLiteral("Quit") }));
    QVERIFY(window()->systemTrayIcon()->isVisible());
    QVERIFY(!window()->systemTrayIcon()->icon().isNull());
}

void TestShell::restoreFromTray_data()
{
    QTest::addColumn<QString>("how"); // "Open" or an activation reason
    QTest::addColumn<int>("reason");
    QTest::addColumn<bool>("fromMinimized");
    QTest::addColumn<bool>("restored");

    QTest::newRow("Open entry") << QStringLiteral("Open") << 0 << false << true;
    QTest::newRow("Open entry, minimized") << QStringLiteral("Open") << 0 << true << true;
    QTest::newRow("double click") << QString() << int(QSystemTrayIcon::DoubleClick) << false << true;
    QTest::newRow("double click, minimized") << QString() << int(QSystemTrayIcon::DoubleClick) << true << true;
    QTest::newRow("single click") << QString() << int(QSystemTrayIcon::Trigger) << false << false;
    QTest::newRow("single click, minimized") << QString() << int(QSystemTrayIcon::Trigger) << true << false;
    QTest::newRow("middle click") << QString() << int(QSystemTrayIcon::MiddleClick) << false << false;
    QTest::newRow("context menu request") << QString() << int(QSystemTrayIcon::Context) << false << false;
}

void TestShell::restoreFromTray()
{
    QFETCH(QString, how);
    QFETCH(int, reason);
    QFETCH(bool, fromMinimized);
    QFETCH(bool, restored);
    cfg->minimizeOnClose = fromMinimized;
    win.reset(new MainWindow(nullptr, cfg.data()));
    window()->show();
    window()->close();
    QTRY_VERIFY(window()->isMinimized());
    QVERIFY(flushPostedCalls());
    QCOMPARE(window()->isVisible(), fromMinimized);

    if (how == QLatin1String("Open"))
        window()->systemTrayMenu()->actions().at(0)->trigger();
    else
        emit window()->systemTrayIcon()->activated(QSystemTrayIcon::ActivationReason(reason));
    QVERIFY(flushPostedCalls());

    if (restored) {
        QVERIFY(window()->isVisible());
        QVERIFY(!window()->isMinimized());
    } else {
        QCOMPARE(window()->isVisible(), fromMinimized);
        QVERIFY(window()->isMinimized());
    }
}

void TestShell::aboutKeepsWindowWhereItWas_data()
{
    QTest::addColumn<bool>("hiddenInTray");

    QTest::newRow("hidden in the tray") << true;
    QTest::newRow("visible") << false;
}

void TestShell::aboutKeepsWindowWhereItWas()
{
    QFETCH(bool, hiddenInTray);
    win.reset(new MainWindow(nullptr, cfg.data()));
    window()->show();
    if (hiddenInTray) {
        window()->close();
        QTRY_VERIFY(!window()->isVisible());
    }

    QString title;
    QString text;
    answerNextMessageBox(QMessageBox::Ok, &title, &text);
    window()->systemTrayMenu()->actions().at(1)->trigger();
    QCOMPARE(title, QStringLiteral("About"));
    QVERIFY(!text.isEmpty());

    QVERIFY(flushPostedCalls());
    QCOMPARE(window()->isVisible(), !hiddenInTray);
    if (!hiddenInTray)
        QVERIFY(!window()->isMinimized());
}

void TestShell::makeLinkText_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("labelText");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << QStringLiteral("https://example.net/page") << QStringLiteral("Facebook")
                           << QStringLiteral("<a href=\"https://example.net/page\">Facebook</a>");
    QTest::newRow("query and question mark") << QStringLiteral("https://example.net/t?lang=en&id=2")
                                             << QStringLiteral("Need Help?")
                                             << QStringLiteral("<a href=\"https://example.net/t?lang=en&id=2\">Need Help?</a>");
    QTest::newRow("empty label") << QStringLiteral("https://example.net/") << QString()
                                 << QStringLiteral("<a href=\"https://example.net/\"></a>");
    QTest::newRow("non-ASCII label") << QStringLiteral("https://example.net/hilfe") << QStringLiteral("Hilfe für Sie")
                                     << QStringLiteral("<a href=\"https://example.net/hilfe\">Hilfe für Sie</a>");
}

void TestShell::makeLinkText()
{
    QFETCH(QString, url);
    QFETCH(QString, labelText);
    QFETCH(QString, expected);
    const QLabel label(labelText);
    QCOMPARE(MainWindow::makeLinkText(url, &label), expected);
}

void TestShell::footerLinks_data()
{
    QTest::addColumn<QString>("labelName");
    QTest::addColumn<QString>("anchorText");
    QTest::addColumn<QString>("hostSuffix"); // empty: any web address

    QTest::newRow("Facebook") << QStringLiteral("FacebookLabel") << QStringLiteral("Facebook")
                              << QStringLiteral("facebook.com");
    QTest::newRow("Twitter") << QStringLiteral("SuggestionsLabel") << QStringLiteral("Twitter")
                             << QStringLiteral("twitter.com");
    QTest::newRow("Need Help?") << QStringLiteral("NeedHelpLabel") << QStringLiteral("Need Help?") << QString();
}

void TestShell::footerLinks()
{
    QFETCH(QString, labelName);
    QFETCH(QString, anchorText);
    QFETCH(QString, hostSuffix);
    win.reset(new MainWindow(nullptr, cfg.data()));

    const QLabel *label = window()->findChild<QLabel *>(labelName);
    QVERIFY(label);
    const QRegularExpression link(QStringLiteral("^<a href=\"([^\"]+)\">") + QRegularExpression::escape(anchorText)
                                  + QStringLiteral("</a>$"));
    const QRegularExpressionMatch match = link.match(label->text());
    QVERIFY2(match.hasMatch(), qPrintable(label->text()));
    const QUrl url(match.captured(1), QUrl::StrictMode);
    QVERIFY(url.isValid());
    QVERIFY(url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http"));
    QVERIFY(!url.host().isEmpty());
    if (!hostSuffix.isEmpty())
        QVERIFY2(url.host().endsWith(hostSuffix), qPrintable(url.toString()));
}

void TestShell::startState()
{
    win.reset(new MainWindow(nullptr, cfg.data()));
    window()->show();

    const auto *tabs = window()->findChild<QTabWidget *>(QStringLiteral("MainTabWidget"));
    QVERIFY(tabs);
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(tabs->currentWidget()->objectName(), QStringLiteral("DashBoardTab"));

    auto *intervalRow = window()->findChild<QWidget *>(QStringLiteral("CheckVpnHorizontalLayout_2"));
    QVERIFY(intervalRow);
    QVERIFY(intervalRow->isHidden());
    // Even with the Settings tab open the interval cannot be edited.
    const_cast<QTabWidget *>(tabs)->setCurrentWidget(window()->findChild<QWidget *>(QStringLiteral("SettingTab")));
    QCOMPARE(tabs->currentWidget()->objectName(), QStringLiteral("SettingTab"));
    QVERIFY(!intervalRow->isVisible());
}

void TestShell::quitEndsTheEventLoop_data()
{
    QTest::addColumn<bool>("hiddenInTray");

    QTest::newRow("window visible") << false;
    QTest::newRow("window hidden in the tray") << true;
}

void TestShell::quitEndsTheEventLoop()
{
    QFETCH(bool, hiddenInTray);
    win.reset(new MainWindow(nullptr, cfg.data()));
    window()->show();
    if (hiddenInTray) {
        window()->close();
        QTRY_VERIFY(!window()->isVisible());
    }

    QAction *quit = window()->systemTrayMenu()->actions().at(2);
    QTimer::singleShot(0, quit, SLOT(trigger()));
    // A Quit that does nothing would leave exec() running: end it with a code the test rejects.
    QObject guard;
    QTimer::singleShot(10000, &guard, [] { QCoreApplication::exit(1); });
    QCOMPARE(QApplication::exec(), 0);
}

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
