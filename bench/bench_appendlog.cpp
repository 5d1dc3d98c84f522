// Appends 10,000 log entries and compares the cost of the last 1,000 with the first 1,000.
// Prints the same figures for rewriting the whole log text per entry, for comparison.
#include "config/sharedconfig.h"
#include "mainwindow/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <cstdio>

namespace {

const int kEntries = 10000;
const int kSlice = 1000;

QString entryText(int i)
{
    return QStringLiteral("Wed Dec  6 10:00:00 2026 TCP/UDP: Preserving recently used remote address entry %1").arg(i);
}

template <typename Append>
void measure(const char *name, Append append)
{
    QElapsedTimer timer;
    qint64 first = 0;
    qint64 last = 0;
    for (int i = 0; i < kEntries; ++i) {
        if (i == 0 || i == kEntries - kSlice)
            timer.start();
        append(i);
        if (i == kSlice - 1)
            first = timer.nsecsElapsed();
        if (i == kEntries - 1)
            last = timer.nsecsElapsed();
    }
    std::printf("%-22s first 1000: %8.2f ms  last 1000: %8.2f ms  ratio last/first: %.2f\n", name, first / 1e6,
                last / 1e6, double(last) / double(first));
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("ORVI_PING_HOST", "127.0.0.1");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());

    SharedConfig config(dir.filePath(QStringLiteral("shared_config.ini")));
    MainWindow window(nullptr, &config);
    measure("appendLog", [&](int i) { window.appendLog(entryText(i), i % 7 == 0); });

    QPlainTextEdit plain;
    measure("whole-text rewrite", [&](int i) {
        plain.setPlainText(QStringLiteral("[2026-12-06 10:00:00] ") + entryText(i) + QStringLiteral("\n")
                           + plain.toPlainText());
    });
    return 0;
}
