#include "config/sharedconfig.h"
#include "support/tempworkdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;
const QFile::Permissions kGroupAndOthers = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
    | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;

bool writeFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(text) == text.size();
}

// The file's lines without blanks, for comparisons that do not depend on QSettings' key order.
QStringList fileLines(const QString &path)
{
    const QString text = QString::fromUtf8(TempWorkDir::readFile(path));
    QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    lines.sort();
    return lines;
}

QStringList profileKeysInFile(const QString &path)
{
    QSettings file(path, QSettings::IniFormat);
    file.beginGroup(QStringLiteral("settings"));
    QStringList keys = file.childKeys().filter(QRegularExpression(QStringLiteral("^vpn-server-info-")));
    keys.sort();
    return keys;
}

QStringList profileItemsInFile(const QString &path, int number)
{
    QSettings file(path, QSettings::IniFormat);
    return file.value(QStringLiteral("settings/vpn-server-info-%1").arg(number)).toStringList();
}

VpnServerInfo profile(int protocol, const QString &nickname)
{
    VpnServerInfo info;
    info.protocol = protocol;
    info.nickname = nickname;
    info.serverAddress = nickname.toLower() + QStringLiteral(".example.net");
    info.userName = QStringLiteral("user-") + nickname;
    info.password = QStringLiteral("pw-") + nickname;
    info.sharedKey = QStringLiteral("psk-") + nickname;
    info.ovpnConfig = QString::fromLatin1(QByteArray("client # " + nickname.toUtf8()).toBase64());
    return info;
}

QStringList nicknames(const QList<VpnServerInfo> &list)
{
    QStringList names;
    for (const VpnServerInfo &info : list)
        names << info.nickname;
    return names;
}

} // namespace

class TestSharedConfig : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void missingFileGivesDefaultsAndSevenKeys();
    void checkInterval_data();
    void checkInterval();
    void dnsNormalisation_data();
    void dnsNormalisation();
    void profileEntries_data();
    void profileEntries();
    void profileItemsInFileOrder();
    void removingMiddleProfileRenumbers();
    void base64RoundTrip_data();
    void base64RoundTrip();
    void keysReadButNeverWritten();
    void textRoundTrip_data();
    void textRoundTrip();
    void fileKeptPrivate_data();
    void fileKeptPrivate();
    void unwritableFileReportsFailure_data();
    void unwritableFileReportsFailure();
    void instanceUsesWorkingDirectoryOnce();
    void launchAtLogon_data();
    void launchAtLogon();

private:
    QString configPath() const { return dir->filePath(QStringLiteral("shared_config.ini")); }

    QScopedPointer<QTemporaryDir> dir;
    QByteArray savedConfigHome;
};

void TestSharedConfig::init()
{
    dir.reset(new QTemporaryDir);
    QVERIFY(dir->isValid());
    savedConfigHome = qgetenv("XDG_CONFIG_HOME");
}

void TestSharedConfig::cleanup()
{
    if (savedConfigHome.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", savedConfigHome);
    dir.reset();
}

void TestSharedConfig::missingFileGivesDefaultsAndSevenKeys()
{
    const QString path = dir->filePath(QStringLiteral("new/folder/shared_config.ini"));
    SharedConfig cfg(path);

    QCOMPARE(cfg.launchOnSystemStartup, false);
    QCOMPARE(cfg.redialAutomatically, false);
    QCOMPARE(cfg.minimizeOnClose, false);
    QCOMPARE(cfg.enableDnsProtection, false);
    QCOMPARE(cfg.killSwitch, false);
    QCOMPARE(cfg.checkVpnInterval, 500u);
    QCOMPARE(cfg.dnsServer, int(OpenDns));
    QVERIFY(cfg.preferredDnsServer.isEmpty());
    QVERIFY(cfg.alternativeDnsServer.isEmpty());
    QVERIFY(cfg.serverInfoList.isEmpty());

    QVERIFY(cfg.save());
    QStringList expected = { QStringLiteral("[settings]"),
                             QStringLiteral("alternative-dns-server="),
                             QStringLiteral("check-vpn-interval=500"),
                             QStringLiteral("dns-server=0"),
                             QStringLiteral("enable-dns-protection=false"),
                             QStringLiteral("launch-on-system-startup=false"),
                             QStringLiteral("preferred-dns-server="),
                             QStringLiteral("redial-automatically=false") };
    expected.sort();
    QCOMPARE(fileLines(path), expected);
}

void TestSharedConfig::checkInterval_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<quint32>("expected");

    QTest::newRow("100 raised") << QByteArray("check-vpn-interval=100\n") << 500u;
    QTest::newRow("0 raised") << QByteArray("check-vpn-interval=0\n") << 500u;
    QTest::newRow("499 raised") << QByteArray("check-vpn-interval=499\n") << 500u;
    QTest::newRow("500 kept") << QByteArray("check-vpn-interval=500\n") << 500u;
    QTest::newRow("1000 kept") << QByteArray("check-vpn-interval=1000\n") << 1000u;
    QTest::newRow("missing") << QByteArray() << 500u;
    QTest::newRow("not a number") << QByteArray("check-vpn-interval=fast\n") << 500u;
    QTest::newRow("-5 wraps to unsigned") << QByteArray("check-vpn-interval=-5\n") << 4294967291u;
}

