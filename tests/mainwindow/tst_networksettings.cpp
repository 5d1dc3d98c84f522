#include "network/ping.h"
#include "support/httpserver.h"
#include "support/modalanswerer.h"
#include "support/testwindow.h"

#include <QNetworkAccessManager>
#include <QtTest>
#include <QtWidgets>

namespace {

// The DNS and Settings tabs: what is checked, the texts of the boxes open to typing, the enabled Reset/Apply buttons.
QString shown(const QWidget &window)
{
    QStringList parts;
    const QRegularExpression kind("(GroupBox|RadioButton|CheckBox)$");
    for (const QWidget *box : window.findChildren<QWidget *>(kind))
        if (box->property("checked").toBool())
            parts << box->objectName().remove(kind);
    for (const QLineEdit *box : window.findChildren<QLineEdit *>(QRegularExpression("Dns|Interval")))
        if (box->isEnabled())
            parts << box->text();
    for (const QPushButton *button : window.findChildren<QPushButton *>(QRegularExpression("(Reset|Apply)Button$")))
        if (button->isEnabled())
            parts << button->objectName().remove("Button");
    return parts.join(' ');
}

// A window on a file of the given [settings] lines, whose "ping" logs each call and in the C locale prints output.
struct Window : TestWindow
{
    explicit Window(const QString &settings, const QString &ping = {})
        : TestWindow(settings.toUtf8(), {}, [&](TestWindow &t) {
            t.wd.writeScript("ping", "#!/bin/sh\necho >> calls\n[ \"$LC_ALL\" = C ] && echo '" + ping.toUtf8() + "'\n");
            qputenv("PATH", QFile::encodeName(t.wd.path()) + ':' + qgetenv("PATH"));
            qputenv("XDG_CONFIG_HOME", QFile::encodeName(t.wd.path())); // where Apply registers the autostart entry
        }) {}
    // Steps: "Name=text" types into the box whose name starts so, "Name" presses the space bar on such a button.
    void act(const QString &steps) const
    {
        for (const QString &step : steps.split(' ', Qt::SkipEmptyParts)) {
            const QRegularExpression name('^' + step.section('=', 0, 0));
            if (step.contains('='))
                w->findChildren<QLineEdit *>(name).value(0)->setText(step.section('=', 1));
            else
                QTest::keyClick(w->findChildren<QWidget *>(name).value(0), Qt::Key_Space);
        }
    }
};

} // namespace

class TestNetworkSettings : public QObject
{
    Q_OBJECT

private slots:
    // A window over a "ping" printing a real line of output: its first check, then 41 status checks while connected.
    void ping_data()
    {
        QTest::addColumn<QString>("settings"); QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("label"); QTest::addColumn<int>("checks"); // checks: pings after the first
        QTest::newRow("kill switch off") << "" << "rtt min/avg/max/mdev = 23.912/23.912/23.912/0.000 ms" << "OK" << 0;
        QTest::newRow("no reply, 3000 ms") << "kill-switch=true\ncheck-vpn-interval=3000"
            << "1 packets transmitted, 0 received, 100% packet loss, time 0ms" << "Failure" << 10;
    }
    void ping()
    {
        QFETCH(QString, settings); QFETCH(QString, output); QFETCH(int, checks);
        internetCheckElapsedMs = 0;
        Window win(settings, output);
        QTEST(win.get<QLabel>("PingGoogleLabel")->text(), "label");
        win.w->setConnectionState(Connected);
        for (int check = 0; check < 41; ++check)
            win.w->onVpnConnectStatusChecking();
        QCOMPARE(TempWorkDir::readFile("calls").size() - 1, checks);
    }
    void windowsPing() { QCOMPARE(windowsPingAverage("Minimum = 23ms, Maximum = 23ms, Average = 23ms\r\n"), 23); }

