#include "config/sharedconfig.h"
#include "mainwindow/mainwindow.h"
#include "support/tempworkdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListView>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

#include <memory>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

const char *const kUser = "alice";
const char *const kPassword = "correct horse";

QString findProgram(const QString &name)
{
    const QString found = QStandardPaths::findExecutable(name);
    if (!found.isEmpty())
        return found;
    // Root's tools often sit outside an ordinary user's PATH.
    return QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
}

bool run(const QString &program, const QStringList &arguments, const QString &folder, QByteArray *output)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool ok = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
    *output = process.readAll();
    return ok;
}

bool writeFile(const QString &path, const QByteArray &content, QFile::Permissions permissions = {})
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
        return false;
    file.close();
    return permissions == QFile::Permissions() || file.setPermissions(permissions);
}

// A port on 127.0.0.1 that nothing listens on right now.
quint16 freeUdpPort()
{
    QUdpSocket socket;
    return socket.bind(QHostAddress::LocalHost, 0) ? socket.localPort() : 0;
}

quint16 freeTcpPort()
{
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}

// The client window with one OpenVPN profile, and the real OpenVPN linked in as "openvpn.exe".
struct Client
{
    Client(const QString &openvpn, const QByteArray &profile, const QString &password)
        : config(wd.filePath(QStringLiteral("shared_config.ini")))
    {
        linked = QFile::link(openvpn, wd.filePath(QStringLiteral("openvpn.exe")));
        openvpnBinary = QFileInfo(openvpn).canonicalFilePath();
        VpnServerInfo info;
        info.protocol = OpenVPN;
        info.nickname = QStringLiteral("loopback");
        info.serverAddress = QStringLiteral("127.0.0.1");
        info.userName = QString::fromLatin1(kUser);
        info.password = password;
        info.ovpnConfig = QString::fromLatin1(profile.toBase64());
        config.serverInfoList.append(info);
        window = std::make_unique<MainWindow>(nullptr, &config);
        window->fillVpnInfoLists();
        window->show();
        list = window->findChild<QListView *>(QStringLiteral("VpnInfoListBox"));
        button = window->findChild<QPushButton *>(QStringLiteral("ConnectButton"));
        log = window->findChild<QPlainTextEdit *>(QStringLiteral("VpnLogEditBox"));
    }

    void pressConnect()
    {
        const QModelIndex first = list->model()->index(0, 0);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(first).center());
        list->setCurrentIndex(first);
        QVERIFY(button->isEnabled());
        button->click();
    }

    // OpenVPN processes running in this client's working folder.
    QList<qint64> clientProcesses() const
    {
        QList<qint64> pids;
        const QString folder = QFileInfo(wd.path()).canonicalFilePath();
        const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
        for (const QString &entry : entries) {
            bool numeric = false;
            const qint64 pid = entry.toLongLong(&numeric);
            if (numeric && QFileInfo(QStringLiteral("/proc/%1/cwd").arg(pid)).symLinkTarget() == folder
                && QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget() == openvpnBinary)
                pids << pid;
        }
        return pids;
    }

    TempWorkDir wd;
    SharedConfig config;
    bool linked = false;
    QString openvpnBinary;
    std::unique_ptr<MainWindow> window;
    QListView *list = nullptr;
    QPushButton *button = nullptr;
    QPlainTextEdit *log = nullptr;
};

} // namespace

class TestOpenVpnEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void rightPasswordConnectsAndDisconnects();
    void wrongPasswordIsRefused();
    void refusingServerIsRecognised();

private:
    QByteArray clientProfile(const QByteArray &transport) const;
    QByteArray serverLog() const;

    QString openvpn;
    QTemporaryDir pki;
    std::unique_ptr<QProcess> server;
    quint16 port = 0;
};

