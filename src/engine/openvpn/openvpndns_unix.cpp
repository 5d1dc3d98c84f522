#include "engine/openvpn/openvpndns.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

// systemd makes this folder when it starts systemd-resolved, and /run is emptied at every boot: where it
// exists, systemd-resolved has run since the machine started (a D-Bus check would need a bus and QtDBus).
const char *const kResolvedRuntime = "/run/systemd/resolve";
const char *const kResolvedScript = "/etc/openvpn/update-systemd-resolved";
// The path update-resolv-conf itself checks before doing anything.
const char *const kResolvconf = "/sbin/resolvconf";
const char *const kResolvconfScript = "/etc/openvpn/update-resolv-conf";

// OpenVPN splits --up and --down commands at blanks and honours quotes and backslashes.
QString asOpenVpnCommand(const QString &path)
{
    QString command;
    for (const QChar c : path) {
        if (c.isSpace() || c == QLatin1Char('\\') || c == QLatin1Char('"') || c == QLatin1Char('\''))
            command += QLatin1Char('\\');
        command += c;
    }
    return command;
}

// --down-pre runs the down script while the tunnel device still exists, as update-systemd-resolved needs.
QStringList scriptOptions(const QString &script)
{
    const QString command = asOpenVpnCommand(QFileInfo(script).absoluteFilePath());
    return {QStringLiteral("--script-security"), QStringLiteral("2"), QStringLiteral("--up"), command,
            QStringLiteral("--down"), command, QStringLiteral("--down-pre")};
}

} // namespace

DnsHelper dnsHelper(const QString &systemRoot)
{
    const QString replacement = qEnvironmentVariable("ORVI_OPENVPN_DNS_SCRIPT");
    const auto probe = [&](const char *path) { return QFileInfo(systemRoot + QLatin1String(path)); };
    const auto script = [&](const char *path) {
        return replacement.isEmpty() ? systemRoot + QLatin1String(path) : replacement;
    };

    if (probe(kResolvedRuntime).isDir() && (!replacement.isEmpty() || probe(kResolvedScript).isExecutable())) {
        // Every domain routed to the tunnel's servers keeps look-ups off the other links while it is up.
        const QStringList route{QStringLiteral("--dhcp-option"), QStringLiteral("DOMAIN-ROUTE"), QStringLiteral(".")};
        return {route + scriptOptions(script(kResolvedScript)), QString()};
    }
    if (!replacement.isEmpty() || (probe(kResolvconf).isExecutable() && probe(kResolvconfScript).isExecutable()))
        return {scriptOptions(script(kResolvconfScript)), QString()};
    return {QStringList(), QCoreApplication::translate("CVpnProc",
        "DNS protection is not applied: this system has neither systemd-resolved with openvpn-systemd-resolved "
        "nor resolvconf.")};
}

int stopGraceMs()
{
    // OpenVPN ends on SIGTERM within a second, or after the seconds of its explicit-exit-notify.
    return 5000;
}
