#include "engine/ras/crasdialer.h"
#include "support/testwindow.h"

#include <QtTest>
#include <QtWidgets>

#include <thread>

namespace {

using u32 = std::uint32_t;

// A remote access service that records each call with its arguments, answers the polls of a dial with the
// scripted states (the last one repeats) and reports error at pump errorAtPump from a thread of its own.
class ScriptedRasApi : public RasApi
{
public:
    QList<u32> states = { RasStateConnected };
    int errorAtPump = 0;
    u32 error = 691, extended = 0, dialResult = 0, setEntryResult = 0, hangUpResult = 0;
    QStringList active, calls; // entry names of the active connections; the calls made
    bool exists = false; // the one phonebook entry
    RasEntry stored;

    u32 validateEntryName(const char16_t *n) override
    { return call("Validate " + s(n), exists ? RasErrorAlreadyExists : RasSuccess); }
    u32 getEntryProperties(const char16_t *n, RasEntry &e) override { e = stored; return call("Get " + s(n)); }
    u32 setEntryProperties(const char16_t *n, const RasEntry &e) override
    {
        stored = e;
        exists = exists || setEntryResult == 0;
        return call(QString("SetEntry %1 %2 dns=%3/%4 opts=0x%5/0x%6 enc=%7 strategy=%8")
                        .arg(s(n), s(e.deviceName), ip(e.dns), ip(e.dnsAlt)).arg(e.options, 0, 16)
                        .arg(e.options2, 0, 16).arg(e.encryptionType).arg(e.vpnStrategy), setEntryResult);
    }
    u32 setCredentials(const char16_t *n, const RasCredentials &c, bool clear) override
    {
        return call(QString("SetCredentials %1 key=%2 mask=%3 clear=%4").arg(s(n), s(c.password)).arg(c.mask)
                        .arg(clear));
    }
    u32 deleteEntry(const char16_t *n) override { exists = false; return call("Delete " + s(n)); }
    u32 dial(const RasDialParams &p, RasDialCallback notify, RasHandle &handle) override
    {
        callback = notify;
        pumps = polls = 0;
        handle = dialResult == 0 ? 101 : handle;
        return call(QStringList{ "Dial", s(p.entryName), s(p.phoneNumber), s(p.userName), s(p.password), s(p.domain) }
                        .join(' '), dialResult);
    }
    u32 connectStatus(RasHandle h, RasConnStatus &status) override
    { status.state = states.value(polls++, states.last()); return call(QString("Status %1").arg(h)); }
    u32 hangUp(RasHandle h) override { return call(QString("HangUp %1").arg(h), hangUpResult); }
    u32 enumConnections(RasConnection *records, u32 capacity, u32 &count) override
    {
        count = u32(active.size());
        for (u32 i = 0; i < count && i < capacity; ++i)
            std::memcpy(records[i].entryName, active[int(i)].utf16(), 2 * std::size_t(active[int(i)].size()));
        return call(QString("Enum %1").arg(capacity), capacity < count ? RasErrorBufferTooSmall : RasSuccess);
    }
    u32 errorString(u32 code, char16_t *buffer, u32) override
    {
        const QString text = QString("RAS error %1.").arg(code);
        std::memcpy(buffer, text.utf16(), 2 * std::size_t(text.size() + 1));
        return call(QString("ErrorString %1").arg(code));
    }
    void pumpOneMessage() override
    {
        if (++pumps == errorAtPump)
            std::thread([this] { callback(101, RasDialEventMessage, RasStateOpenPort, error, extended); }).join();
        QCoreApplication::processEvents();
    }
    void sleep(u32) override {}

private:
    u32 call(const QString &text, u32 result = RasSuccess) { calls << text; return result; }
    static QString s(const char16_t *field) { return QString::fromUtf16(field); }
    static QString ip(const RasIpv4Address &a) { return QString("%1.%2.%3.%4").arg(a.a).arg(a.b).arg(a.c).arg(a.d); }

    RasDialCallback callback = nullptr;
    int pumps = 0, polls = 0;
};

const QString kDial = "Dial Orvi vpn.example.test bob pw ", kConnected = "Connect to remote server successfully!";

// A window over the scripted service, with one PPTP profile in its list.
struct Client
{
    Client() : t("enable-dns-protection=true", { profile }, {}, &api) {}
    QStringList log() const // oldest first, without time stamps
    {
        QStringList lines = t.log().split('\n');
        std::reverse(lines.begin(), lines.end());
        return lines.filter(QRegularExpression(".")).replaceInStrings(QRegularExpression("^\\[.*?\\] "), "");
    }

