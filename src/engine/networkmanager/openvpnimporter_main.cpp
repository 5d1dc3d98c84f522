// orvi-dudaru-openvpn-import FILE: reads an OpenVPN configuration with the importer of NetworkManager's OpenVPN
// plugin, the one that knows every option NetworkManager can carry, and prints what it made of it as one JSON
// object on standard output:
//   {"data": {...}, "secrets": {...}, "never-default": bool, "routes": [{"dest", "prefix", "next-hop", "metric"}],
//    "dropped": [options of FILE the plugin does not carry]}
// or {"error": "..."} with exit status 1. The plugin writes inline certificates and keys out to files under
// $HOME/.cert/nm-openvpn/, so the caller points HOME at a folder of its own. A program of its own, so that the
// client itself never loads libnm and GLib's home folder is this process's alone.

#include "config/ovpnbundle.h"

#include <NetworkManager.h>

#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

const char *const kServiceType = "org.freedesktop.NetworkManager.openvpn";

int answer(const QJsonObject &object, int status)
{
    std::fputs(QJsonDocument(object).toJson(QJsonDocument::Compact).constData(), stdout);
    return status;
}

int fail(GError *error)
{
    const QString message = QString::fromUtf8(error ? error->message : "the OpenVPN plugin cannot be loaded");
    g_clear_error(&error);
    return answer({ { QStringLiteral("error"), message } }, 1);
}

// What the plugin's importer makes of a configuration, compared as a whole; empty when it refuses it.
QByteArray importedAs(NMVpnEditorPlugin *plugin, const QString &path, const QByteArray &text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
        return QByteArray();
    file.close();
    NMConnection *connection = nm_vpn_editor_plugin_import(plugin, QFile::encodeName(path).constData(), nullptr);
    if (!connection)
        return QByteArray();
    GVariant *settings = nm_connection_to_dbus(connection, NM_CONNECTION_SERIALIZE_ALL);
    gchar *printed = g_variant_print(settings, FALSE);
    const QByteArray result(printed);
    g_free(printed);
    g_variant_unref(settings);
    g_object_unref(connection);
    return result;
}

// The options of the configuration the importer records nothing for, one line at a time beside a plain client,
// leaving out those NetworkManager always gives OpenVPN (its export of the connection writes them).
QJsonArray dropped(NMVpnEditorPlugin *plugin, NMConnection *connection, const QByteArray &original)
{
    QTemporaryDir scratch;
    const QString probe = scratch.filePath(QStringLiteral("probe.ovpn"));
    const QByteArray plain = "client\nremote 127.0.0.1\nca /dev/null\n"; // the least it takes
    const QByteArray before = importedAs(plugin, probe, plain);
    QSet<QByteArray> always;
    const QString exported = scratch.filePath(QStringLiteral("exported.ovpn"));
    QFile exportedFile(exported);
    if (nm_vpn_editor_plugin_export(plugin, QFile::encodeName(exported).constData(), connection, nullptr)
        && exportedFile.open(QIODevice::ReadOnly)) {
        for (const OvpnOption &option : ovpnOptions(exportedFile.readAll()))
            always.insert(option.name);
    }
    NMSettingVpn *vpn = nm_connection_get_setting_vpn(connection);
    // Taken as the direction argument of the key it belongs to.
    if (nm_setting_vpn_get_data_item(vpn, "ta-dir") || nm_setting_vpn_get_data_item(vpn, "static-key-direction"))
        always.insert("key-direction");

    QByteArrayList names;
    for (const OvpnOption &option : ovpnOptions(original)) {
        if (before.isEmpty() || always.contains(option.name) || names.contains(option.name))
            continue;
        // On a line of its own: the configuration's last one may lack its line feed.
        const QByteArray after = importedAs(plugin, probe, plain + option.text.trimmed() + '\n');
        if (after == before)
            names.append(option.name);
    }
    // The key material the probes made the importer write out, named after the probe, beside the real ones.
    QDir keys(QDir::homePath() + QStringLiteral("/.cert/nm-openvpn"), QStringLiteral("probe-*"));
    for (const QString &name : keys.entryList(QDir::Files))
        keys.remove(name);
    std::sort(names.begin(), names.end());
    QJsonArray list;
    for (const QByteArray &name : names)
        list.append(QString::fromUtf8(name));
    return list;
}

void addItem(const char *key, const char *value, gpointer map)
{
    static_cast<QJsonObject *>(map)->insert(QString::fromUtf8(key), QString::fromUtf8(value));
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fputs("usage: orvi-dudaru-openvpn-import FILE\n", stderr);
        return 2;
    }
    GError *error = nullptr;
    GSList *plugins = nm_vpn_plugin_info_list_load();
    NMVpnPluginInfo *info = nm_vpn_plugin_info_list_find_by_service(plugins, kServiceType);
    NMVpnEditorPlugin *plugin = info ? nm_vpn_plugin_info_load_editor_plugin(info, &error) : nullptr;
    if (!plugin)
        return fail(error);
    NMConnection *connection = nm_vpn_editor_plugin_import(plugin, argv[1], &error);
    if (!connection)
        return fail(error);

    QJsonObject data, secrets;
    NMSettingVpn *vpn = nm_connection_get_setting_vpn(connection);
    nm_setting_vpn_foreach_data_item(vpn, addItem, &data);
    nm_setting_vpn_foreach_secret(vpn, addItem, &secrets);
    QJsonArray routes;
    NMSettingIPConfig *ipv4 = nm_connection_get_setting_ip4_config(connection);
    for (guint i = 0; ipv4 && i < nm_setting_ip_config_get_num_routes(ipv4); ++i) {
        NMIPRoute *route = nm_setting_ip_config_get_route(ipv4, i);
        QJsonObject entry{ { QStringLiteral("dest"), QString::fromUtf8(nm_ip_route_get_dest(route)) },
                           { QStringLiteral("prefix"), int(nm_ip_route_get_prefix(route)) },
                           { QStringLiteral("metric"), double(nm_ip_route_get_metric(route)) } };
        if (nm_ip_route_get_next_hop(route))
            entry.insert(QStringLiteral("next-hop"), QString::fromUtf8(nm_ip_route_get_next_hop(route)));
        routes.append(entry);
    }
    QFile original(QString::fromLocal8Bit(argv[1]));
    const QByteArray text = original.open(QIODevice::ReadOnly) ? original.readAll() : QByteArray();
    const QJsonObject imported{ { QStringLiteral("data"), data },
                                { QStringLiteral("secrets"), secrets },
                                { QStringLiteral("never-default"), ipv4 && nm_setting_ip_config_get_never_default(ipv4) },
                                { QStringLiteral("routes"), routes },
                                { QStringLiteral("dropped"), dropped(plugin, connection, text) } };
    g_object_unref(connection);
    g_slist_free_full(plugins, g_object_unref); // with them the plugin they loaded
    return answer(imported, 0);
}
