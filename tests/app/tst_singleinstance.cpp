#include "app/singleinstance.h"
#include "config/sharedconfig.h"
#include "mainwindow/mainwindow.h"
#include "support/tempworkdir.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSharedMemory>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

#include <sys/ipc.h>
#include <sys/shm.h>

namespace {

const char *const kStarted = "Application started successfully.";
const char *const kRefused = "Can't start more than one instance of the application.";

// Looks a segment up without attaching: an attach and detach would remove a stale one.
// Qt derives the System V key of a native key with ftok(file, 'Q').
bool segmentExists(const char *keyName)
{
    QSharedMemory segment;
    setInstanceKey(segment, QString::fromLatin1(keyName));
    if (!QFile::exists(segment.nativeKey()))
        return false;
    const key_t key = ftok(QFile::encodeName(segment.nativeKey()).constData(), 'Q');
    return key != -1 && shmget(key, 0, 0) != -1;
}

bool segmentAttachable(const char *keyName)
{
    QSharedMemory segment;
    setInstanceKey(segment, QString::fromLatin1(keyName));
    return segment.attach(QSharedMemory::ReadOnly);
}

// One run of the real client executable.
class Client
{
public:
    Client(const QString &runtimeDir, const QString &workDir)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QT_FORCE_STDERR_LOGGING"), QStringLiteral("1"));
        env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
        env.insert(QStringLiteral("ORVI_PING_HOST"), QStringLiteral("127.0.0.1"));
        env.insert(QStringLiteral("ORVI_PUBLIC_IP_URL"), QStringLiteral("http://127.0.0.1:9/ipv4bot/"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(workDir);
    }

    ~Client()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    void start() { process.start(QStringLiteral(ORVI_EXECUTABLE), {}); }
    bool running() const { return process.state() != QProcess::NotRunning; }
    bool finished() const { return process.state() == QProcess::NotRunning; }

    // Everything written to standard error so far (Qt's debug and warning output).
    const QByteArray &errorOutput()
    {
        output += process.readAllStandardError();
        return output;
    }

    QProcess process;

private:
    QByteArray output;
};

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void secondStartEndsAndFirstKeepsRunning();
    void secondStartBringsWindowForward_data();
    void secondStartBringsWindowForward();
    void secondStartLeavesNoSegment();
    void startAfterKilledFirstRunsNormally();
    void staleMarkerWithoutKeyFileIsCleared();
    void killedSecondStartRaisesOnlyOnce();
    void tenStartsLeaveOneRunning();

private:
    Client *newClient();

