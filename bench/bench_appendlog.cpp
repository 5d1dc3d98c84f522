// Appends 20,000 log entries of about 220 characters and reports, for the connection log and for
// QPlainTextEdit::appendPlainText of the same texts in the same run: the cost of the last 1,000
// entries against the first 1,000, and the heap kept per entry.
#include "config/sharedconfig.h"
#include "mainwindow/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <cstdio>
#include <malloc.h>

namespace {

const int kEntries = 20000;
const int kSlice = 1000;

QString entryText(int i)
{
    return QStringLiteral("Sun Dec  6 10:00:00 2026 TCP/UDP: Preserving recently used remote address: "
                          "[AF_INET]203.0.113.7:1194, peer-id=%1, cipher AES-256-GCM, data channel "
                          "initialised with 256 bit keys, link-mtu 1557, tun-mtu 1500, keepalive 10 120")
        .arg(i, 6, 10, QLatin1Char('0'));
}

size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd; // large blocks are mapped apart from the heap
}

template <typename Append>
void measure(const char *name, Append append)
{
    QElapsedTimer timer;
    qint64 first = 0;
    qint64 last = 0;
    const size_t before = heapInUse();
    for (int i = 0; i < kEntries; ++i) {
        if (i == 0 || i == kEntries - kSlice)
            timer.start();
        append(i);
        if (i == kSlice - 1)
            first = timer.nsecsElapsed();
        if (i == kEntries - 1)
            last = timer.nsecsElapsed();
    }
    const double perEntry = double(heapInUse() - before) / kEntries;
    std::printf("%-16s first 1000: %8.2f ms  last 1000: %8.2f ms  ratio last/first: %.2f  heap per entry: %6.0f B\n",
                name, first / 1e6, last / 1e6, double(last) / double(first), perEntry);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("ORVI_PING_HOST", "127.0.0.1");
    qputenv("ORVI_PUBLIC_IP_URL", "http://127.0.0.1:9/ipv4bot/");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());

    SharedConfig config(dir.filePath(QStringLiteral("shared_config.ini")));
    MainWindow window(nullptr, &config);
    std::printf("%d entries of %lld characters\n", kEntries, qint64(entryText(0).size() + 22));
    measure("appendLog", [&](int i) { window.appendLog(entryText(i), i % 7 == 0); });

    QPlainTextEdit plain;
    plain.setReadOnly(true);
    measure("appendPlainText", [&](int i) {
        plain.appendPlainText(QStringLiteral("[2026-12-06 10:00:00] ") + entryText(i));
    });

    // One output chunk of 1 MB in 4,000 lines, as OpenVPN may print at once.
    QString chunk;
    for (int i = 0; chunk.size() < (1 << 20); ++i)
        chunk += entryText(i) + QLatin1Char('\n');
    QElapsedTimer timer;
    timer.start();
    window.appendLog(chunk, false);
    const qint64 logNs = timer.nsecsElapsed();
    timer.start();
    plain.appendPlainText(chunk);
    std::printf("one 1 MB chunk: appendLog %.1f ms, appendPlainText %.1f ms\n", logNs / 1e6, timer.nsecsElapsed() / 1e6);
    return 0;
}
