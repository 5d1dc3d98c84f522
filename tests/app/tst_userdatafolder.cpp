#include "support/realclient.h"
#include "support/tempworkdir.h"

#include <QtTest>

// The installed client, started with --user-data, keeps its files in the user's data folder; started by
// hand it keeps them in the working directory. Each case runs the real executable afresh.
class TestUserDataFolder : public QObject
{
    Q_OBJECT

    std::unique_ptr<RealClient> client;

private slots:
    void init()
    {
        client = std::make_unique<RealClient>();
        QVERIFY(client->writeScript("bin/openvpn", "#!/bin/sh\n"));
    }

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
        const QString data = client->filePath("home/.local/share/Orvi Dudaru");
        const QString logon = client->filePath("home/.config/autostart/Orvi.desktop");
        QVERIFY(ownOpenVpn.isEmpty() || client->writeScript(data + "/openvpn.exe", ownOpenVpn));
        const QStringList option = userData ? QStringList{ "--user-data" } : QStringList();
        client->start({}, "orviuidriver:logon", option);
        const QString used = userData ? data : client->dir.path();
        QTRY_VERIFY2_WITH_TIMEOUT(TempWorkDir::readFile(logon).endsWith("X-GNOME-Autostart-enabled=true\n"), client->output(), 15000);
        client->process.terminate();
        QVERIFY(client->process.waitForFinished(10000) && client->process.exitStatus() == QProcess::NormalExit
                && client->process.exitCode() == 0);
        const QString entry = TempWorkDir::readFile(logon);
        QCOMPARE(QProcess::splitCommand(entry.section("\nExec=", 1).section('\n', 0, 0)), QStringList(client->process.program()) + option);
        QCOMPARE(entry.section("\nPath=", 1).section('\n', 0, 0), used);
        QVERIFY(QFile::exists(used + "/shared_config.ini"));

        if (!userData) {
            QVERIFY(!QFile::exists(data) && !QFileInfo(used + "/openvpn.exe").isSymLink());
            return;
        }
        QVERIFY(!QFile::exists(client->filePath("shared_config.ini")));
        if (ownOpenVpn.isEmpty()) {
            QCOMPARE(QFileInfo(used + "/openvpn.exe").symLinkTarget(), client->filePath("bin/openvpn"));
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
        client->process.setProcessChannelMode(QProcess::SeparateChannels); // what it says on standard output
        client->start({}, "", arguments);
        QVERIFY(client->process.waitForFinished(10000));
        QVERIFY(client->process.exitStatus() == QProcess::NormalExit && client->process.exitCode() == 0);
        const QString output = client->output();
        QVERIFY2(QRegularExpression(answer).match(output).hasMatch(), qPrintable(output));
        // No home, no data folder, no configuration, no instance marker.
        QCOMPARE(QDir(client->dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList("bin"));
        QVERIFY(QDir(client->runtime.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    }
};

QTEST_GUILESS_MAIN(TestUserDataFolder)
#include "tst_userdatafolder.moc"
