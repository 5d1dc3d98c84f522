#include "config/sharedconfig.h"
#include "mainwindow/mainwindow.h"
#include "support/tempworkdir.h"

#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

class TestOpenVpnEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void wrongThenRightPassword()
    {
        if (::geteuid() != 0 || !QFile::exists(QStringLiteral("/dev/net/tun")))
            QSKIP(::geteuid() != 0 ? "OpenVPN needs root for its tun device" : "/dev/net/tun is missing");
        const QStringList path = qEnvironmentVariable("PATH").split(':') << "/usr/sbin" << "/sbin"; // root's tools
        const QString openvpn = QStandardPaths::findExecutable("openvpn", path), openssl = QStandardPaths::findExecutable("openssl", path);
        if (openvpn.isEmpty() || openssl.isEmpty())
            QSKIP("openvpn or openssl is not installed");

        // A server with a throwaway certificate and a port and subnet of this run's own; its script accepts one user.
        TempWorkDir server;
        QCOMPARE(QProcess::execute(openssl, {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
            "-keyout", "server.key", "-out", "server.crt", "-days", "2", "-subj", "/CN=server", "-addext", "extendedKeyUsage=serverAuth",
            "-addext", "keyUsage=digitalSignature,keyCertSign"}), 0);
        QVERIFY(server.writeScript("verify.sh", "#!/bin/sh\n[ \"$(cat \"$1\")\" = \"$(printf 'alice\\ncorrect horse')\" ]\n"));
        const QByteArray port = QByteArray::number(20000 + QCoreApplication::applicationPid() % 20000);
        QVERIFY(server.writeScript("server.conf", "proto udp4\nlocal 127.0.0.1\nport " + port + "\ndev tun\nserver 10.231."
            + QByteArray::number(port.toInt() % 250) + ".0 255.255.255.0\nca server.crt\ncert server.crt\nkey server.key\ndh none\n"
            "verify-client-cert none\nscript-security 2\nauth-user-pass-verify ./verify.sh via-file\nlog server.log\n"));
        QProcess daemon;
        daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); }); // never outlives a crashed run
        daemon.start(openvpn, {"--config", "server.conf"});
        const auto log = [&] { return QString::fromUtf8(TempWorkDir::readFile(server.filePath("server.log"))); };
        (void)QTest::qWaitFor([&] { return !daemon.processId() || log().contains("Initialization Sequence Completed"); }, 30000);
        if (!daemon.processId() && log().contains(QRegularExpression("Cannot (open|allocate) TUN|TUNSETIFF")))
            QSKIP(qPrintable("OpenVPN cannot open a tun device here:\n" + log()));
        QVERIFY2(daemon.processId(), qPrintable(log()));

        // The window with one OpenVPN profile and the real OpenVPN as its "openvpn.exe".
        const QByteArray profile = "client\ndev tun\nproto udp4\nremote 127.0.0.1 " + port + "\nnobind\nauth-user-pass\n"
            "remote-cert-tls server\nwritepid client.pid\nverb 3\n<ca>\n" + TempWorkDir::readFile("server.crt") + "</ca>\n";
        TempWorkDir wd;
        QVERIFY(QFile::link(openvpn, QStringLiteral("openvpn.exe")));
        SharedConfig cfg(wd.filePath(QStringLiteral("shared_config.ini")));
        cfg.serverInfoList.append({OpenVPN, "loopback", "127.0.0.1", "alice", "wrong horse", profile.toBase64(), ""});
        MainWindow w(nullptr, &cfg);
        auto *list = w.findChild<QListView *>("VpnInfoListBox");
        auto *button = w.findChild<QPushButton *>("ConnectButton");
        list->setCurrentIndex(list->model()->index(0, 0));
        emit list->clicked(list->currentIndex());

        button->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.findChild<QPlainTextEdit *>("VpnLogEditBox")->toPlainText().contains(
                                     "Connection Error - Authorization failed!"), 30000);
        QCOMPARE(w.currentConnectionState(), int(Disconnected));

        cfg.serverInfoList[0].password = QStringLiteral("correct horse");
        button->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.currentConnectionState(), int(Connected), 30000);
        QVERIFY(TempWorkDir::readFile("openvpn_console.txt").contains("Initialization Sequence Completed"));
        const pid_t client = pid_t(TempWorkDir::readFile("client.pid").trimmed().toLongLong());
        button->click(); // Disconnect
        QVERIFY(::kill(client, 0) != 0); // the client process has ended
    }
};

QTEST_MAIN(TestOpenVpnEndToEnd)
#include "tst_openvpn_e2e.moc"