    QByteArray savedRuntimeDir;
    QScopedPointer<QTemporaryDir> runtimeDir;
    QScopedPointer<QTemporaryDir> workDir;
    std::vector<std::unique_ptr<Client>> clients;
};

void TestSingleInstance::initTestCase()
{
    QVERIFY(QFile::exists(QStringLiteral(ORVI_EXECUTABLE)));
    savedRuntimeDir = qgetenv("XDG_RUNTIME_DIR");
}

void TestSingleInstance::init()
{
    // A private runtime folder per test, so no test ever sees the user's real segments or another test's.
    runtimeDir.reset(new QTemporaryDir);
    workDir.reset(new QTemporaryDir);
    QVERIFY(runtimeDir->isValid());
    QVERIFY(workDir->isValid());
    QVERIFY(QFile::setPermissions(runtimeDir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir->path()));
}

void TestSingleInstance::cleanup()
{
    clients.clear();
    // Segments outlive killed processes and the folder their keys were made from: remove them.
    for (const char *key : { kInstanceMarkerKey, kWakeUpSignalKey }) {
        QSharedMemory segment;
        setInstanceKey(segment, QString::fromLatin1(key));
        if (segment.attach())
            segment.detach();
    }
    runtimeDir.reset();
    workDir.reset();
}

void TestSingleInstance::cleanupTestCase()
{
    if (savedRuntimeDir.isNull())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", savedRuntimeDir);
}

Client *TestSingleInstance::newClient()
{
    clients.push_back(std::make_unique<Client>(runtimeDir->path(), workDir->path()));
    return clients.back().get();
}

void TestSingleInstance::secondStartEndsAndFirstKeepsRunning()
{
    Client *first = newClient();
    first->start();
    QTRY_VERIFY_WITH_TIMEOUT(first->errorOutput().contains(kStarted), 15000);

    Client *second = newClient();
    QElapsedTimer elapsed;
    elapsed.start();
    second->start();
    QTRY_VERIFY_WITH_TIMEOUT(second->finished(), 15000);

    QCOMPARE(second->process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->process.exitCode(), 0);
    // It holds the wake-up segment long enough for one probe of the first to see it.
    QVERIFY2(elapsed.elapsed() >= 2500, QByteArray::number(elapsed.elapsed()).constData());
    const QByteArray secondOutput = second->errorOutput();
    QVERIFY2(secondOutput.contains(kRefused), secondOutput.constData());
    QVERIFY2(!secondOutput.contains(kStarted), secondOutput.constData());
    QVERIFY(first->running());
    QVERIFY(!first->errorOutput().contains(kRefused));
}

void TestSingleInstance::secondStartBringsWindowForward_data()
{
    QTest::addColumn<bool>("minimizeOnClose");

    QTest::newRow("hidden in the tray") << false;
    QTest::newRow("minimized on the task bar") << true;
}

void TestSingleInstance::secondStartBringsWindowForward()
{
    QFETCH(bool, minimizeOnClose);

    // The running copy is this process, so its window can be watched.
    QSharedMemory marker;
    QVERIFY2(createInstanceMarker(marker), qPrintable(marker.errorString()));
    TempWorkDir wd;
    SharedConfig cfg(wd.filePath(QStringLiteral("shared_config.ini")));
    cfg.minimizeOnClose = minimizeOnClose;
    MainWindow window(nullptr, &cfg);
    window.show();
    if (minimizeOnClose) {
        window.showMinimized();
        QTRY_VERIFY(window.isMinimized());
    } else {
        window.hide();
    }

    Client *second = newClient();
    second->start();
    QTRY_VERIFY_WITH_TIMEOUT(window.isVisible() && !window.isMinimized(), 8000);

    QTRY_VERIFY_WITH_TIMEOUT(second->finished(), 15000);
    QCOMPARE(second->process.exitCode(), 0);
    QVERIFY(second->errorOutput().contains(kRefused));
}

void TestSingleInstance::secondStartLeavesNoSegment()
{
    // Only the second start touches the wake-up key here: no window probes it.
    QSharedMemory marker;
    QVERIFY2(createInstanceMarker(marker), qPrintable(marker.errorString()));

    Client *second = newClient();
    second->start();
    QTRY_VERIFY_WITH_TIMEOUT(segmentExists(kWakeUpSignalKey), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(second->finished(), 15000);
    QCOMPARE(second->process.exitCode(), 0);
    QVERIFY(second->errorOutput().contains(kRefused));

    QVERIFY(!segmentExists(kWakeUpSignalKey));
    QVERIFY(!segmentAttachable(kWakeUpSignalKey));
    // The live marker was left alone.
    QVERIFY(segmentExists(kInstanceMarkerKey));
}

void TestSingleInstance::startAfterKilledFirstRunsNormally()
{
    Client *first = newClient();
    first->start();
    QTRY_VERIFY_WITH_TIMEOUT(first->errorOutput().contains(kStarted), 15000);
    first->process.kill();
    QTRY_VERIFY_WITH_TIMEOUT(first->finished(), 10000);
    QVERIFY2(segmentExists(kInstanceMarkerKey), "a killed client leaves its marker behind");

    Client *next = newClient();
    next->start();
    QTRY_VERIFY_WITH_TIMEOUT(next->errorOutput().contains(kStarted), 15000);
    QVERIFY(next->running());

    // The new copy holds a live marker of its own.
    Client *third = newClient();
    third->start();
    QTRY_VERIFY_WITH_TIMEOUT(third->finished(), 15000);
    QCOMPARE(third->process.exitCode(), 0);
    QVERIFY(third->errorOutput().contains(kRefused));
    QVERIFY(next->running());
}

void TestSingleInstance::staleMarkerWithoutKeyFileIsCleared()
{
    // A runtime folder cleared at logout loses the key files but not the segments. A new key file
    // that gets the inode of an old one gets its System V key too, and meets the old segment.
    for (int attempt = 0; attempt < 10; ++attempt) {
        QString keyFile;
        key_t key = -1;
        {
            QSharedMemory earlier;
            QVERIFY2(createInstanceMarker(earlier), qPrintable(earlier.errorString()));
            keyFile = earlier.nativeKey();
            key = ftok(QFile::encodeName(keyFile).constData(), 'Q');
        }
        QVERIFY(!QFile::exists(keyFile));
        const int stale = shmget(key, 512, IPC_CREAT | IPC_EXCL | 0600);
        if (stale == -1)
            continue;

        QSharedMemory marker;
        const bool created = createInstanceMarker(marker);
        struct shmid_ds info;
        const bool staleRemains = shmctl(stale, IPC_STAT, &info) == 0;
        if (staleRemains)
            shmctl(stale, IPC_RMID, nullptr);
        if (created && staleRemains)
            continue; // the new key file got another inode: the keys never met
        QVERIFY2(created, qPrintable(marker.errorString()));
        return;
    }
    QSKIP("The file system never reused the key file's inode, so the clash cannot be set up here.");
}

void TestSingleInstance::killedSecondStartRaisesOnlyOnce()
{
    QSharedMemory marker;
    QVERIFY2(createInstanceMarker(marker), qPrintable(marker.errorString()));
    TempWorkDir wd;
    SharedConfig cfg(wd.filePath(QStringLiteral("shared_config.ini")));
    MainWindow window(nullptr, &cfg);
    window.show();
    window.hide();

    // A second start that dies while holding the wake-up segment cannot release it itself.
    Client *second = newClient();
    second->start();
    QTRY_VERIFY_WITH_TIMEOUT(segmentExists(kWakeUpSignalKey), 10000);
    second->process.kill();
    QTRY_VERIFY_WITH_TIMEOUT(second->finished(), 10000);

    QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), 8000);
    QTRY_VERIFY_WITH_TIMEOUT(!segmentExists(kWakeUpSignalKey), 8000);

    // Back in the tray, the next probe finds nothing and leaves the window there.
    window.hide();
    window.onUniqueInstanceChecking();
    QVERIFY(!window.isVisible());
}

void TestSingleInstance::tenStartsLeaveOneRunning()
{
    const int starts = 10;
    for (int i = 0; i < starts; ++i)
        newClient()->start();

    const auto finishedCount = [this] {
        int count = 0;
        for (const auto &client : clients)
            count += client->finished() ? 1 : 0;
        return count;
    };
    QTRY_COMPARE_WITH_TIMEOUT(finishedCount(), starts - 1, 30000);

    int runningClients = 0;
    for (const auto &client : clients) {
        if (client->running()) {
            ++runningClients;
            QTRY_VERIFY_WITH_TIMEOUT(client->errorOutput().contains(kStarted), 15000);
        } else {
            QCOMPARE(client->process.exitStatus(), QProcess::NormalExit);
            QCOMPARE(client->process.exitCode(), 0);
            const QByteArray output = client->errorOutput();
            QVERIFY2(output.contains(kRefused) && !output.contains(kStarted), output.constData());
        }
    }
    QCOMPARE(runningClients, 1);
}

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
