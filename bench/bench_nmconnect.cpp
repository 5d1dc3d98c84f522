// Connecting an OpenVPN profile through NetworkManager: the client's way (the plugin's importer, then one
// volatile activation bound to the client) against `nmcli connection up` of the same configuration imported with
// nmcli, in turns, on the isolated NetworkManager and OpenVPN server the tests use. Needs root; run by hand:
//   build/bench/bench_nmconnect [rounds]
#include "config/sharedconfig.h"
#include "engine/connectionsink.h"
#include "engine/networkmanager/networkmanageropenvpn.h"
#include "support/openvpnserver.h"
#include "support/realnetworkmanager.h"
#include "support/tempworkdir.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <cstdio>

namespace {

struct Sink : ConnectionSink
{
    void appendLog(const QString &, bool) override {}
    void setConnectionState(int value) override { state = value; }
    int state = 0;
};

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

int nmcli(const QStringList &arguments)
{
    return QProcess::execute("nmcli", arguments);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? QByteArray(argv[1]).toInt() : 10;
    RealNetworkManager real;
    OpenVpnServer server;
    QString missing = real.start({ "openvpn" });
    if (missing.isEmpty()) {
        real.inNamespace("ip link set lo up");
        missing = server.start(real.netns);
    }
    if (!missing.isEmpty()) {
        std::fprintf(stderr, "cannot run here: %s\n", qPrintable(missing));
        return 1;
    }
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    TempWorkDir wd;
    wd.writeScript("config.ovpn", server.clientConfig());
    // nmcli's own way, as a user would set it up once: import, then the credentials kept with the connection.
    qputenv("HOME", QFile::encodeName(wd.path()));
    if (nmcli({ "--terse", "connection", "import", "type", "openvpn", "file", "config.ovpn" }) != 0
        || nmcli({ "connection", "modify", "config", "vpn.user-name", "alice", "+vpn.data", "password-flags=0",
                   "vpn.secrets", "password=correct horse", "ipv4.dns", "8.8.8.8,8.8.4.4", "ipv4.ignore-auto-dns", "yes" })
            != 0)
        return 1;

    SharedConfig config(wd.filePath("shared_config.ini"));
    config.enableDnsProtection = true;
    config.dnsServer = GoogleDns;
    Sink sink;
    NetworkManagerOpenVpn engine(sink, config, ORVI_IMPORTER);
    engine.probe();
    QString whyNot;
    if (!QTest::qWaitFor([&] { return engine.available(&whyNot); }, 10000)) {
        std::fprintf(stderr, "NetworkManager's OpenVPN is not available: %s\n", qPrintable(whyNot));
        return 1;
    }
    QList<double> client, plain, ratios;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        engine.prepare("alice", "correct horse");
        engine.start();
        if (!QTest::qWaitFor([&] { return sink.state == 2; }, 30000))
            return 1;
        client << clock.nsecsElapsed() / 1e6;
        engine.stop(true);
        (void)QTest::qWaitFor([&] { return real.connectionIds().size() == 2; }, 10000); // the parent and nmcli's

        clock.restart();
        if (nmcli({ "connection", "up", "config" }) != 0)
            return 1;
        plain << clock.nsecsElapsed() / 1e6;
        nmcli({ "connection", "down", "config" });
        ratios << client.last() / plain.last();
    }
    std::printf("%d rounds, medians: client %.0f ms, nmcli connection up %.0f ms; client/nmcli %.2f (pair by pair)\n",
                rounds, median(client), median(plain), median(ratios));
    return 0;
}
