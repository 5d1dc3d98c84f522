#include "engine/ras/crasdialer.h"
#include "support/testwindow.h"

#include <QtTest>

#include <thread>

namespace {

using u32 = std::uint32_t;

// A remote access service that records the calls that change something and reports every dial connected at
// once, or, when error is set, reports it from a thread of its own as the dial starts.
class ScriptedRasApi : public RasApi
{
public:
    u32 error = 0, extended = 0, dialResult = 0, setEntryResult = 0;
    QStringList active, calls; // entry names of the active connections; the calls made
    RasEntry stored;           // the one phonebook entry, while exists
    bool exists = false;

    u32 validateEntryName(const char16_t *) override { return exists ? RasErrorAlreadyExists : RasSuccess; }
    u32 getEntryProperties(const char16_t *, RasEntry &e) override { e = stored; return RasSuccess; }
    u32 setEntryProperties(const char16_t *, const RasEntry &e) override
    {
        stored = e;
        exists = setEntryResult == 0;
        return call(QString("SetEntry %1 dns=%2/%3").arg(QString::fromUtf16(e.deviceName), ip(e.dns), ip(e.dnsAlt)), setEntryResult);
    }
    u32 setCredentials(const char16_t *, const RasCredentials &c, bool) override { return call("SetCredentials " + QString::fromUtf16(c.password)); }
    u32 deleteEntry(const char16_t *) override { exists = false; return call("Delete"); }
    u32 dial(const RasDialParams &, RasDialCallback notify, RasHandle &handle) override
    {
        handle = dialResult == 0 ? 101 : 0;
        if (error != 0)
            std::thread([=] { notify(101, RasDialEventMessage, RasStateOpenPort, error, extended); }).join();
        return call("Dial", dialResult);
    }
    u32 connectStatus(RasHandle, RasConnStatus &status) override { status.state = RasStateConnected; return RasSuccess; }
    u32 hangUp(RasHandle h) override { return call(QString("HangUp %1").arg(h)); }
    u32 enumConnections(RasConnection *records, u32 capacity, u32 &count) override
    {
        count = u32(active.size());
        for (u32 i = 0; i < count && i < capacity; ++i)
            put(records[i].entryName, active[int(i)]);
        return capacity < count ? RasErrorBufferTooSmall : RasSuccess;
    }
    u32 errorString(u32 code, char16_t *buffer, u32) override { put(buffer, QString("RAS error %1.").arg(code)); return RasSuccess; }
    void pumpOneMessage() override { QCoreApplication::processEvents(); }
    void sleep(u32) override {}

private:
    u32 call(const QString &text, u32 result = RasSuccess) { calls << text; return result; }
    static QString ip(const RasIpv4Address &a) { return QString("%1.%2.%3.%4").arg(a.a).arg(a.b).arg(a.c).arg(a.d); }
    static void put(char16_t *field, const QString &text) { std::memcpy(field, text.utf16(), 2 * std::size_t(text.size() + 1)); }
};

// A window over the scripted service, with its own DNS servers as a hand-edited file may hold them, and a profile.
struct Client
{
    ScriptedRasApi api; // outlives the window, whose destructor still hangs up
    TestWindow t{ "enable-dns-protection=true\ndns-server=2\npreferred-dns-server=\" 10 . 1 .2 . 3 \"\n"
                  "alternative-dns-server=300.1.1.1", {}, {}, &api };
    VpnServerInfo profile{ PPTP, "office", "vpn.example.test", "bob", "pw", QString(), "psk" };
};
using Script = std::function<void(Client &)>;

} // namespace

class TestRasConnection : public QObject
{
    Q_OBJECT

private slots:
    // connectRas: the result and the calls, the entry written once and again with the window's options (their bits:
    // tst_networkmanager); then disconnectRas, which logs a recorded error again for each of its steps that fails.
    void connectRas_data()
    {
        QTest::addColumn<Script>("script"); QTest::addColumn<bool>("connected");
        QTest::addColumn<QStringList>("calls"); QTest::addColumn<QStringList>("log");
        const QString pptp = "SetEntry WAN Miniport (PPTP) dns=10.1.2.3/44.1.1.1", l2tp = "SetEntry WAN Miniport (L2TP) dns=10.1.2.3/44.1.1.1";
        QTest::newRow("L2TP") << Script([](Client &c) { c.profile.protocol = L2TP; }) << true
            << QStringList{ l2tp, "SetCredentials psk", l2tp, "Dial" } << QStringList{ "Connect to remote server successfully!" };
        QTest::newRow("failed setupEntry") << Script([](Client &c) { c.api.setEntryResult = 621; }) << false
                                           << QStringList{ pptp } << QStringList{ "Fail to Set Network Entry!" };
        QTest::newRow("active connection differing in case")
            << Script([](Client &c) { c.api.active = { "x", "oRVI" }; }) << false << QStringList{ pptp, pptp } << QStringList();
        QTest::newRow("server address over 128")
            << Script([](Client &c) { c.profile.serverAddress = QString(129, 'h'); }) << false << QStringList()
            << QStringList{ "Server address is too long (at most 128 characters)!" };
        QTest::newRow("error with an extended code") << Script([](Client &c) { c.api.error = 691; c.api.extended = 5; }) << false
            << QStringList{ pptp, pptp, "Dial", "HangUp 101", "Delete" } << QStringList(2, "RAS error 691. Extended   Code: 5");
        QTest::newRow("dial that does not start, so no hang-up either") << Script([](Client &c) { c.api.dialResult = 633; }) << false
            << QStringList{ pptp, pptp, "Dial", "Delete" } << QStringList(3, "RAS error 633.");
    }
    void connectRas()
    {
        QFETCH(Script, script);
        ::dialError.store(0); // what a dial of an earlier row recorded
        Client c;
        script(c);
        QTEST(c.t.w->connectRas(c.profile), "connected");
        QTEST(c.api.calls, "calls");
        c.t.w->disconnectRas();
        // Without time stamps; newest first, but each row's lines are alike.
        QTEST(c.t.log().split('\n', Qt::SkipEmptyParts).replaceInStrings(QRegularExpression("^\\[.*?\\] "), ""), "log");
    }
};

QTEST_MAIN(TestRasConnection)
#include "tst_rasconnection.moc"
