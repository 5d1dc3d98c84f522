#include "app/singleinstance.h"
#include "config/sharedconfig.h"
#include "mainwindow/mainwindow.h"
#include "support/tempworkdir.h"

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

static bool said(QProcess *client, const char *text) { return client->peek(1 << 16).contains(text); }

// The real executable: one copy per user, and the system's request to end it taking the road of the tray's Quit.
class TestStartup : public QObject
{
    Q_OBJECT

    TempWorkDir runtimeDir; // also the clients' working directory

    // driver: a QT_QPA_GENERIC_PLUGINS value that drives the window (tests/support/uidriver), or none.
    QProcess *startClient(const QString &driver = {})
    {
        auto *client = new QProcess(this);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_PLUGIN_PATH", ORVI_TEST_PLUGINS);
        environment.insert("QT_QPA_GENERIC_PLUGINS", driver);
        client->setProcessEnvironment(environment);
        client->setProcessChannelMode(QProcess::MergedChannels);
        client->start(ORVI_EXECUTABLE, {});
        return client;
    }

private slots:
    // A private runtime folder, so the test never meets the user's segments, and a "ping" that lists what it inherited.
    void initTestCase()
    {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
        QVERIFY(runtimeDir.writeScript("shared_config.ini", "[settings]\nvpn-server-info-1=0, , , u, p, , n\n"));
        QVERIFY(runtimeDir.writeScript("openvpn.exe", "#!/bin/sh\necho $$ > openvpn.pid\nexec sleep 60\n"));
        QVERIFY(QDir().mkdir("bin") && runtimeDir.writeScript("bin/ping", "#!/bin/sh\nls -l /proc/$$/fd > fds && mv fds ping-fds\n"));
        qputenv("PATH", QFile::encodeName(runtimeDir.filePath("bin")) + ':' + qgetenv("PATH"));
    }
    void cleanup()
    {
        const QList<QProcess *> clients = findChildren<QProcess *>();
        for (QProcess *client : clients)
            client->close(); // kills it and waits, so deleting it is quiet
        qDeleteAll(clients);
        QSharedMemory marker; // clears the marker a killed client left, and goes with this object
        createInstanceMarker(marker);
    }

    void secondStartIsRefused()
    {
        QSharedMemory marker; // this process is the running copy
        QVERIFY2(createInstanceMarker(marker), qPrintable(marker.errorString()));
        SharedConfig cfg("shared_config.ini");
        QScopedPointer<MainWindow> window(new MainWindow(nullptr, &cfg));
        QProcess *second = startClient();
        // The window probes every 2 s; only a wake-up segment held across a probe brings it forward.
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 10000);
        window.reset(); // its probes would clear a wake-up segment the second start left behind

        QTRY_VERIFY_WITH_TIMEOUT(second->state() == QProcess::NotRunning, 15000);
        QVERIFY(second->exitStatus() == QProcess::NormalExit && second->exitCode() == 0);
        QVERIFY2(said(second, kRefused) && !said(second, kStarted), second->peek(1 << 16).constData());
        QVERIFY(!segmentExists(kWakeUpSignalKey));
    }

    // OpenVPN ends with a killed client; the next start removes the credential file that was left.
    void sigkillTakesOpenVpnAlong()
    {
        QFile::remove("openvpn.pid");
        const QStringList credentials{ "orvi-credentials-*" };

        QScopedPointer<QProcess> client(startClient("orviuidriver"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists("openvpn.pid"), 15000);
        QCOMPARE(QDir().entryList(credentials, QDir::Files).size(), 1);
        const QByteArray stat = "/proc/" + TempWorkDir::readFile("openvpn.pid").trimmed() + "/stat";
        client->kill();
        QVERIFY(client->waitForFinished(10000));
        // A zombie no one has reaped yet counts as gone.
        const auto running = [&stat] { return !QByteArrayList{ "", "Z" }.contains(TempWorkDir::readFile(stat).split(' ').value(2)); };
        QTRY_VERIFY_WITH_TIMEOUT(!running(), 1000);

        QScopedPointer<QProcess> next(startClient());
        QTRY_VERIFY_WITH_TIMEOUT(said(next.data(), kStarted), 15000);
        QCOMPARE(QDir().entryList(credentials, QDir::Files), QStringList());
    }

    void goneRuntimeFolderIsNoWakeUp()
    {
        QVERIFY(!wakeUpRequested()); // the folder is looked up once
        const QString gone = runtimeDir.path() + ".gone";
        QVERIFY(QDir().rename(runtimeDir.path(), gone));
        const auto restore = qScopeGuard([&] { QDir().rename(gone, runtimeDir.path()); });
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

    void oneOfManyStartsRuns_data()
    {
        QTest::addColumn<bool>("afterSigkill"); QTest::addColumn<int>("starts");
        QTest::newRow("ten quick starts leave one running") << false << 10;
        QTest::newRow("ten quick starts after SIGKILL") << true << 10;
    }
    void oneOfManyStartsRuns()
    {
        QFETCH(bool, afterSigkill); QFETCH(int, starts);
        if (afterSigkill) {
            QScopedPointer<QProcess> first(startClient());
            QTRY_VERIFY_WITH_TIMEOUT(said(first.data(), kStarted), 15000);
            first->kill();
            QVERIFY(first->waitForFinished(10000));
            QVERIFY2(segmentExists(kInstanceMarkerKey), "a killed client leaves its marker behind");
        }
        for (int i = 0; i < starts; ++i)
            startClient();
        const auto count = [this](const char *text, bool running) {
            int n = 0;
            for (QProcess *client : findChildren<QProcess *>())
                n += said(client, text) && (client->state() == QProcess::Running) == running;
            return n;
        };
        QTRY_COMPARE_WITH_TIMEOUT(count(kRefused, false), starts - 1, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(count(kStarted, true), 1, 15000);
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
        QScopedPointer<QProcess> client(startClient(signalNumber ? "" : "orviuidriver:close"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists("ping-fds"), 15000);
        QVERIFY(!TempWorkDir::readFile("ping-fds").contains("socket:")); // children inherit no socket
        QVERIFY(!signalNumber || ::kill(pid_t(client->processId()), signalNumber) == 0);
        QTRY_COMPARE_WITH_TIMEOUT(client->state(), QProcess::NotRunning, 10000); // a close may have ended it already
        QVERIFY(client->exitStatus() == QProcess::NormalExit && client->exitCode() == 0);
        QVERIFY(!QFile::exists(kInstanceMarkerKey)); // the marker was released
        QVERIFY(signalNumber || said(client.data(), "--config \"./config.ovpn\"")); // it did start OpenVPN
        QCOMPARE(QDir().entryList({ "orvi-credentials-*" }, QDir::Files), QStringList());
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
