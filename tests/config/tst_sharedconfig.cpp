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
        QTest::newRow("no file, in a folder still to make") << QByteArray() << kStartupFile;
        QTest::newRow("interval 499 raised") << QByteArray("check-vpn-interval=499") << kStartupFile;
        QTest::newRow("dns protection off drops own servers")
            << QByteArray("dns-server=2\npreferred-dns-server=1.2.3.4\nalternative-dns-server=5.6.7.8") << kStartupFile;
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
};

QTEST_GUILESS_MAIN(TestSharedConfig)
#include "tst_sharedconfig.moc"
