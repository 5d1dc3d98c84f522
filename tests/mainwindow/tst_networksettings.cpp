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

// A window on a file holding the given [settings] lines, whose "ping" logs each call and, in the C locale only,
// prints the given output. With unwritable the file turns into a folder once read, so that every save fails.
struct Window : TestWindow
{
    explicit Window(const QString &settings, const QString &ping = {}, bool unwritable = false)
        : TestWindow(settings.toUtf8(), {}, [&](TestWindow &t) {
            t.wd.writeScript("ping", "#!/bin/sh\necho >> calls\n[ \"$LC_ALL\" = C ] && echo '" + ping.toUtf8() + "'\n");
            qputenv("PATH", QFile::encodeName(t.wd.path()) + ':' + qgetenv("PATH"));
            qputenv("XDG_CONFIG_HOME", QFile::encodeName(t.wd.path())); // where Apply registers the autostart entry
            if (unwritable && QFile::remove(t.cfg->filePath()))
                QDir().mkdir(t.cfg->filePath());
        })
    {
    }
    // Steps: "Name=text" types into the box whose name starts so, "Name" clicks such a button, "onSlot" calls it.
    void act(const QString &steps) const
    {
        for (const QString &step : steps.split(' ', Qt::SkipEmptyParts)) {
            const QRegularExpression name('^' + step.section('=', 0, 0));
            if (step.contains('='))
                w->findChildren<QLineEdit *>(name).value(0)->setText(step.section('=', 1));
            else if (step.startsWith("on"))
                QMetaObject::invokeMethod(w.get(), qPrintable(step));
            else if (QAbstractButton *button = w->findChildren<QAbstractButton *>(name).value(0))
                button->click();
            else
                QTest::keyClick(w->findChildren<QGroupBox *>(name).value(0), Qt::Key_Space);
        }
    }
};

const QString kProtected = "enable-dns-protection=true\n";
const QString kGoogle = kProtected + "dns-server=1\n";
const QString kOwn = kProtected + "dns-server=2\npreferred-dns-server=192.0.2.1\nalternative-dns-server=192.0.2.2\n";

} // namespace

class TestNetworkSettings : public QObject
{
    Q_OBJECT

private slots:
    // Lines of real outputs: Windows' are only parsed, the others also shown by a window checking 41 times connected.
    void ping_data()
    {
        for (const char *column : { "settings", "output", "average", "checks" }) // checks: pings after the first
            QTest::addColumn<QString>(column);
        const QString ms23 = "rtt min/avg/max/mdev = 23.912/23.912/23.912/0.000 ms";
        QTest::newRow("Windows, 23 ms") << "" << "Minimum = 23ms, Maximum = 23ms, Average = 23ms\r\n" << "23" << "";
        QTest::newRow("23.9 ms, kill switch off, 500 ms") << "" << ms23 << "23" << "0";
        QTest::newRow("no reply") << "" << "1 packets transmitted, 0 received, 100% packet loss, time 0ms" << "0" << "0";
        QTest::newRow("kill switch on, 500 ms") << "kill-switch=true" << ms23 << "23" << "1"; // at 21 but not 20, 41
        QTest::newRow("kill switch on, 3000 ms") << "kill-switch=true\ncheck-vpn-interval=3000" << ms23 << "23" << "10";
    }
    void ping()
    {
        QFETCH(QString, settings); QFETCH(QString, output);
        QFETCH(QString, average); QFETCH(QString, checks);
        const bool windows = QByteArray(QTest::currentDataTag()).startsWith("Windows");
        QCOMPARE(QString::number(windows ? windowsPingAverage(output) : unixPingAverage(output)), average);
        if (windows)
            return;
        internetCheckElapsedMs = 0;
        Window win(settings, output);
        const QLabel *label = win.w->findChild<QLabel *>("PingGoogleLabel");
        QCOMPARE(label->text() + ' ' + label->styleSheet(),
                 average.toInt() > 0 ? "OK color:rgb(33, 175, 77);" : "Failure color:rgb(255, 0, 0);");
        win.w->setConnectionState(Connected);
        for (int check = 0; check < 41; ++check)
            win.w->onVpnConnectStatusChecking();
        QCOMPARE(QString::number(TempWorkDir::readFile("calls").size() - 1), checks);
    }

    // Each look-up on a connection of its own (the first one's is kept alive), none waiting for ever.
    void publicIp_data()
    {
        for (const char *column : { "status", "page", "label" })
            QTest::addColumn<QString>(column);
        const QString link = "<p>Yours: <a href=\"https://info.test/ip/\">%1</a></p>";
        QTest::newRow("address with blanks") << "200" << link.arg("  203.0.113.7 \n") << "203.0.113.7";
        QTest::newRow("HTTP error") << "503" << link.arg("203.0.113.7") << "XXX.XXX.XXX.XXX";
        QTest::newRow("no marker, page ends in >") << "200" << "<html>nothing</html>" << "";
        QTest::newRow("markup") << "200" << link.arg("<img src=\"x.png\">1.2.3.4") << "<img src=\"x.png\">1.2.3.4";
    }
    void publicIp()
    {
        QFETCH(QString, status); QFETCH(QString, page); QFETCH(QString, label);
        HttpServer server;
        Window win("");
        const QLabel *shown = win.w->findChild<QLabel *>("YourIPLabel");
        win.w->setPublicIpEndpoint(QUrl(server.base + "/ipv4bot/"), "info.test", 500);
        for (int sent = 1; sent <= 3; ++sent) {
            win.w->requestPublicIp();
            QTRY_COMPARE(server.heads.size(), sent);
            QVERIFY(server.freshConnection.last()); // not one kept alive over the old route
            if (sent == 1)
                server.answer(0, 200, "<a href=\"https://info.test/ip/\">198.51.100.2</a>", true);
            else if (sent == 2)
                server.answer(1, status.toInt(), page.toUtf8());
            QTRY_COMPARE(shown->text(), sent == 1 ? "198.51.100.2" : sent == 2 ? label : "XXX.XXX.XXX.XXX");
        }
        QVERIFY(server.heads[0].startsWith("GET /ipv4bot/ ") && server.heads[0].contains("\nContent-Type: applicat"));
        QCOMPARE(shown->textFormat(), Qt::PlainText);
        QTRY_COMPARE(win.w->findChildren<QNetworkAccessManager *>().size(), 0); // each released once answered
    }

