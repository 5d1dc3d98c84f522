#include "support/tempworkdir.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/types.h>

// The system's request to end the client takes the same road as the tray's Quit.
class TestTermination : public QObject
{
    Q_OBJECT

private slots:
    void signalEndsTheClientCleanly_data();
    void signalEndsTheClientCleanly();
};

void TestTermination::signalEndsTheClientCleanly_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void TestTermination::signalEndsTheClientCleanly()
{
    QFETCH(int, signalNumber);

    TempWorkDir wd;
    QTemporaryDir runtime;
    QVERIFY(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    QProcess client;
    client.setProcessEnvironment(env);
    client.setWorkingDirectory(wd.path());
    client.start(QStringLiteral(ORVI_EXECUTABLE), {});
    QVERIFY(client.waitForStarted());
    // The request is caught from the moment the start-up check has passed, even before the window exists.
    QByteArray output;
    QTRY_VERIFY_WITH_TIMEOUT((output += client.readAllStandardError()).contains("Application started successfully."),
                             15000);

    QCOMPARE(::kill(pid_t(client.processId()), signalNumber), 0);
    QVERIFY(client.waitForFinished(10000));
    QCOMPARE(client.exitStatus(), QProcess::NormalExit);
    QCOMPARE(client.exitCode(), 0);

    // The marker was released: nothing of it stays in the runtime folder.
    QCOMPARE(QDir(runtime.path()).entryList({ QStringLiteral("Orvi-20170428") }, QDir::Files), QStringList());
}

QTEST_MAIN(TestTermination)
#include "tst_termination.moc"
