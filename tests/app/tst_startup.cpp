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

// The real executable: one copy per user, and the system's request to end it taking the road of the tray's Quit.
class TestStartup : public QObject
{
    Q_OBJECT

    RealClient client{ "vpn-server-info-1=0, , , u, p, , n\n" };
    std::vector<std::unique_ptr<RealClient>> others; // started by the same user, each in a working folder of its own

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
        others.clear();
        QSharedMemory marker; // clears the marker a killed client left, and goes with this object
        createInstanceMarker(marker);
    }

    void secondStartIsRefused()
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
    }

    void goneRuntimeFolderIsNoWakeUp()
    {
        QVERIFY(!wakeUpRequested()); // the folder is looked up once
        const QString gone = client.runtime.path() + ".gone";
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

    // A SIGKILL leaves the marker and the credential file behind, but takes OpenVPN along; the next start clears both.
    void oneOfManyStartsRuns_data()
    {
        QTest::addColumn<bool>("afterSigkill");
        QTest::newRow("ten quick starts leave one running") << false;
        QTest::newRow("ten quick starts after SIGKILL while OpenVPN runs") << true;
    }
    void oneOfManyStartsRuns()
    {
        QFETCH(bool, afterSigkill);
        if (afterSigkill) {
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
        }
        for (int i = 0; i < 10; ++i) {
            others.push_back(std::make_unique<RealClient>());
            others.back()->environment.insert("XDG_RUNTIME_DIR", client.runtime.path());
            others.back()->start({}, "");
        }
        const auto count = [this](const char *text, bool running) {
            return std::count_if(others.begin(), others.end(), [&](const auto &other) {
                return other->output().contains(text) && (other->process.state() == QProcess::Running) == running;
            });
        };
        QTRY_COMPARE_WITH_TIMEOUT(count(kRefused, false), 9, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(count(kStarted, true), 1, 15000);
        QCOMPARE(credentials(), QStringList());
    }

    // Caught from the moment the start-up check has passed, even before the window exists; a close with no tray ends it alike.
    void signalEndsTheClientCleanly_data()
    {
        QTest::addColumn<int>("signalNumber"); // 0: the window is closed instead
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
        QTest::newRow("window closed while OpenVPN starts, no tray (offscreen)") << 0;
    }
    void signalEndsTheClientCleanly()
    {
        QFETCH(int, signalNumber);
        QFile::remove("ping-fds");
        client.start({}, signalNumber ? "" : "orviuidriver:close");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists("ping-fds"), 15000);
        QVERIFY(!TempWorkDir::readFile("ping-fds").contains("socket:")); // children inherit no socket
        QVERIFY(!signalNumber || ::kill(pid_t(client.process.processId()), signalNumber) == 0);
        QTRY_COMPARE_WITH_TIMEOUT(client.process.state(), QProcess::NotRunning, 10000); // a close may have ended it already
        QVERIFY(client.process.exitStatus() == QProcess::NormalExit && client.process.exitCode() == 0);
        QVERIFY(!QFile::exists(client.runtimePath(kInstanceMarkerKey))); // the marker was released
        QVERIFY(signalNumber || client.output().contains("--config \"./config.ovpn\"")); // it did start OpenVPN
        QCOMPARE(credentials(), QStringList());
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
