#include "config/sharedconfig.h"
#include "support/tempworkdir.h"

#include <QtTest>

static const QByteArray kStartupFile("[settings]\nalternative-dns-server=\ncheck-vpn-interval=500\ndns-server=0\n"
                                     "enable-dns-protection=false\nlaunch-on-system-startup=false\n"
                                     "preferred-dns-server=\nredial-automatically=false\n");

class TestSharedConfig : public QObject
{
    Q_OBJECT

    TempWorkDir dir; // each case writes the files it reads

private slots:
    // What a start makes of the [settings] lines: the file its start-up save writes, which older clients read too.
    void loadRules_data()
    {
        QTest::addColumn<QByteArray>("section"); QTest::addColumn<QByteArray>("written"); // section null: no file yet
        const QByteArray own("preferred-dns-server=1.2.3.4\nalternative-dns-server=5.6.7.8\n");
        QTest::newRow("no file, in a folder still to make") << QByteArray() << kStartupFile;
        QTest::newRow("kill switch, minimize on close: read, never written")
            << QByteArray("kill-switch=true\nminimize-on-close=true") << kStartupFile;
        QTest::newRow("interval 499 raised") << QByteArray("check-vpn-interval=499") << kStartupFile;
        QTest::newRow("dns protection off drops own servers") << "dns-server=2\n" + own << kStartupFile;
        QTest::newRow("dns own servers kept") << "enable-dns-protection=true\ndns-server=2\n" + own
            << QByteArray("[settings]\nalternative-dns-server=5.6.7.8\ncheck-vpn-interval=500\ndns-server=2\nenable-dns-protection=true\n"
                          "launch-on-system-startup=false\npreferred-dns-server=1.2.3.4\nredial-automatically=false\n");
        QTest::newRow("profiles stop at the first gap")
            << QByteArray("vpn-server-info-1=2, k, s, u, p, QUJD, First\nvpn-server-info-3=1, , s, u, p, , Third")
            << kStartupFile + "vpn-server-info-1=2, k, s, u, p, QUJD, First\n";
        QTest::newRow("bad profiles skipped, the rest renumbered")
            << QByteArray("vpn-server-info-1=1, k, s, u, p, Six\nvpn-server-info-2=1, k, s, u, p, , 8, x\n"
                          "vpn-server-info-3=3, k, s, u, p, , Three\nvpn-server-info-4=plain\nvpn-server-info-5=0, , , u, p, QUJD, Fifth")
            << kStartupFile + "vpn-server-info-1=0, , , u, p, QUJD, Fifth\n";
        // Base64 padding, commas and quotes are INI syntax, quoted and escaped as QSettings does; the rest is UTF-8.
        const QByteArray odd = R"(vpn-server-info-1=2, "ZGV2IHR1bgo=", "a, b; c", say \"C:\\x\\\", Home 🏠, "Y2xpZW50Cg==", Grüße Москва 東京)";
        QTest::newRow("INI syntax in the fields") << odd << kStartupFile + odd + '\n';
    }
    void loadRules()
    {
        QFETCH(QByteArray, section);
        const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
        const QString path = dir.filePath(section.isNull() ? "new/shared_config.ini" : "shared_config.ini");
        QVERIFY(section.isNull() || (dir.writeScript("shared_config.ini", "[settings]\n" + section)
                                     && QFile::setPermissions(path, owner | QFile::ReadOther)));
        SharedConfig cfg(path);
        // The file holds passwords: one that others can read is tightened as it is read, and a new one is never theirs.
        QVERIFY(section.isNull() || QFile::permissions(path) == owner);
        QCOMPARE(cfg.killSwitch && cfg.minimizeOnClose, section.startsWith("kill-switch")); // honoured for this run
        QVERIFY(cfg.save());
        QCOMPARE(QFile::permissions(path), owner);
        QTEST(TempWorkDir::readFile(path), "written");
    }

    void failedSaveReturnsFalse()
    {
        const QString path = dir.filePath("folder.ini"); // root ignores permission bits, so a folder stands in the way
        QVERIFY(QDir().mkdir(path));
        const QFile::Permissions folder = QFile::permissions(path);
        SharedConfig cfg(path);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("configuration file"));
        QVERIFY(!cfg.save());
        QCOMPARE(QFile::permissions(path), folder); // only files are tightened
    }

    // The real executable writes the entry from its Settings tab (tst_userdatafolder); here: quoting and removal.
    void launchAtLogon()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
        const QString entry = dir.filePath("autostart/Orvi.desktop");
        setLaunchArguments({ "--user-data", "two words" });
        setLaunchOnSystemStartup(true);
        setLaunchArguments({});
        const QString exec = QString(TempWorkDir::readFile(entry)).section("\nExec=", 1).section('\n', 0, 0);
        QCOMPARE(QProcess::splitCommand(exec), QStringList({ QCoreApplication::applicationFilePath(), "--user-data", "two words" }));
        setLaunchOnSystemStartup(false);
        QVERIFY(!QFile::exists(entry));
    }
};

QTEST_GUILESS_MAIN(TestSharedConfig)
#include "tst_sharedconfig.moc"