void TestSharedConfig::checkInterval()
{
    QFETCH(QByteArray, line);
    QFETCH(quint32, expected);
    QVERIFY(writeFile(configPath(), "[settings]\n" + line));

    SharedConfig cfg(configPath());
    QCOMPARE(cfg.checkVpnInterval, expected);

    QVERIFY(cfg.save());
    QVERIFY(fileLines(configPath()).contains(QStringLiteral("check-vpn-interval=%1").arg(expected)));
    // What was written loads back to the same value on the next start.
    SharedConfig reloaded(configPath());
    QCOMPARE(reloaded.checkVpnInterval, expected);
}

void TestSharedConfig::dnsNormalisation_data()
{
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("dnsServer");
    QTest::addColumn<QString>("preferred");
    QTest::addColumn<QString>("alternative");

    const QByteArray servers("preferred-dns-server=1.2.3.4\nalternative-dns-server=5.6.7.8\n");
    QTest::newRow("protection off, own servers in file")
        << QByteArray("enable-dns-protection=false\ndns-server=2\n" + servers) << false << 0 << QString() << QString();
    QTest::newRow("protection missing, own servers in file")
        << QByteArray("dns-server=2\n" + servers) << false << 0 << QString() << QString();
    QTest::newRow("Google with servers in file")
        << QByteArray("enable-dns-protection=true\ndns-server=1\n" + servers) << true << 1 << QString() << QString();
    QTest::newRow("OpenDNS with servers in file")
        << QByteArray("enable-dns-protection=true\ndns-server=0\n" + servers) << true << 0 << QString() << QString();
    QTest::newRow("protection on, choice missing")
        << QByteArray("enable-dns-protection=true\n" + servers) << true << 0 << QString() << QString();
    QTest::newRow("own servers kept")
        << QByteArray("enable-dns-protection=true\ndns-server=2\n" + servers) << true << 2
        << QStringLiteral("1.2.3.4") << QStringLiteral("5.6.7.8");
    QTest::newRow("own servers missing")
        << QByteArray("enable-dns-protection=true\ndns-server=2\n") << true << 2 << QString() << QString();
}

void TestSharedConfig::dnsNormalisation()
{
    QFETCH(QByteArray, section);
    QFETCH(bool, enabled);
    QFETCH(int, dnsServer);
    QFETCH(QString, preferred);
    QFETCH(QString, alternative);
    QVERIFY(writeFile(configPath(), "[settings]\n" + section));

    SharedConfig cfg(configPath());
    QCOMPARE(cfg.enableDnsProtection, enabled);
    QCOMPARE(cfg.dnsServer, dnsServer);
    QCOMPARE(cfg.preferredDnsServer, preferred);
    QCOMPARE(cfg.alternativeDnsServer, alternative);

    // The start-up save writes the normalised values back.
    QVERIFY(cfg.save());
    const QStringList lines = fileLines(configPath());
    QVERIFY(lines.contains(QStringLiteral("enable-dns-protection=%1").arg(enabled ? "true" : "false")));
    QVERIFY(lines.contains(QStringLiteral("dns-server=%1").arg(dnsServer)));
    QVERIFY(lines.contains(QStringLiteral("preferred-dns-server=") + preferred));
    QVERIFY(lines.contains(QStringLiteral("alternative-dns-server=") + alternative));
}

