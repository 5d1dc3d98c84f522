// How the window answers while a PPTP dial waits for NetworkManager: the longest gap between the ticks of a 10 ms
// timer from the press of Connect to "Connected", with python3-dbusmock's NetworkManager answering at once and
// 1.5 s late, as a busy service or a permission check would. Run by hand: build/bench/bench_latedial
#include "engine/ras/rasapi_unix.h"
#include "support/networkmanagermock.h"
#include "support/testwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    for (const double delay : { 0.0, 1.5 }) {
        MockNetworkManager nm;
        if (!nm.start("[[1, 1], [2, 1], [3, 1], [4, 1], [5, 1]]", delay))
            return 1;
        TempWorkDir plugins;
        plugins.writeScript("nm-pptp-service.name", "");
        std::unique_ptr<RasApi> backend(createNetworkManagerRasApi({ plugins.path() }));
        TestWindow t("", { { PPTP, "office", "vpn.example.test", "bob", "pw", QString(), QString() } }, {}, backend.get());
        t.w->show();
        t.clickRow("VpnInfoListBox", 0);
        QElapsedTimer clock, sinceTick;
        qint64 longest = 0;
        QTimer ticks;
        QObject::connect(&ticks, &QTimer::timeout, [&] {
            longest = std::max(longest, sinceTick.restart());
        });
        ticks.start(10);
        clock.start();
        sinceTick.start();
        t.click("ConnectButton"); // returns once the dial has ended
        const qint64 total = clock.elapsed();
        const bool connected = t.get<QPushButton>("ConnectButton")->text() == "Connected";
        std::printf("NetworkManager answering %.1f s late: %s after %lld ms; longest gap between 10 ms ticks %lld ms\n",
                    delay, connected ? "Connected" : "not connected", total, longest);
    }
    return 0;
}
