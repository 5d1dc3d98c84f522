#include "config/sharedconfig.h"
#include "engine/connectionsink.h"
#include "engine/openvpn/cvpnproc.h"
#include "support/tempworkdir.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cstring>

namespace {

// The texts that decide a connecting attempt, by rule; the first rule that matches a chunk wins. The first rule
// takes any device name between "TUNSETIFF " and ":"; the second's last two are Linux's wording.
const QList<QByteArrayList> kRules = {
    { "Cannot ioctl TUNSETIFF tun: Operation not permitted" },
    { "Connection timed out (WSAETIMEDOUT)", "Connection refused (WSAECONNREFUSED)", "TLS Error: TLS handshake failed",
      "Connection refused", "Connection timed out" },
    { "TLS Error: Need PEM pass phrase for private key", "EVP_DecryptFinal:bad decrypt", "PKCS12_parse:mac verify failure",
      "Received AUTH_FAILED control message", "Received control message: AUTH_FAILED", "Auth username is empty" },
    { "error=certificate has expired" },
};
const QByteArray kCompleted = "Initialization Sequence Completed";
// What each rule leaves while connecting: the state, then the reason logged.
const QStringList kOutcomes = { "0 privilege", "1 one connection error", "0 Authorization failed!", "0 Connection timed out!" };

// Pieces of OpenVPN-like output, and of what no program should print but one might.
QByteArray piece(QRandomGenerator &random)
{
    const QByteArrayList &rule = kRules.at(random.bounded(int(kRules.size())));
    const QByteArray marker = random.bounded(8) ? rule.at(random.bounded(int(rule.size()))) : kCompleted;
    QByteArray bytes(random.bounded(200), '\0');
    switch (random.bounded(7)) {
    case 0: // any bytes, NUL included
        for (char &byte : bytes)
            byte = char(random.bounded(256));
        return bytes;
    case 1: return marker;
    case 2: return marker.left(random.bounded(1, int(marker.size()))); // cut at a chunk's edge
    case 3: return marker.mid(random.bounded(1, int(marker.size())));
    case 4: return QByteArray("\xff\xfe\xc3\x28\xe2\x82\xf0\x9f", 1 + random.bounded(8)); // invalid UTF-8
    case 5: return QByteArray(1, '\0');
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

// Chunks of output the program never promised, through the path its real output takes.
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
        QRandomGenerator random(20261206);
        for (int n = 0; n < 400; ++n) {
            QByteArray chunk;
            for (int pieces = random.bounded(1, 6); pieces > 0; --pieces)
                chunk += piece(random);
            std::memset(&proc.attempt, 0, sizeof proc.attempt);
            qstrcpy(proc.attempt.consoleLogName, "openvpn_console.txt");
            proc.attempt.state = 1;
            sink.entries.clear();
            proc.takeOutput(chunk);

            // Text ends at the first NUL; invalid bytes are replaced, which leaves the ASCII markers whole.
            const QString text = QString::fromLocal8Bit(chunk.left(chunk.indexOf('\0') < 0 ? chunk.size() : chunk.indexOf('\0')));
            const QByteArray seen = text.toUtf8();
            static const QRegularExpression privilege("Cannot ioctl TUNSETIFF [^\\n]*: Operation not permitted");
            int rule = privilege.match(text).hasMatch() ? 0 : 1;
            while (rule < kRules.size() && std::none_of(kRules[rule].begin(), kRules[rule].end(), [&](const QByteArray &m) { return seen.contains(m); }))
                ++rule;
            QString expected = rule < kRules.size() ? kOutcomes[rule] : "1";
            if (seen.contains(kCompleted)) // connected, a rule that stops still stops, without a reason
                expected = rule == 0 || rule == 3 ? "0" : "2";
            const QString reason = sink.entries.filter("Connection Error - ").value(0).section(" - ", 1);
            const QString outcome = QString::number(proc.attempt.state) + (proc.attempt.connectionErrorCount ? " one connection error" : "")
                + (reason.contains("tunnel device") ? " privilege" : reason.isEmpty() ? "" : ' ' + reason);
            QVERIFY2(!sink.entries.isEmpty() && sink.entries.first() == text, qPrintable(QString::number(n))); // one entry each
            QCOMPARE(outcome, expected);
        }
    }
};

QTEST_MAIN(TestOutputFuzz)
#include "tst_outputfuzz.moc"
