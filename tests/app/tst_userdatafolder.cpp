#include "support/tempworkdir.h"

#include <QtTest>

// The installed client, started with --user-data, keeps its files in the user's data folder; started by
// hand it keeps them in the working directory. Each case runs the real executable in a private home.
class TestUserDataFolder : public QObject
{
    Q_OBJECT

    QScopedPointer<TempWorkDir> sandbox;
    QString path(const QString &name) const { return sandbox->filePath(name); }
    QString dataFolder() const { return path("data/Orvi Dudaru"); }

    // Everything the client may touch lies in the sandbox: home, data, runtime folder and working directory.
    // driver: a QT_QPA_GENERIC_PLUGINS value that drives the window (tests/support/uidriver).
    void start(QProcess &client, const QStringList &arguments, const QString &driver = QString())
    {
        for (const char *folder : { "home", "runtime", "work", "bin" })
            QVERIFY(QDir().mkdir(path(folder), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(sandbox->writeScript("bin/openvpn", "#!/bin/sh\n"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", path("home"));
        env.insert("XDG_DATA_HOME", path("data"));
        env.insert("XDG_CONFIG_HOME", path("home/.config"));
        env.insert("XDG_RUNTIME_DIR", path("runtime"));
        env.insert("PATH", path("bin") + ':' + env.value("PATH"));
        if (!driver.isEmpty()) {
            env.insert("QT_PLUGIN_PATH", ORVI_TEST_PLUGINS);
            env.insert("QT_QPA_GENERIC_PLUGINS", driver);
        }
        client.setProcessEnvironment(env);
        client.setWorkingDirectory(path("work"));
        client.start(QStringLiteral(ORVI_EXECUTABLE), arguments);
    }

private slots:
    void init() { sandbox.reset(new TempWorkDir); }

    void filesStayWhereTheClientWasStarted_data()
    {
        QTest::addColumn<bool>("userData"); QTest::addColumn<QByteArray>("ownOpenVpn");
        QTest::newRow("by hand: working directory, nothing linked") << false << QByteArray();
        QTest::newRow("installed: data folder, system OpenVPN linked") << true << QByteArray();
        QTest::newRow("installed: the user's own openvpn.exe kept") << true << QByteArray("#!/bin/sh\n# mine\n");
    }
    // Launch at logon is applied in each, and brings the client back the way it was started, in the same folder.
    void filesStayWhereTheClientWasStarted()
    {
        QFETCH(bool, userData); QFETCH(QByteArray, ownOpenVpn);
        if (!ownOpenVpn.isEmpty())
            QVERIFY(QDir().mkpath(dataFolder()) && sandbox->writeScript("data/Orvi Dudaru/openvpn.exe", ownOpenVpn));
        QProcess client;
        const QStringList option = userData ? QStringList{ "--user-data" } : QStringList();
        start(client, option, "orviuidriver:logon");
        const QString used = userData ? dataFolder() : path("work"), logon = path("home/.config/autostart/Orvi.desktop");
        QTRY_VERIFY_WITH_TIMEOUT(TempWorkDir::readFile(logon).endsWith("X-GNOME-Autostart-enabled=true\n"), 15000);
        client.terminate();
        QVERIFY(client.waitForFinished(10000) && client.exitStatus() == QProcess::NormalExit && client.exitCode() == 0);
        const QString entry = TempWorkDir::readFile(logon);
        QCOMPARE(QProcess::splitCommand(entry.section("\nExec=", 1).section('\n', 0, 0)), QStringList(ORVI_EXECUTABLE) + option);
        QCOMPARE(entry.section("\nPath=", 1).section('\n', 0, 0), used);
        QVERIFY(QFile::exists(used + "/shared_config.ini"));

        if (!userData) {
            QVERIFY(!QFile::exists(path("data")) && !QFileInfo(used + "/openvpn.exe").isSymLink());
            return;
        }
        QVERIFY(!QFile::exists(path("work/shared_config.ini")));
        if (ownOpenVpn.isEmpty()) {
            QCOMPARE(QFileInfo(used + "/openvpn.exe").symLinkTarget(), path("bin/openvpn"));
            // Created owner-only: the configuration in it holds passwords.
            QCOMPARE(QFile::permissions(used) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
                     QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        } else {
            QCOMPARE(TempWorkDir::readFile(used + "/openvpn.exe"), ownOpenVpn);
        }
    }

    void answeredWithoutTouchingAnything_data()
    {
        QTest::addColumn<QStringList>("arguments"); QTest::addColumn<QString>("answer"); // a pattern
        QTest::newRow("--version, before --user-data is acted on") << QStringList{ "--user-data", "--version" } << "^Orvi Dudaru 1\\.0\\.0\n$";
        QTest::newRow("--help") << QStringList{ "--help" } << "^Usage: \\S*orvi-dudaru \\[options\\]\n(.|\n)*\n  --user-data ";
    }
    void answeredWithoutTouchingAnything()
    {
        QFETCH(QStringList, arguments); QFETCH(QString, answer);
        QProcess client;
        start(client, arguments);
        QVERIFY(client.waitForFinished(10000));
        QVERIFY(client.exitStatus() == QProcess::NormalExit && client.exitCode() == 0);
        const QString output = client.readAllStandardOutput();
        QVERIFY2(QRegularExpression(answer).match(output).hasMatch(), qPrintable(output));
        // No data folder, no configuration, no instance marker.
        QCOMPARE(QDir(sandbox->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList({ "bin", "home", "runtime", "work" }));
        for (const char *folder : { "home", "runtime", "work" })
            QVERIFY2(QDir(path(folder)).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), folder);
    }
};

QTEST_GUILESS_MAIN(TestUserDataFolder)
#include "tst_userdatafolder.moc"