    // A window on a prepared file shows it with every Reset and Apply disabled and saves it once; steps save nothing.
    void tabs_data()
    {
        for (const char *column : { "settings", "steps", "shown" })
            QTest::addColumn<QString>(column);
        const QString dns = "DnsReset DnsApply", settings = "SettingReset SettingApply";
        const QString options = "launch-on-system-startup=true\nredial-automatically=true\ncheck-vpn-interval=1500";
        QTest::newRow("start-up") << kOwn + options << ""
                                  << "Startup Reconnection DnsLeakProtection SpecifyDns 1500 192.0.2.1 192.0.2.2";
        QTest::newRow("Google over OpenDNS") << kProtected << "GoogleDns" << "DnsLeakProtection GoogleDns 500 " + dns;
        QTest::newRow("own, preferred typed") << kProtected << "Specify Preferred=10.0.0.1"
                                              << "DnsLeakProtection SpecifyDns 500 10.0.0.1 ... " + dns;
        QTest::newRow("DNS Reset") << kOwn << "GoogleDns Preferred=172.16.0.1 DnsReset"
                                   << "DnsLeakProtection SpecifyDns 500 192.0.2.1 192.0.2.2";
        QTest::newRow("launch clicked back") << "" << "Startup Startup" << "OpenDns 500 " + settings;
        QTest::newRow("interval 99") << "" << "VpnCheckInterval=99" << "OpenDns 99";
        QTest::newRow("interval 100") << "" << "VpnCheckInterval=100" << "OpenDns 100 " + settings;
        QTest::newRow("interval 99 after a click") << "" << "Startup VpnCheckInterval=99" << "Startup OpenDns 99 " + settings;
        QTest::newRow("settings Reset") << "launch-on-system-startup=true\ncheck-vpn-interval=1500"
                                        << "Startup Reconnection VpnCheckInterval=700 SettingReset"
                                        << "Startup OpenDns 1500";
    }
    void tabs()
    {
        QFETCH(QString, settings); QFETCH(QString, steps); QFETCH(QString, shown);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Could not write the configuration file"));
        QTest::failOnWarning(QRegularExpression("Could not write the configuration file"));
        Window win(settings, "", true);
        win.act(steps);
        QCOMPARE(::shown(*win.w), shown);
    }

    // Apply saves (the next start shows it) or says why not; the protection switch is saved at once.
    void saving_data()
    {
        for (const char *column : { "steps", "warning", "restart" })
            QTest::addColumn<QString>(column);
        const QString kept = "Startup DnsLeakProtection GoogleDns 500", bad = "Warning: The Preferred DNS Server";
        QTest::newRow("empty middle groups") << "Specify Preferred=10.0..1 Alternative=8.8..4 DnsApply" << ""
                                             << "Startup DnsLeakProtection SpecifyDns 500 10.0.0.1 8.8.0.4";
        QTest::newRow("no preferred") << "Specify Alternative=8.8.4.4 onApplyDnsProtection"
                                      << "Warning: Please enter the Preferred DNS Server" << kept;
        QTest::newRow("group above 255") << "Specify Preferred=300.1.1.1 DnsApply" << bad << kept;
        QTest::newRow("protection off") << "DnsLeakProtection" << "" << "Startup OpenDns 500";
        QTest::newRow("settings Apply registers, even unchanged")
            << "Reconnection VpnCheckInterval=1500 SettingApply" << ""
            << "Startup Reconnection DnsLeakProtection GoogleDns 1500";
    }
    void saving()
    {
        QFETCH(QString, steps); QFETCH(QString, warning); QFETCH(QString, restart);
        Window win(kGoogle + "launch-on-system-startup=true");
        QString title, text;
        if (!warning.isEmpty())
            answerNextMessageBox(QMessageBox::Ok, &title, &text);
        win.act(steps);
        QVERIFY2((title + ": " + text).startsWith(warning), qPrintable(text));
        SharedConfig saved(win.cfg->filePath());
        QCOMPARE(::shown(MainWindow(nullptr, &saved)), restart);
        QCOMPARE(win.cfg->preferredDnsServer, saved.preferredDnsServer); // a refused address is not kept in memory
        QCOMPARE(QFile::exists(win.wd.filePath("autostart/Orvi.desktop")), steps.endsWith("SettingApply"));
    }
};

QTEST_MAIN(TestNetworkSettings)
#include "tst_networksettings.moc"
