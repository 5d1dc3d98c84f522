#include "support/openvpnserver.h"

#include "support/privatebus.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QTest>

QString OpenVpnServer::start(const QString &netns)
{
    const QStringList path = qEnvironmentVariable("PATH").split(':') << "/usr/sbin" << "/sbin"; // root's tools
    const QString openvpn = QStandardPaths::findExecutable("openvpn", path), openssl = QStandardPaths::findExecutable("openssl", path);
    if (openvpn.isEmpty() || openssl.isEmpty())
        return "openvpn or openssl is not installed";
    QProcess req;
    req.setWorkingDirectory(dir.path());
    req.start(openssl, { "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                         "-keyout", "server.key", "-out", "server.crt", "-days", "2", "-subj", "/CN=server",
                         "-addext", "extendedKeyUsage=serverAuth", "-addext", "keyUsage=digitalSignature,keyCertSign" });
    if (!req.waitForFinished(30000) || req.exitCode() != 0)
        return "openssl made no certificate: " + req.readAllStandardError();
    port = QByteArray::number(20000 + QCoreApplication::applicationPid() % 20000);
    subnet = "10.231." + QByteArray::number(100 + port.toInt() % 150) + ".0";
    const QByteArray folder = QFile::encodeName(dir.path());
    if (!TempWorkDir::writeFile(dir.filePath("verify.sh"), "#!/bin/sh\n[ \"$(cat \"$1\")\" = \"$(printf 'alice\\ncorrect horse')\" ]\n")
        || !TempWorkDir::writeFile(dir.filePath("server.conf"),
                  "proto udp4\nlocal 127.0.0.1\nport " + port + "\ndev tun\ntopology subnet\nserver " + subnet
                      + " 255.255.255.0\nca server.crt\ncert server.crt\nkey server.key\ndh none\n"
                        "verify-client-cert none\nscript-security 2\nauth-user-pass-verify " + folder
                      + "/verify.sh via-file\npush \"dhcp-option DNS 10.231.53.1\"\npush \"dhcp-option DNS 10.231.53.2\"\n"
                        "log " + folder + "/server.log\n", QFile::ReadOwner | QFile::WriteOwner))
        return "cannot write the server's files";
    const QStringList command{ openvpn, "--cd", dir.path(), "--config", "server.conf" };
    if (netns.isEmpty())
        PrivateBus::startChild(daemon, command.first(), command.mid(1));
    else
        PrivateBus::startChild(daemon, "ip", QStringList{ "netns", "exec", netns } + command);
    (void)QTest::qWaitFor([&] { return !daemon.processId() || log().contains("Initialization Sequence Completed"); }, 30000);
    if (!daemon.processId())
        return "OpenVPN's server did not start:\n" + log();
    return QString();
}

QByteArray OpenVpnServer::clientConfig() const
{
    return "client\ndev tun\nproto udp4\nremote 127.0.0.1 " + port + "\nnobind\nauth-user-pass\nremote-cert-tls server\n"
           "verb 3\n<ca>\n" + TempWorkDir::readFile(dir.filePath("server.crt")) + "</ca>\n";
}