    // Each look-up on a connection of its own (the answers keep theirs alive), none waiting for ever.
    void publicIp()
    {
        const QList<int> statuses = { 200, 503, 200, 0 }; // 0: no answer, so the look-up runs out of time
        HttpServer server(statuses, "<p>Yours: <a href=\"https://info.test/ip/\">  203.0.113.7 \n</a></p>");
        Window win("");
        win.w->setPublicIpEndpoint(QUrl(QString("http://127.0.0.1:%1/ipv4bot/").arg(server.serverPort())), "info.test", 500);
        for (int i = 0; i < statuses.size(); ++i) {
            win.w->requestPublicIp();
            QTRY_COMPARE(server.requests.size(), i + 1);
            QCOMPARE(server.requests.indexOf(server.requests.last()), i); // not one kept alive over the old route
            QTRY_COMPARE(win.get<QLabel>("YourIPLabel")->text(), statuses[i] == 200 ? "203.0.113.7" : "XXX.XXX.XXX.XXX");
        }
        QCOMPARE(win.get<QLabel>("YourIPLabel")->textFormat(), Qt::PlainText); // the text comes from a web page
        QTRY_COMPARE(win.w->findChildren<QNetworkAccessManager *>().size(), 0); // each released once answered
    }

    // Steps in the DNS and Settings tabs over a file with launch at start-up and own servers, and an older launch entry: what
    // the tabs show, what the next start shows, the entry. Only Apply and the protection switch save.
    void tabs_data()
    {
        for (const char *column : { "steps", "warning", "shown", "restart" })
            QTest::addColumn<QString>(column);
        const QString on = "Startup DnsLeakProtection ", kept = on + "SpecifyDns 500 192.0.2.1 192.0.2.2";
        const QString dns = " DnsReset DnsApply", off = "Startup OpenDns 500";
        const QString applied = "Startup Reconnection DnsLeakProtection SpecifyDns 1500 192.0.2.1 192.0.2.2";
        QTest::newRow("Google over own servers") << "GoogleDns" << "" << on + "GoogleDns 500" + dns << kept;
        QTest::newRow("DNS Reset") << "GoogleDns Preferred=172.16.0.1 DnsReset" << "" << kept << kept;
        QTest::newRow("launch clicked back") << "Startup Startup" << "" << kept + " SettingReset SettingApply" << kept;
        QTest::newRow("settings Reset") << "Startup Reconnection VpnCheckInterval=700 SettingReset" << "" << kept << kept;
        QTest::newRow("DNS Apply, empty middle groups") << "Preferred=10.0..1 Alternative=8.8..4 DnsApply" << ""
            << on + "SpecifyDns 500 10.0..1 8.8..4" << on + "SpecifyDns 500 10.0.0.1 8.8.0.4";
        QTest::newRow("DNS Apply refuses a group above 255, keeps nothing") << "Preferred=300.1.1.1 DnsApply DnsReset"
            << "The Preferred DNS Server" << kept << kept;
        QTest::newRow("protection off, saved at once") << "DnsLeakProtection" << "" << off + dns << off;
        QTest::newRow("settings Apply registers, even unchanged") << "Reconnection VpnCheckInterval=1500 SettingApply" << "" << applied << applied;
        QTest::newRow("launch off, settings Apply removes the entry") << "Startup SettingApply" << "" << kept.section(' ', 1) << kept.section(' ', 1);
    }
    void tabs()
    {
        QFETCH(QString, steps); QFETCH(QString, warning); QFETCH(QString, restart);
        Window win("launch-on-system-startup=true\nenable-dns-protection=true\ndns-server=2\n"
                   "preferred-dns-server=192.0.2.1\nalternative-dns-server=192.0.2.2");
        QVERIFY(QDir(win.wd.path()).mkpath("autostart") && win.wd.writeScript("autostart/Orvi.desktop", "Exec=older\n"));
        setLaunchArguments({ "two words" }); // as --user-data is (tst_startup), with a blank to quote
        QString text;
        if (!warning.isEmpty())
            answerNextMessageBox(QMessageBox::Ok, nullptr, &text);
        win.act(steps);
        QVERIFY2(warning.isEmpty() || text.startsWith(warning), qPrintable(text));
        QTEST(::shown(*win.w), "shown");
        SharedConfig saved(win.cfg->filePath());
        QCOMPARE(::shown(MainWindow(nullptr, &saved)), restart);
        const QString exec = QString(TempWorkDir::readFile(win.wd.filePath("autostart/Orvi.desktop"))).section("Exec=", 1).section('\n', 0, 0);
        QCOMPARE(QProcess::splitCommand(exec), !steps.endsWith("SettingApply") ? QStringList("older")
                 : restart.startsWith("Startup") ? QStringList({ QCoreApplication::applicationFilePath(), "two words" }) : QStringList());
    }
};

QTEST_MAIN(TestNetworkSettings)
#include "tst_networksettings.moc"