void TestSharedConfig::profileEntries_data()
{
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QStringList>("loaded");
    QTest::addColumn<QList<int>>("protocols");

    const QByteArray first("vpn-server-info-1=2, psk, a.example.net, alice, pw, QUJD, First\n");
    QTest::newRow("all three protocols")
        << QByteArray("vpn-server-info-1=0, , , alice, pw, QUJD, Open\n"
                      "vpn-server-info-2=1, , p.example.net, bob, pw, , Point\n"
                      "vpn-server-info-3=2, psk, l.example.net, carol, pw, , Layer\n")
        << QStringList { "Open", "Point", "Layer" } << QList<int> { OpenVPN, PPTP, L2TP };
    QTest::newRow("gap after the first")
        << QByteArray(first + "vpn-server-info-3=1, , b.example.net, bob, pw, , Third\n")
        << QStringList { "First" } << QList<int> { L2TP };
    QTest::newRow("numbering starts at 1")
        << QByteArray("vpn-server-info-0=1, , b.example.net, bob, pw, , Zero\n"
                      "vpn-server-info-2=1, , b.example.net, bob, pw, , Second\n")
        << QStringList() << QList<int>();
    QTest::newRow("six items skipped, next still loaded")
        << QByteArray("vpn-server-info-1=1, psk, a.example.net, alice, pw, Six\n"
                      "vpn-server-info-2=1, , b.example.net, bob, pw, , Second\n")
        << QStringList { "Second" } << QList<int> { PPTP };
    QTest::newRow("eight items skipped, next still loaded")
        << QByteArray("vpn-server-info-1=1, psk, a.example.net, alice, pw, QUJD, Eight, extra\n"
                      "vpn-server-info-2=1, , b.example.net, bob, pw, , Second\n")
        << QStringList { "Second" } << QList<int> { PPTP };
    QTest::newRow("protocol 3 skipped, next still loaded")
        << QByteArray("vpn-server-info-1=3, psk, a.example.net, alice, pw, QUJD, Three\n"
                      "vpn-server-info-2=1, , b.example.net, bob, pw, , Second\n")
        << QStringList { "Second" } << QList<int> { PPTP };
    QTest::newRow("negative protocol skipped")
        << QByteArray("vpn-server-info-1=-1, psk, a.example.net, alice, pw, QUJD, Minus\n" + QByteArray(first).replace("-1=", "-2="))
        << QStringList { "First" } << QList<int> { L2TP };
    QTest::newRow("protocol abc reads as OpenVPN")
        << QByteArray("vpn-server-info-1=abc, , , alice, pw, QUJD, Letters\n")
        << QStringList { "Letters" } << QList<int> { OpenVPN };
    QTest::newRow("single value skipped")
        << QByteArray("vpn-server-info-1=plain text\n" + QByteArray(first).replace("-1=", "-2="))
        << QStringList { "First" } << QList<int> { L2TP };
}

void TestSharedConfig::profileEntries()
{
    QFETCH(QByteArray, section);
    QFETCH(QStringList, loaded);
    QFETCH(QList<int>, protocols);
    QVERIFY(writeFile(configPath(), "[settings]\n" + section));

    SharedConfig cfg(configPath());
    QCOMPARE(nicknames(cfg.serverInfoList), loaded);
    for (int i = 0; i < protocols.size(); ++i)
        QCOMPARE(cfg.serverInfoList.at(i).protocol, protocols.at(i));

    // Skipped entries vanish and the rest is numbered from 1 without gaps.
    QVERIFY(cfg.save());
    const QStringList keys = profileKeysInFile(configPath());
    QCOMPARE(keys.size(), loaded.size());
    for (int i = 0; i < loaded.size(); ++i) {
        QCOMPARE(keys.at(i), QStringLiteral("vpn-server-info-%1").arg(i + 1));
        const QStringList items = profileItemsInFile(configPath(), i + 1);
        QCOMPARE(items.size(), 7);
        QCOMPARE(items.at(0), QString::number(protocols.at(i)));
        QCOMPARE(items.at(6), loaded.at(i));
    }
}

