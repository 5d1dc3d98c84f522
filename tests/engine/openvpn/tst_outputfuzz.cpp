#include "config/sharedconfig.h"
#include "engine/connectionsink.h"
#include "engine/openvpn/cvpnproc.h"
#include "support/tempworkdir.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

// Lines OpenVPN prints at the turns of an attempt, so that random chunks reach the turns and not only the log.
const QByteArrayList kLines = { "Initialization Sequence Completed", "SIGUSR1[soft,connection-reset] received, process restarting",
    "TCP: connect to [AF_INET]10.0.0.1:1194 failed: Connection refused", "AUTH: Received control message: AUTH_FAILED",
    "VERIFY ERROR: depth=0, error=certificate has expired", "ERROR: Cannot ioctl TUNSETIFF tun: Operation not permitted (errno=1)" };

// Pieces of OpenVPN-like output, and of what no program should print but one might.
QByteArray piece(QRandomGenerator &random)
{
    const QByteArray line = kLines.at(random.bounded(int(kLines.size())));
    QByteArray bytes(random.bounded(200), '\0');
    for (char &byte : bytes) // NULs and invalid UTF-8 among them
        byte = char(random.bounded(256));
    switch (random.bounded(4)) {
    case 0: return bytes;
    case 1: return line;
    case 2: return line.left(random.bounded(1, int(line.size()))); // cut at a chunk's edge
    default: return random.bounded(60) ? "TCP/UDP: Preserving recently used remote address\n" : QByteArray(1 << 20, 'x') + '\n';
    }
}

struct Sink : ConnectionSink
{
    void appendLog(const QString &text, bool) override { entries << text; }
    void setConnectionState(int) override {}
    QStringList entries;
};

} // namespace

// Chunks of output the program never promised, through the path its real output takes, connecting or connected.
// Which outcome a chunk has is left to the hand-written rows of tst_cvpnproc.
class TestOutputFuzz : public QObject
{
    Q_OBJECT

private slots:
    void chunks()
    {
        TempWorkDir wd;
        SharedConfig cfg(wd.filePath("shared_config.ini"));
        Sink sink;
        CVpnProc proc(nullptr, &sink, &cfg);
        qstrcpy(proc.attempt.consoleLogName, "openvpn_console.txt");
        QRandomGenerator random(20261206);
        for (int n = 0; n < 400; ++n) {
            QByteArray chunk;
            for (int pieces = random.bounded(1, 6); pieces > 0; --pieces)
                chunk += piece(random);
            proc.attempt.state = random.bounded(1, 3); // counters and flags carry over from chunk to chunk
            sink.entries.clear();
            const qint64 logged = QFileInfo("openvpn_console.txt").size();
            proc.takeOutput(chunk);
            // One entry, its text ending at the first NUL, invalid bytes replaced; the console log gets the same.
            const QString text = QString::fromUtf8(chunk.left(chunk.indexOf('\0') < 0 ? chunk.size() : chunk.indexOf('\0')));
            QVERIFY2(sink.entries.value(0) == text && sink.entries.count(text) == 1, qPrintable(QString::number(n)));
            QCOMPARE(QFileInfo("openvpn_console.txt").size() - logged, text.toUtf8().size() + 1);
        }
    }
};

QTEST_MAIN(TestOutputFuzz)
#include "tst_outputfuzz.moc"
