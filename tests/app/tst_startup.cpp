#include "app/singleinstance.h"
#include "support/realclient.h"
#include "support/testwindow.h"

#include <QtTest>

#include <csignal>
#include <sys/ipc.h>
#include <sys/shm.h>

static const char *const kStarted = "Application started successfully.";
static const char *const kRefused = "Can't start more than one instance of the application.";

// Creating fails only where a segment is there; attaching instead would clear a stale one.
static bool segmentExists(const char *keyName)
{
    QSharedMemory probe;
    setInstanceKey(probe, keyName);
    return !probe.create(1) && probe.error() == QSharedMemory::AlreadyExists;
}

// The real executable: one copy per user, the system's request to end it taken as Quit, its files where --user-data says.
class TestStartup : public QObject
{
    Q_OBJECT

    RealClient client{ "vpn-server-info-1=0, , , u, p, , n\n" };

    QStringList credentials() const { return QDir(client.runtime.path()).entryList({ "orvi-credentials-*" }, QDir::Files); }

private slots:
    // This process shares the clients' runtime folder, so it meets their segments; a "ping" lists what it inherited.
    void initTestCase()
    {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(client.runtime.path()));
        QDir::setCurrent(client.dir.path());
        QVERIFY(client.writeScript("openvpn.exe", "#!/bin/sh\necho $$ > openvpn.pid\nexec sleep 60\n"));
        QVERIFY(client.writeScript("bin/ping", "#!/bin/sh\nls -l /proc/$$/fd > fds && mv fds ping-fds\n"));
    }
    void cleanup()
    {
        client.process.close(); // kills it and waits
        QSharedMemory marker; // clears the marker a killed client left, and goes with this object
        createInstanceMarker(marker);
    }

    // A second start is refused and brings the running copy forward; a runtime folder gone brings nothing.
    void secondStartWakesTheFirst()
    {
        QSharedMemory marker; // this process is the running copy
        QVERIFY2(createInstanceMarker(marker), qPrintable(marker.errorString()));
        TestWindow t; // hidden until a second start wakes it
        client.start({}, "");
        // The window probes every 2 s; only a wake-up segment held across a probe brings it forward.
        QTRY_VERIFY_WITH_TIMEOUT(t.w->isVisible(), 10000);
        t.w.reset(); // its probes would clear a wake-up segment the second start left behind

        QTRY_VERIFY_WITH_TIMEOUT(client.process.state() == QProcess::NotRunning, 15000);
        QVERIFY(client.process.exitStatus() == QProcess::NormalExit && client.process.exitCode() == 0);
        QVERIFY2(client.output().contains(kRefused) && !client.output().contains(kStarted), client.output());
        QVERIFY(!segmentExists(kWakeUpSignalKey));

        const QString gone = client.runtime.path() + ".gone"; // the folder was looked up once, for the marker
        QVERIFY(QDir().rename(client.runtime.path(), gone));
        const auto restore = qScopeGuard([&] { QDir().rename(gone, client.runtime.path()); });
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Cannot watch for a second start"));
        QTest::failOnWarning(QRegularExpression("second start"));
        QVERIFY(!wakeUpRequested());
        QVERIFY(!wakeUpRequested()); // and said once
    }

    void staleMarkerWithoutKeyFileIsCleared()
    {
        // A runtime folder cleared at logout loses the key files but not the segments. A new key file
        // that gets the inode of an old one gets its System V key too, and meets the old segment.
        for (int attempt = 0; attempt < 10; ++attempt) {
            QSharedMemory earlier;
            QVERIFY2(createInstanceMarker(earlier), qPrintable(earlier.errorString()));
            const QString keyFile = earlier.nativeKey();
            const key_t key = ftok(QFile::encodeName(keyFile).constData(), 'Q');
            QVERIFY(earlier.detach() && !QFile::exists(keyFile));
            const int stale = shmget(key, 512, IPC_CREAT | IPC_EXCL | 0600);
            if (stale == -1)
                continue;
            QSharedMemory marker;
            const bool created = createInstanceMarker(marker);
            if (shmctl(stale, IPC_RMID, nullptr) == 0 && created)
                continue; // the new key file got another inode: the keys never met
            QVERIFY2(created, qPrintable(marker.errorString()));
            return;
        }
        QSKIP("The file system never reused the key file's inode, so the clash cannot be set up here.");
    }

    // A SIGKILL leaves the marker and the credential file behind, but takes OpenVPN along; of ten quick starts
    // after it one runs, and clears both.
    void oneOfTenStartsRunsAfterSigkill()
    {
        QFile::remove("openvpn.pid");
        client.start(); // and connect
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists("openvpn.pid"), 15000);
        QCOMPARE(credentials().size(), 1);
        const QByteArray stat = "/proc/" + TempWorkDir::readFile("openvpn.pid").trimmed() + "/stat";
        client.process.kill();
        QVERIFY(client.process.waitForFinished(10000));
        // A zombie no one has reaped yet counts as gone.
        QTRY_VERIFY_WITH_TIMEOUT(QByteArrayList({ "", "Z" }).contains(TempWorkDir::readFile(stat).split(' ').value(2)), 1000);
        QVERIFY2(segmentExists(kInstanceMarkerKey), "a killed client leaves its marker behind");
        std::array<RealClient, 10> others; // started by the same user, each in a working folder of its own
        for (RealClient &other : others) {
            other.environment.insert("XDG_RUNTIME_DIR", client.runtime.path());
            other.start({}, "");
        }
        const auto count = [&others](const char *text, bool running) {
            return std::count_if(others.begin(), others.end(), [&](RealClient &other) {
                return other.output().contains(text) && (other.process.state() == QProcess::Running) == running;
            });
        };
        QTRY_COMPARE_WITH_TIMEOUT(count(kRefused, false), 9, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(count(kStarted, true), 1, 15000);
        QCOMPARE(credentials(), QStringList());
    }

    // A close with no tray (offscreen) while OpenVPN starts takes the road of the tray's Quit.
    void closeWithoutTrayEndsTheClient()
    {
        QFile::remove("ping-fds");
        client.start({}, "orviuidriver:close");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists("ping-fds"), 15000);
        QVERIFY(!TempWorkDir::readFile("ping-fds").contains("socket:")); // children inherit no socket
        QTRY_COMPARE_WITH_TIMEOUT(client.process.state(), QProcess::NotRunning, 10000);
        QVERIFY(client.process.exitStatus() == QProcess::NormalExit && client.process.exitCode() == 0);
        QVERIFY(client.output().contains("--config \"./config.ovpn\"")); // it did start OpenVPN
        QCOMPARE(credentials(), QStringList());
    }

    void filesStayWhereTheClientWasStarted_data()
    {
        QTest::addColumn<bool>("userData"); QTest::addColumn<QByteArray>("ownOpenVpn"); QTest::addColumn<int>("signalNumber");
        QTest::newRow("by hand: working directory, nothing linked; SIGTERM") << false << QByteArray() << int(SIGTERM);
        QTest::newRow("installed: data folder, system OpenVPN linked; SIGINT") << true << QByteArray() << int(SIGINT);
        QTest::newRow("installed: the user's own openvpn.exe kept; SIGHUP") << true << QByteArray("#!/bin/sh\n# mine\n") << int(SIGHUP);
    }
    // Launch at logon, applied in each, brings the client back as it was started; the row's signal ends it as Quit does.
    void filesStayWhereTheClientWasStarted()
    {
        QFETCH(bool, userData); QFETCH(QByteArray, ownOpenVpn); QFETCH(int, signalNumber);
        RealClient fresh;
        const QString data = fresh.filePath("home/.local/share/Orvi Dudaru");
        const QString logon = fresh.filePath("home/.config/autostart/Orvi.desktop");
        QVERIFY(fresh.writeScript("bin/openvpn", "#!/bin/sh\n") && (ownOpenVpn.isEmpty() || fresh.writeScript(data + "/openvpn.exe", ownOpenVpn)));
        const QStringList option = userData ? QStringList{ "--user-data" } : QStringList();
        fresh.start({}, "orviuidriver:watch", option); // which has no profile to connect
        fresh.command("click StartupCheckBox\nclick SettingApplyButton");
        const QString used = userData ? data : fresh.dir.path();
        QTRY_VERIFY2_WITH_TIMEOUT(TempWorkDir::readFile(logon).endsWith("X-GNOME-Autostart-enabled=true\n"), fresh.output(), 15000);
        QVERIFY(::kill(pid_t(fresh.process.processId()), signalNumber) == 0);
        QVERIFY(fresh.process.waitForFinished(10000) && fresh.process.exitStatus() == QProcess::NormalExit && fresh.process.exitCode() == 0);
        QVERIFY(!QFile::exists(fresh.runtimePath(kInstanceMarkerKey))); // the marker was released
        const QString entry = TempWorkDir::readFile(logon);
        QCOMPARE(QProcess::splitCommand(entry.section("\nExec=", 1).section('\n', 0, 0)), QStringList(fresh.process.program()) + option);
        QCOMPARE(entry.section("\nPath=", 1).section('\n', 0, 0), used);
        QVERIFY(QFile::exists(used + "/shared_config.ini") && !QFile::exists(userData ? fresh.filePath("shared_config.ini") : data));
        QCOMPARE(QFileInfo(used + "/openvpn.exe").symLinkTarget(), userData && ownOpenVpn.isEmpty() ? fresh.filePath("bin/openvpn") : "");
        QVERIFY(ownOpenVpn.isEmpty() || TempWorkDir::readFile(used + "/openvpn.exe") == ownOpenVpn);
        if (userData && ownOpenVpn.isEmpty()) // made by the client, owner-only: the configuration in it holds passwords
            QCOMPARE(QFile::permissions(used) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
                     QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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
        RealClient fresh; // started by hand, which makes no key files for it
        fresh.process.setProcessChannelMode(QProcess::SeparateChannels); // what it says on standard output
        fresh.process.setProcessEnvironment(fresh.environment);
        fresh.process.start(ORVI_EXECUTABLE, arguments);
        QVERIFY(fresh.process.waitForFinished(10000) && fresh.process.exitStatus() == QProcess::NormalExit && fresh.process.exitCode() == 0);
        QVERIFY2(QString(fresh.output()).contains(QRegularExpression(answer)), fresh.output());
        // No home, no data folder, no configuration, no instance marker.
        for (const QString &folder : { fresh.dir.path(), fresh.runtime.path() })
            QVERIFY(QDir(folder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