void TestSharedConfig::profileItemsInFileOrder()
{
    QVERIFY(writeFile(configPath(),
                      "[settings]\nvpn-server-info-1=2, the-key, vpn.example.net, alice, s3cret, QUJD, Home\n"));
    SharedConfig cfg(configPath());
    QCOMPARE(cfg.serverInfoList.size(), 1);
    const VpnServerInfo loaded = cfg.serverInfoList.first();
    QCOMPARE(loaded.protocol, int(L2TP));
    QCOMPARE(loaded.sharedKey, QStringLiteral("the-key"));
    QCOMPARE(loaded.serverAddress, QStringLiteral("vpn.example.net"));
    QCOMPARE(loaded.userName, QStringLiteral("alice"));
    QCOMPARE(loaded.password, QStringLiteral("s3cret"));
    QCOMPARE(loaded.ovpnConfig, QStringLiteral("QUJD"));
    QCOMPARE(loaded.nickname, QStringLiteral("Home"));

    cfg.serverInfoList = { profile(PPTP, QStringLiteral("Office")) };
    QVERIFY(cfg.save());
    const VpnServerInfo &saved = cfg.serverInfoList.first();
    const QStringList expected = { QStringLiteral("1"), saved.sharedKey, saved.serverAddress, saved.userName,
                                   saved.password, saved.ovpnConfig, saved.nickname };
    QCOMPARE(profileItemsInFile(configPath(), 1), expected);
}

void TestSharedConfig::removingMiddleProfileRenumbers()
{
    {
        SharedConfig cfg(configPath());
        cfg.serverInfoList = { profile(OpenVPN, QStringLiteral("One")), profile(PPTP, QStringLiteral("Two")),
                               profile(L2TP, QStringLiteral("Three")) };
        QVERIFY(cfg.save());
        QCOMPARE(profileKeysInFile(configPath()).size(), 3);
        cfg.serverInfoList.removeAt(1);
        QVERIFY(cfg.save());
    }

    QCOMPARE(profileKeysInFile(configPath()),
             QStringList({ QStringLiteral("vpn-server-info-1"), QStringLiteral("vpn-server-info-2") }));
    SharedConfig reloaded(configPath());
    QCOMPARE(reloaded.serverInfoList.size(), 2);
    QCOMPARE(reloaded.serverInfoList.at(0), profile(OpenVPN, QStringLiteral("One")));
    QCOMPARE(reloaded.serverInfoList.at(1), profile(L2TP, QStringLiteral("Three")));
}

void TestSharedConfig::base64RoundTrip_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("padded");

    QTest::newRow("two padding characters") << QByteArray("client\ndev tun\nremote vpn.example.net 1194\n") << true;
    QTest::newRow("one padding character") << QByteArray("client\ndev tun\nremote vpn.example.net 80\n") << true;
    QTest::newRow("no padding") << QByteArray("client\ndev tun\nremote vpn.example.net 443\n") << false;
    QTest::newRow("binary with plus and slash") << QByteArray("\xfb\xff\xbf\x00\x3e\x3f\xfa", 7) << true;
}

void TestSharedConfig::base64RoundTrip()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, padded);
    const QString base64 = QString::fromLatin1(content.toBase64());
    QCOMPARE(base64.endsWith(QLatin1Char('=')), padded);

    {
        SharedConfig cfg(configPath());
        VpnServerInfo info = profile(OpenVPN, QStringLiteral("Padded"));
        info.ovpnConfig = base64;
        cfg.serverInfoList = { info };
        QVERIFY(cfg.save());
    }
    // "=" would end the key otherwise, so QSettings quotes the item.
    if (padded)
        QVERIFY(TempWorkDir::readFile(configPath()).contains('"' + base64.toLatin1() + '"'));

    SharedConfig reloaded(configPath());
    QCOMPARE(reloaded.serverInfoList.size(), 1);
    QCOMPARE(reloaded.serverInfoList.first().ovpnConfig, base64);
    QCOMPARE(decodeBase64(reloaded.serverInfoList.first().ovpnConfig), content);
}

void TestSharedConfig::keysReadButNeverWritten()
{
    QVERIFY(writeFile(configPath(), "[settings]\nkill-switch=true\nminimize-on-close=true\nunknown-key=1\n"
                                    "[other]\nsomething=else\n"));
    SharedConfig cfg(configPath());
    QCOMPARE(cfg.killSwitch, true);
    QCOMPARE(cfg.minimizeOnClose, true);

    QVERIFY(cfg.save());
    const QByteArray text = TempWorkDir::readFile(configPath());
    QVERIFY2(!text.contains("kill-switch"), text.constData());
    QVERIFY2(!text.contains("minimize-on-close"), text.constData());
    QVERIFY2(!text.contains("unknown-key"), text.constData());
    QVERIFY2(!text.contains("[other]"), text.constData());
    // The values read stay in effect for this run.
    QCOMPARE(cfg.killSwitch, true);
    QCOMPARE(cfg.minimizeOnClose, true);
}