void TestOpenVpnEndToEnd::initTestCase()
{
    if (::geteuid() != 0)
        QSKIP("OpenVPN needs root for its tun device; run as root to test against the real OpenVPN");
    if (!QFile::exists(QStringLiteral("/dev/net/tun")))
        QSKIP("/dev/net/tun is missing, so OpenVPN cannot open a tun device");
    openvpn = findProgram(QStringLiteral("openvpn"));
    if (openvpn.isEmpty())
        QSKIP("openvpn is not installed");
    const QString openssl = findProgram(QStringLiteral("openssl"));
    if (openssl.isEmpty())
        QSKIP("openssl is not installed");
    QVERIFY(pki.isValid());

    // A throwaway CA and server certificate; the clients log in by password only.
    const QString folder = pki.path();
    const QStringList ecKey{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    QByteArray output;
    QVERIFY2(run(openssl, QStringList{"req", "-x509"} + ecKey
                     + QStringList{"-keyout", "ca.key", "-out", "ca.crt", "-days", "2", "-subj", "/CN=Orvi Test CA"},
                 folder, &output),
             output.constData());
    QVERIFY2(run(openssl, QStringList{"req"} + ecKey
                     + QStringList{"-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=server"},
                 folder, &output),
             output.constData());
    QVERIFY(writeFile(pki.filePath(QStringLiteral("server.ext")),
                      "basicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyAgreement\n"
                      "extendedKeyUsage=serverAuth\n"));
    QVERIFY2(run(openssl,
                 {"x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key", "-CAcreateserial", "-out",
                  "server.crt", "-days", "2", "-extfile", "server.ext"},
                 folder, &output),
             output.constData());

    // OpenVPN hands the script a file with the user name and the password on two lines.
    QVERIFY(writeFile(pki.filePath(QStringLiteral("verify.sh")),
                      QByteArray("#!/bin/sh\n"
                                 "[ \"$(sed -n 1p \"$1\")\" = '") + kUser + "' ] && [ \"$(sed -n 2p \"$1\")\" = '"
                          + kPassword + "' ]\n",
                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    port = freeUdpPort();
    QVERIFY(port != 0);
    // A subnet of its own per run, so that two runs on one machine do not meet.
    const QByteArray subnet = "10.231." + QByteArray::number(20 + QCoreApplication::applicationPid() % 200) + ".0";
    const QByteArray serverConfig = "mode server\ntls-server\nproto udp4\nlocal 127.0.0.1\nport "
        + QByteArray::number(port) + "\ndev tun\ntopology subnet\nserver " + subnet + " 255.255.255.0\n"
        + "ca ca.crt\ncert server.crt\nkey server.key\ndh none\n"
        + "verify-client-cert none\nusername-as-common-name\nscript-security 2\n"
        + "auth-user-pass-verify \"" + pki.filePath(QStringLiteral("verify.sh")).toUtf8() + "\" via-file\n"
        + "tmp-dir \"" + folder.toUtf8() + "\"\nkeepalive 10 60\nverb 3\nlog server.log\n";
    QVERIFY(writeFile(pki.filePath(QStringLiteral("server.conf")), serverConfig));

    server = std::make_unique<QProcess>();
    server->setWorkingDirectory(folder);
    // The server must not outlive a test run that crashes.
    server->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    server->start(openvpn, {QStringLiteral("--config"), QStringLiteral("server.conf")});
    QVERIFY2(server->waitForStarted(30000), qPrintable(server->errorString()));
    const bool up = QTest::qWaitFor(
        [this] {
            return server->state() == QProcess::NotRunning
                || serverLog().contains("Initialization Sequence Completed");
        },
        30000);
    const QByteArray log = serverLog();
    if (!up && (log.contains("Cannot open TUN") || log.contains("TUNSETIFF") || log.contains("Cannot allocate TUN")))
        QSKIP(qPrintable(QStringLiteral("OpenVPN cannot open a tun device here:\n") + QString::fromUtf8(log)));
    QVERIFY2(up && server->state() == QProcess::Running, log.constData());
}

void TestOpenVpnEndToEnd::cleanupTestCase()
{
    if (!server)
        return;
    server->terminate();
    if (!server->waitForFinished(5000)) {
        server->kill();
        server->waitForFinished(5000);
    }
}

QByteArray TestOpenVpnEndToEnd::serverLog() const
{
    return TempWorkDir::readFile(pki.filePath(QStringLiteral("server.log")));
}

QByteArray TestOpenVpnEndToEnd::clientProfile(const QByteArray &transport) const
{
    return "client\ndev tun\n" + transport + "\nnobind\nauth-user-pass\nremote-cert-tls server\n"
        + "verb 3\n<ca>\n" + TempWorkDir::readFile(pki.filePath(QStringLiteral("ca.crt")))
        + "</ca>\n";
}

void TestOpenVpnEndToEnd::rightPasswordConnectsAndDisconnects()
{
    Client client(openvpn, clientProfile("proto udp4\nremote 127.0.0.1 " + QByteArray::number(port)),
                  QString::fromLatin1(kPassword));
    QVERIFY(client.linked);
    client.pressConnect();

    QTRY_COMPARE_WITH_TIMEOUT(client.window->currentConnectionState(), int(Connected), 30000);
    QCOMPARE(client.button->text(), QStringLiteral("Connected"));
    QVERIFY(TempWorkDir::readFile(client.wd.filePath(QStringLiteral("openvpn_console.txt")))
                .contains("Initialization Sequence Completed"));
    QCOMPARE(client.clientProcesses().size(), 1);

    client.button->click();

    QCOMPARE(client.window->currentConnectionState(), int(Disconnected));
    QCOMPARE(client.button->text(), QStringLiteral("Connect"));
    QCOMPARE(client.clientProcesses(), QList<qint64>());
    QVERIFY(client.log->toPlainText().contains(QStringLiteral("------------ OpenVPN Stop ------------")));
}

void TestOpenVpnEndToEnd::wrongPasswordIsRefused()
{
    Client client(openvpn, clientProfile("proto udp4\nremote 127.0.0.1 " + QByteArray::number(port)),
                  QStringLiteral("wrong horse"));
    QVERIFY(client.linked);
    client.pressConnect();

    QTRY_VERIFY_WITH_TIMEOUT(
        client.log->toPlainText().contains(QStringLiteral("Connection Error - Authorization failed!")), 30000);
    QCOMPARE(client.window->currentConnectionState(), int(Disconnected));
    QCOMPARE(client.button->text(), QStringLiteral("Connect"));
    QCOMPARE(client.clientProcesses(), QList<qint64>());
    QVERIFY(TempWorkDir::readFile(client.wd.filePath(QStringLiteral("openvpn_console.txt"))).contains("AUTH_FAILED"));
}

void TestOpenVpnEndToEnd::refusingServerIsRecognised()
{
    // OpenVPN's own wording of a refused TCP connection on this platform, three times over.
    const quint16 closedPort = freeTcpPort();
    QVERIFY(closedPort != 0);
    Client client(openvpn, clientProfile("proto tcp4-client\nremote 127.0.0.1 " + QByteArray::number(closedPort)),
                  QString::fromLatin1(kPassword));
    QVERIFY(client.linked);
    client.pressConnect();

    QTRY_VERIFY_WITH_TIMEOUT(client.log->toPlainText().contains(QStringLiteral("Connection Error - Connection reset!")),
                             30000);
    QCOMPARE(client.window->currentConnectionState(), int(Disconnected));
    QCOMPARE(client.clientProcesses(), QList<qint64>());
}

QTEST_MAIN(TestOpenVpnEndToEnd)
#include "tst_openvpn_e2e.moc"
