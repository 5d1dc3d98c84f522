#!/bin/sh
# Installs the build into a temporary DESTDIR and checks what the desktop needs of it.
# Usage: check_install.sh <build folder> <application id>
set -eu
build=$1 id=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null

sizes="16 22 24 32 48 64 128 256"
expected=$( {
    echo ./usr/bin/orvi-dudaru
    echo ./usr/libexec/orvi-dudaru/orvi-dudaru-openvpn-import
    echo ./usr/share/applications/$id.desktop
    echo ./usr/share/metainfo/$id.metainfo.xml
    for size in $sizes; do echo ./usr/share/icons/hicolor/${size}x$size/apps/$id.png; done
} | sort)
installed=$(cd "$root" && find . ! -type d | sort)
[ "$installed" = "$expected" ] || { printf 'installed:\n%s\nexpected:\n%s\n' "$installed" "$expected" >&2; exit 1; }

share=$root/usr/share
desktop-file-validate "$share/applications/$id.desktop"
# The menu starts the client in the user's data folder.
grep -qx 'Exec=orvi-dudaru --user-data' "$share/applications/$id.desktop"
appstreamcli validate --no-net "$share/metainfo/$id.metainfo.xml" >/dev/null
for size in $sizes; do
    icon=$share/icons/hicolor/${size}x$size/apps/$id.png
    # A PNG's width and height are the two big-endian words from byte 16.
    [ "$(od -An -tx1 -j16 -N8 "$icon" | tr -d ' \n')" = "$(printf '%08x%08x' "$size" "$size")" ] ||
        { echo "$icon is not ${size}x$size" >&2; exit 1; }
done
