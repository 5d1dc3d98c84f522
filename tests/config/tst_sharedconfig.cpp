#include "config/sharedconfig.h"
#include "support/tempworkdir.h"

#include <QtTest>

static const QByteArray kStartupFile("[settings]\nalternative-dns-server=\ncheck-vpn-interval=500\ndns-server=0\n"
                                     "enable-dns-protection=false\nlaunch-on-system-startup=false\n"
                                     "preferred-dns-server=\nredial-automatically=false\n");

// What load() made of a file, one "name=value;" per field the rules touch.
static QString summary(const SharedConfig &cfg)
{
    QStringList names;
    for (const VpnServerInfo &info : cfg.serverInfoList)
        names << info.nickname;
    return QString("interval=%1; dns=%2 %3 %4; profiles=%5;").arg(cfg.checkVpnInterval).arg(cfg.dnsServer)
        .arg(cfg.preferredDnsServer, cfg.alternativeDnsServer, names.join('|'));
}

class TestSharedConfig : public QObject
{
    Q_OBJECT

    QScopedPointer<QTemporaryDir> dir;
    QString path() const { return dir->filePath("shared_config.ini"); }
    // Writes a [settings] section to the file and returns its path.
    QString withFile(const QByteArray &section) const
    {
        QFile file(path());
        return file.open(QIODevice::WriteOnly) && file.write("[settings]\n" + section) > 0 ? path() : QString();
    }

private slots:
    void init() { dir.reset(new QTemporaryDir); }

    void startupFile()
    {
        const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
        const QString newPath = dir->filePath("new/shared_config.ini");
        SharedConfig fresh(newPath);
        QVERIFY(!fresh.killSwitch && !fresh.minimizeOnClose && fresh.save());
        QCOMPARE(TempWorkDir::readFile(newPath), kStartupFile);
        QCOMPARE(QFile::permissions(newPath), owner); // it holds passwords

        // Read and honoured for this run but never written; a file others can read is tightened.
        QVERIFY(QFile::setPermissions(withFile("kill-switch=true\nminimize-on-close=true"), owner | QFile::ReadOther));
        SharedConfig cfg(path());
        QCOMPARE(QFile::permissions(path()), owner);
        QVERIFY(cfg.killSwitch && cfg.minimizeOnClose && cfg.save());
        QCOMPARE(TempWorkDir::readFile(path()), kStartupFile);
    }

    void loadRules_data()
    {
        QTest::addColumn<QByteArray>("section"); QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const QByteArray &section, const char *expected) {
            QTest::newRow(name) << section << QString(expected);
        };
        row("interval 499 raised", "check-vpn-interval=499", "interval=500;");

        const QByteArray own("preferred-dns-server=1.2.3.4\nalternative-dns-server=5.6.7.8\n");
        row("dns protection off drops own servers", "dns-server=2\n" + own, "dns=0  ;");
        row("dns own servers kept", "enable-dns-protection=true\ndns-server=2\n" + own, "dns=2 1.2.3.4 5.6.7.8;");

        row("profiles stop at the first gap",
            "vpn-server-info-1=2, k, s, u, p, QUJD, First\nvpn-server-info-3=1, , s, u, p, , Third", "profiles=First;");
        row("bad profiles skipped", "vpn-server-info-1=1, k, s, u, p, Six\nvpn-server-info-2=1, k, s, u, p, , 8, x\n"
            "vpn-server-info-3=3, k, s, u, p, , Three\nvpn-server-info-4=plain\n"
            "vpn-server-info-5=1, , s, u, p, , Fifth", "profiles=Fifth;");
    }
    void loadRules()
    {
        QFETCH(QByteArray, section); QFETCH(QString, expected);
        SharedConfig cfg(withFile(section));
        QVERIFY2(summary(cfg).contains(expected), qPrintable(summary(cfg)));
        // The start-up save writes what was loaded, renumbered, and the next start reads the same.
        QVERIFY(cfg.save());
        QCOMPARE(summary(SharedConfig(path())), summary(cfg));
    }

    void savedProfiles()
    {
        SharedConfig cfg(path());
        cfg.serverInfoList = { { OpenVPN, "One", "one.net", "u1", "p1", "QUJD", "k1" },
                               { PPTP, "Two", "two.net", "u2", "p2", "", "k2" },
                               { L2TP, "Three", "three.net", "u3", "p3", "", "k3" } };
        QVERIFY(cfg.save());
        cfg.serverInfoList.removeAt(1);
        QVERIFY(cfg.save());
        const QStringList lines = QString(TempWorkDir::readFile(path())).split('\n').filter("vpn-server-info");
        QCOMPARE(lines, QStringList({ "vpn-server-info-1=0, k1, one.net, u1, p1, QUJD, One",
                                      "vpn-server-info-2=2, k3, three.net, u3, p3, , Three" }));
        QCOMPARE(SharedConfig(path()).serverInfoList, cfg.serverInfoList);

        // Base64 padding, commas and quotes are INI syntax; the rest must survive as UTF-8.
        cfg.serverInfoList.insert(1, { L2TP, "Grüße Москва 東京", "a, b; c", "say \"C:\\x\\\"", "Home \U0001F3E0",
                                       "Y2xpZW50Cg==", "ZGV2IHR1bgo=" });
        QVERIFY(cfg.save());
        QCOMPARE(SharedConfig(path()).serverInfoList, cfg.serverInfoList);
    }

    void failedSaveReturnsFalse()
    {
        // Root ignores permission bits, so a folder stands where the file should go.
        QVERIFY(QDir().mkdir(path()));
        const QFile::Permissions folder = QFile::permissions(path());
        SharedConfig cfg(path());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("configuration file"));
        QVERIFY(!cfg.save());
        QCOMPARE(QFile::permissions(path()), folder); // only files are tightened
    }

    // The real executable writes the entry from its Settings tab (tst_userdatafolder); here: quoting and removal.
    void launchAtLogon()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir->path()));
        const QString entry = dir->filePath("autostart/Orvi.desktop");
        setLaunchArguments({ "--user-data", "two words" });
        setLaunchOnSystemStartup(true);
        setLaunchArguments({});
        const QString exec = QString(TempWorkDir::readFile(entry)).section("\nExec=", 1).section('\n', 0, 0);
        QCOMPARE(QProcess::splitCommand(exec), QStringList({ QCoreApplication::applicationFilePath(), "--user-data", "two words" }));
        setLaunchOnSystemStartup(false);
        QVERIFY(!QFile::exists(entry));
        setLaunchOnSystemStartup(false); // nothing to remove: harmless
    }
};

QTEST_GUILESS_MAIN(TestSharedConfig)
#include "tst_sharedconfig.moc"