void TestSharedConfig::textRoundTrip_data()
{
    QTest::addColumn<QString>("nickname");
    QTest::addColumn<QString>("password");

    QTest::newRow("umlauts") << QStringLiteral("Bäckerei Müller") << QStringLiteral("Grüße-ÄÖÜß");
    QTest::newRow("cyrillic and cjk") << QStringLiteral("Москва 東京") << QStringLiteral("пароль密码");
    QTest::newRow("outside the basic plane") << QStringLiteral("Home \U0001F3E0") << QStringLiteral("key\U0001F511");
    QTest::newRow("list separators") << QStringLiteral("a, b; c") << QStringLiteral("x=y,z;w");
    QTest::newRow("quotes and backslashes") << QStringLiteral("say \"hi\"") << QStringLiteral("C:\\pass\\\"word");
    QTest::newRow("surrounding spaces") << QStringLiteral("  padded  ") << QStringLiteral(" pw ");
    QTest::newRow("line break and tab") << QStringLiteral("two\nlines") << QStringLiteral("tab\there");
    QTest::newRow("ini syntax") << QStringLiteral("[settings]") << QStringLiteral("#not a comment");
}

void TestSharedConfig::textRoundTrip()
{
    QFETCH(QString, nickname);
    QFETCH(QString, password);
    VpnServerInfo info = profile(L2TP, QStringLiteral("x"));
    info.nickname = nickname;
    info.password = password;
    info.userName = nickname;
    info.sharedKey = password;

    {
        SharedConfig cfg(configPath());
        cfg.serverInfoList = { info, profile(PPTP, QStringLiteral("After")) };
        QVERIFY(cfg.save());
    }
    SharedConfig reloaded(configPath());
    QCOMPARE(reloaded.serverInfoList.size(), 2);
    QCOMPARE(reloaded.serverInfoList.at(0).nickname, nickname);
    QCOMPARE(reloaded.serverInfoList.at(0).password, password);
    QCOMPARE(reloaded.serverInfoList.at(0), info);
    QCOMPARE(reloaded.serverInfoList.at(1), profile(PPTP, QStringLiteral("After")));
}

void TestSharedConfig::fileKeptPrivate_data()
{
    QTest::addColumn<int>("initialPermissions"); // 0: no file yet
    QTest::addColumn<int>("saves");

    const int readableByAll = int(kOwnerOnly | QFile::ReadGroup | QFile::ReadOther);
    QTest::newRow("created by save") << 0 << 1;
    QTest::newRow("saved twice") << 0 << 2;
    QTest::newRow("644 tightened on load") << readableByAll << 0;
    QTest::newRow("666 tightened on load") << int(kOwnerOnly | QFile::ReadGroup | QFile::WriteGroup
                                                 | QFile::ReadOther | QFile::WriteOther) << 0;
    QTest::newRow("644 then saved") << readableByAll << 1;
}

void TestSharedConfig::fileKeptPrivate()
{
    QFETCH(int, initialPermissions);
    QFETCH(int, saves);
    if (initialPermissions) {
        QVERIFY(writeFile(configPath(), "[settings]\nredial-automatically=true\n"));
        QVERIFY(QFile::setPermissions(configPath(), QFile::Permissions(initialPermissions)));
        QVERIFY(QFile::permissions(configPath()) & kGroupAndOthers);
    }

    SharedConfig cfg(configPath());
    cfg.serverInfoList = { profile(L2TP, QStringLiteral("Secret")) };
    for (int i = 0; i < saves; ++i)
        QVERIFY(cfg.save());

    const QFile::Permissions permissions = QFile::permissions(configPath());
    QCOMPARE(permissions & kGroupAndOthers, QFile::Permissions());
    QCOMPARE(permissions & kOwnerOnly, kOwnerOnly);
    if (initialPermissions)
        QCOMPARE(cfg.redialAutomatically, true);
}

void TestSharedConfig::unwritableFileReportsFailure_data()
{
    // Permission bits do not stop root, so the file is made impossible to create instead.
    QTest::addColumn<QString>("blocker"); // a regular file or folder placed in the way
    QTest::addColumn<QString>("relativePath");
    QTest::addColumn<bool>("blockerIsFolder");

    QTest::newRow("folder is a regular file") << QStringLiteral("plain") << QStringLiteral("plain/shared_config.ini")
                                              << false;
    QTest::newRow("file name is a folder") << QStringLiteral("shared_config.ini")
                                           << QStringLiteral("shared_config.ini") << true;
}

