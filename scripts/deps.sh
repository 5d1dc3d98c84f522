#!/usr/bin/env bash
# Installs the Debian packages the client and its tests need; sourced by run.sh and test.sh.
# Usage: install_deps <package>...
install_deps() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages. Install them as root with:" >&2
        echo "  apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# network-manager-dev holds NetworkManager's D-Bus interface descriptions, libnm-dev what the importer helper links.
BUILD_PACKAGES=(cmake make g++ qt6-base-dev qt6-base-dev-tools libgl-dev fonts-dejavu-core network-manager-dev libnm-dev)
RUN_PACKAGES=(openvpn iputils-ping xvfb xauth)
# desktop-file-utils and appstream validate the installed files, dpkg-dev computes the package's dependencies;
# dbus-daemon and python3-dbusmock stand in for NetworkManager on a private bus; xvfb, xauth, python3-dbus and
# python3-gi give the tray test an X display and a stand-in tray host on a session bus of its own; the OpenVPN plugin
# of NetworkManager brings the importer the OpenVPN tests run for real. It depends on NetworkManager, which the
# tests start only in a network namespace of their own.
TEST_PACKAGES=(openvpn openssl iputils-ping g++-mingw-w64-x86-64 desktop-file-utils appstream dpkg-dev
               dbus-daemon python3-dbusmock xvfb xauth python3-dbus python3-gi network-manager-openvpn)
# The PPTP and L2TP plugins for the test against the real NetworkManager. They bring pppd and an IPsec daemon, so
# test.sh installs them in CI only; elsewhere those rows skip unless they are there.
CI_TEST_PACKAGES=(network-manager network-manager-pptp network-manager-l2tp)
