#!/bin/sh
# Builds the Debian package into a temporary folder and checks its relations and contents.
# Usage: check_package.sh <build folder> <application id>
set -eu
build=$1 id=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >/dev/null
deb=$(ls "$out"/*.deb)

fail() { echo "$*" >&2; dpkg-deb --info "$deb" >&2; exit 1; }
info=$(dpkg-deb --info "$deb")
field() { printf '%s\n' "$info" | sed -n "s/^ $1: //p"; }
# Package names only, one per line: the libraries found in the binary and the programs the client runs.
depends=$(field Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//')
for package in libc6 libqt6core6 libqt6widgets6 libqt6network6 libnm0 openvpn iputils-ping; do
    printf '%s\n' "$depends" | grep -qx "$package" || fail "Depends lacks $package"
done
[ "$(field Recommends)" = "network-manager-openvpn, network-manager-pptp, network-manager-l2tp, openvpn-systemd-resolved | resolvconf" ] ||
    fail "Recommends differ"

contents=$(dpkg-deb --contents "$deb" | awk '{ print $NF }')
for file in ./usr/bin/orvi-dudaru ./usr/libexec/orvi-dudaru/orvi-dudaru-openvpn-import ./usr/share/applications/$id.desktop ./usr/share/metainfo/$id.metainfo.xml \
            ./usr/share/icons/hicolor/16x16/apps/$id.png ./usr/share/icons/hicolor/256x256/apps/$id.png; do
    printf '%s\n' "$contents" | grep -qxF "$file" || fail "package lacks $file"
done
