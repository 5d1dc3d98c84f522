#include "ping.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <climits>

namespace {

// One echo normally ends within seconds; this only stops a ping stuck on name
// resolution from freezing the window for good.
const int kPingWaitMs = 30000;

} // namespace

qint16 pingAverageMs(const QString &host)
{
    QProcess ping;
    // The statistics line is parsed, so ask for it untranslated where the locale matters.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    ping.setProcessEnvironment(environment);
    ping.start(QStringLiteral("ping"), pingArguments(host), QIODevice::ReadWrite);

    if (!ping.waitForFinished(kPingWaitMs)) {
        ping.kill();
        ping.waitForFinished(1000);
        return 0;
    }
    const int average = pingAverageFromOutput(QString::fromLocal8Bit(ping.readAllStandardOutput()));
    ping.close();
    return static_cast<qint16>(static_cast<quint16>(static_cast<unsigned int>(average) & 0xFFFFu));
}

int windowsPingAverage(const QString &output)
{
    // "Minimum = 1ms, Maximum = 3ms, Average = 2ms": the number starts 10 characters
    // after "Average". Without the word the search gives -1 and the text from
    // position 9 is taken, which as a rule is no number.
    const int at = output.indexOf(QLatin1String("Average"));
    QString rest = output.mid(at + 10);
    rest.remove(QLatin1String("ms"));
    return rest.trimmed().toInt();
}

int unixPingAverage(const QString &output)
{
    // iputils: "rtt min/avg/max/mdev = 0.045/0.052/0.061/0.007 ms"
    // busybox: "round-trip min/avg/max = 0.081/0.081/0.081 ms"
    const int fields = output.indexOf(QLatin1String("min/avg/max"));
    if (fields < 0)
        return 0;
    const int equals = output.indexOf(QLatin1Char('='), fields);
    if (equals < 0)
        return 0;
    int lineEnd = output.indexOf(QLatin1Char('\n'), equals);
    if (lineEnd < 0)
        lineEnd = output.size();
    const QStringList values = output.mid(equals + 1, lineEnd - equals - 1).trimmed().split(QLatin1Char('/'));
    if (values.size() < 3)
        return 0;

    bool ok = false;
    const double average = values.at(1).trimmed().toDouble(&ok);
    if (!ok || average < 0 || average >= static_cast<double>(INT_MAX))
        return 0;
    // Whole milliseconds, truncated: an answer faster than 1 ms reads 0.
    return static_cast<int>(average);
}