void TestSharedConfig::unwritableFileReportsFailure()
{
    QFETCH(QString, blocker);
    QFETCH(QString, relativePath);
    QFETCH(bool, blockerIsFolder);
    if (blockerIsFolder)
        QVERIFY(QDir(dir->path()).mkdir(blocker));
    else
        QVERIFY(writeFile(dir->filePath(blocker), "not a folder\n"));
    const QString path = dir->filePath(relativePath);

    SharedConfig cfg(path);
    QCOMPARE(cfg.checkVpnInterval, 500u);
    cfg.serverInfoList = { profile(OpenVPN, QStringLiteral("Lost")) };
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("configuration file")));
    QVERIFY(!cfg.save());
    QCOMPARE(cfg.serverInfoList.size(), 1);
}

void TestSharedConfig::instanceUsesWorkingDirectoryOnce()
{
    TempWorkDir workDir;
    QVERIFY(workDir.isValid());
    QVERIFY(writeFile(workDir.filePath(QStringLiteral("shared_config.ini")),
                      "[settings]\ncheck-vpn-interval=700\nredial-automatically=true\n"));

    SharedConfig &first = SharedConfig::instance();
    QCOMPARE(first.filePath(), QDir::currentPath() + QStringLiteral("/shared_config.ini"));
    QCOMPARE(first.checkVpnInterval, 700u);
    QCOMPARE(first.redialAutomatically, true);

    // Later accesses return the same record and do not read the file again.
    QVERIFY(writeFile(workDir.filePath(QStringLiteral("shared_config.ini")), "[settings]\ncheck-vpn-interval=900\n"));
    SharedConfig &second = SharedConfig::instance();
    QCOMPARE(&second, &first);
    QCOMPARE(second.checkVpnInterval, 700u);
}

void TestSharedConfig::launchAtLogon_data()
{
    QTest::addColumn<QList<bool>>("steps");
    QTest::addColumn<bool>("entryExpected");

    QTest::newRow("enable") << QList<bool> { true } << true;
    QTest::newRow("enable twice") << QList<bool> { true, true } << true;
    QTest::newRow("enable then disable") << QList<bool> { true, false } << false;
    QTest::newRow("disable twice") << QList<bool> { true, false, false } << false;
    QTest::newRow("disable without an entry") << QList<bool> { false } << false;
    QTest::newRow("enable again after disable") << QList<bool> { true, false, true } << true;
}

void TestSharedConfig::launchAtLogon()
{
    QFETCH(QList<bool>, steps);
    QFETCH(bool, entryExpected);
    const QString configHome = dir->filePath(QStringLiteral("config-home"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome));

    for (const bool enable : steps)
        setLaunchOnSystemStartup(enable);

    const QString autostart = configHome + QStringLiteral("/autostart");
    const QString entryPath = autostart + QStringLiteral("/Orvi.desktop");
    QCOMPARE(QFileInfo::exists(entryPath), entryExpected);
    if (!entryExpected)
        return;
    QCOMPARE(QDir(autostart).entryList(QDir::Files), QStringList { QStringLiteral("Orvi.desktop") });

    const QStringList lines = QString::fromUtf8(TempWorkDir::readFile(entryPath)).split(QLatin1Char('\n'));
    QCOMPARE(lines.value(0), QStringLiteral("[Desktop Entry]"));
    QVERIFY(lines.contains(QStringLiteral("Type=Application")));
    const QStringList execLines = lines.filter(QRegularExpression(QStringLiteral("^Exec=")));
    QCOMPARE(execLines.size(), 1);

    // The program is the first word of Exec, possibly quoted with backslash escapes.
    const QString exec = execLines.first().mid(5);
    QString program;
    if (exec.startsWith(QLatin1Char('"'))) {
        int i = 1;
        for (; i < exec.size() && exec.at(i) != QLatin1Char('"'); ++i) {
            if (exec.at(i) == QLatin1Char('\\') && i + 1 < exec.size())
                ++i;
            program += exec.at(i);
        }
        QVERIFY2(i < exec.size(), qPrintable(exec));
    } else {
        program = exec.section(QLatin1Char(' '), 0, 0);
    }
    program.replace(QStringLiteral("%%"), QStringLiteral("%"));
    QCOMPARE(program, QCoreApplication::applicationFilePath());
}

QTEST_GUILESS_MAIN(TestSharedConfig)
#include "tst_sharedconfig.moc"
