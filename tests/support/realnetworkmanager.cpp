#include "support/realnetworkmanager.h"

#include "support/tempworkdir.h"

#include <QDBusConnectionInterface>
#include <QRegularExpression>
#include <QTest>

#include <unistd.h>

RealNetworkManager::~RealNetworkManager()
{
    if (netns.isEmpty())
        return;
    // The plugins' own daemons (OpenVPN, pppd, the IPsec one) may outlive NetworkManager there.
    QProcess::execute("sh", { "-c", "ip netns pids " + netns + " | xargs -r kill -9; ip netns delete " + netns });
    daemon.waitForFinished();
}

QString RealNetworkManager::start(const QStringList &plugins)
{
    for (const QString &plugin : plugins) {
        if (!QFile::exists("/usr/lib/NetworkManager/VPN/nm-" + plugin + "-service.name"))
            return "NetworkManager's " + plugin + " plugin is not installed";
    }
    if (::geteuid() != 0 || !QFile::exists("/usr/sbin/NetworkManager"))
        return "needs root and network-manager";
    const QString name = "orvi-test-" + QString::number(::getpid());
    if (QProcess::execute("ip", { "netns", "add", name }) != 0)
        return "needs a network namespace of its own";
    netns = name;
    const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner;
    if (!nm.bus.isConnected() || !TempWorkDir::writeFile(dir.filePath("ipsec.secrets"), "", owner)
        || !TempWorkDir::writeFile(dir.filePath("nm.conf"), "[main]\nplugins=keyfile\nauth-polkit=false\ndns=default\n"
                                   "rc-manager=unmanaged\nno-auto-default=*\n[keyfile]\npath="
                                   + QFile::encodeName(dir.filePath("connections")) + "\n", owner))
        return "no private bus or configuration";
    // ip netns exec runs it in a mount namespace of its own already, so these mounts stay there.
    const QString scratch = "mount -n -t tmpfs none /run && mount -n -t tmpfs none /var/lib/NetworkManager"
                            " && mkdir /run/dbus && touch /run/dbus/system_bus_socket"
                            " && mount -n --bind %2 /run/dbus/system_bus_socket"
                            " && { [ ! -d /etc/ipsec.d ] || mount -n -t tmpfs none /etc/ipsec.d; }"
                            " && { [ ! -f /etc/ipsec.secrets ] || mount -n --bind %1/ipsec.secrets /etc/ipsec.secrets; }"
                            " && exec /usr/sbin/NetworkManager --no-daemon --config=%1/nm.conf --config-dir=%1/conf.d"
                            " --state-file=%1/state --debug --log-level=INFO --log-domains=VPN";
    daemon.setProcessChannelMode(QProcess::MergedChannels);
    PrivateBus::startChild(daemon, "ip", { "netns", "exec", netns, "sh", "-c",
                                           scratch.arg(dir.path(), nm.privateBus.socketPath()) });
    if (!QTest::qWaitFor([&] { return nm.bus.interface()->isServiceRegistered("org.freedesktop.NetworkManager").value(); },
                         20000))
        return "NetworkManager did not start: " + QString::fromLocal8Bit(log());
    // The VPN's parent: a tap device with an address and a default route inside the namespace.
    if (QProcess::execute("sh", { "-c", "nmcli connection add type tun mode tap ifname orvitap0 con-name parent"
                                        " ipv4.method manual ipv4.addresses 10.231.0.2/24 ipv4.gateway 10.231.0.1"
                                        " ipv4.dns 10.231.0.53 ipv6.method disabled save no >/dev/null"
                                        " && nmcli connection up parent >/dev/null" }) != 0)
        return "the parent connection did not come up";
    return QString();
}

QStringList RealNetworkManager::connectionIds() const
{
    return QString::fromUtf8(inNamespace("nmcli --get-values NAME connection show")).split('\n', Qt::SkipEmptyParts);
}

QStringList RealNetworkManager::nameservers() const
{
    // Its run-time folder as the daemon sees it, in its own mount namespace.
    const QString file = "/proc/" + QString::number(daemon.processId()) + "/root/run/NetworkManager/resolv.conf";
    return QString::fromUtf8(TempWorkDir::readFile(file)).split('\n').filter(QRegularExpression("^nameserver ")).replaceInStrings("nameserver ", "");
}

QByteArray RealNetworkManager::inNamespace(const QString &command) const
{
    QProcess shell;
    shell.start("ip", { "netns", "exec", netns, "sh", "-c", command });
    shell.waitForFinished();
    return shell.readAllStandardOutput();
}