    ScriptedRasApi api; // outlives the window, whose destructor still hangs up
    VpnServerInfo profile{ PPTP, "office", "vpn.example.test", "bob", "pw", QString(), "psk" };
    TestWindow t;
};
using Script = std::function<void(Client &)>;

} // namespace

class TestRasConnection : public QObject
{
    Q_OBJECT

private slots:
    // connectRas, DNS protection on: the entry as finally written (with optional encryption), the dial, the log;
    // then disconnectRas, which logs a recorded error again for each of its steps that fails.
    void connectRas_data()
    {
        QTest::addColumn<Script>("script");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QStringList>("log");
        const QString pptp = "SetEntry Orvi WAN Miniport (PPTP) dns=", l2tp = "SetEntry Orvi WAN Miniport (L2TP) dns=";
        const QString openDns = "208.67.222.222/208.67.220.220 opts=0x4e14", own = "opts=0x4e14/0x0 enc=3 strategy=1";
        const QStringList dialled = { pptp + openDns + "/0x0 enc=3 strategy=1", kDial }, done = { kConnected };
        const QStringList failed = dialled + QStringList{ "ErrorString 691", "HangUp 101", "Delete Orvi" };
        QTest::newRow("existing entry replaced, protection off")
            << Script([](Client &c) { c.api.exists = true; c.t.cfg->enableDnsProtection = false; }) << true
            << QStringList{ "Delete Orvi", pptp + "0.0.0.0/0.0.0.0 opts=0x4e10/0x0 enc=3 strategy=1", kDial } << done;
        QTest::newRow("L2TP, Google DNS")
            << Script([](Client &c) { c.profile.protocol = L2TP; c.t.cfg->dnsServer = GoogleDns; }) << true
            << QStringList{ "SetCredentials Orvi key=psk mask=16 clear=0",
                            l2tp + "8.8.8.8/8.8.4.4 opts=0x4e14/0x10 enc=3 strategy=3", kDial } << done;
        // The servers typed by the user go through parseDottedIpv4.
        QTest::newRow("own servers: blanks around 10.1.2.3, 300.1.1.1")
            << Script([](Client &c) { c.t.cfg->dnsServer = OwnServers; }) << true
            << QStringList{ pptp + "10.1.2.3/44.1.1.1 " + own, kDial } << done;
        QTest::newRow("failed setupEntry") << Script([](Client &c) { c.api.setEntryResult = 621; })
                                           << false << QStringList() << QStringList{ "Fail to Set Network Entry!" };
        QTest::newRow("active connection differing in case")
            << Script([](Client &c) { c.api.active = { "x", "oRVI" }; }) << false << dialled.mid(0, 1) << QStringList();
        QTest::newRow("server address over 128")
            << Script([](Client &c) { c.profile.serverAddress = QString(129, 'h'); }) << false << QStringList()
            << QStringList{ "Server address is too long (at most 128 characters)!" };
        QTest::newRow("error, extended code 5, hang-up fails too")
            << Script([](Client &c) { c.api.errorAtPump = 1; c.api.extended = 5; c.api.hangUpResult = 6; })
            << false << failed << QStringList(3, "RAS error 691. Extended   Code: 5");
        QTest::newRow("dial that does not start") << Script([](Client &c) { c.api.dialResult = 633; }) << false
            << dialled + QStringList{ "ErrorString 633", "Delete Orvi" } << QStringList(3, "RAS error 633.");
    }
    void connectRas()
    {
        QFETCH(Script, script);
        ::dialError.store(0); // what a dial of an earlier row recorded
        Client c;
        c.t.cfg->preferredDnsServer = " 10 . 1 .2 . 3 "; // the own servers of the rows that pick them
        c.t.cfg->alternativeDnsServer = "300.1.1.1";
        script(c);
        QTEST(c.t.w->connectRas(c.profile), "connected");
        QTEST(c.api.calls.filter(QRegularExpression("^(Delete|SetCred|Dial|Error|HangUp)|^SetEntry.*enc=3")), "calls");
        c.t.w->disconnectRas();
        QTEST(c.log(), "log");
    }
};

QTEST_MAIN(TestRasConnection)
#include "tst_rasconnection.moc"
