#!/usr/bin/env bash
# Installs what is missing, builds the client into build-release/ and starts it in run/.
# Not build/: scripts/test.sh builds its Debug tree there, and sharing would rebuild all at each switch.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$root/scripts/deps.sh"
# DNS protection goes through systemd-resolved where it runs; the client looks for the same folder.
[ -d /run/systemd/resolve ] && RUN_PACKAGES+=(openvpn-systemd-resolved)
# Where NetworkManager runs the network, it runs OpenVPN too, for users without root.
dpkg-query -W -f='${Status}' network-manager 2>/dev/null | grep -q "install ok installed" &&
    RUN_PACKAGES+=(network-manager-openvpn)
install_deps "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}"

build="$root/build-release"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
cmake --build "$build" -j2 --target orvi-dudaru

# The client keeps its files in its working directory.
mkdir -p "$root/run"
cd "$root/run"
if [ ! -e openvpn.exe ] && command -v openvpn >/dev/null 2>&1; then
    ln -s "$(command -v openvpn)" openvpn.exe
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: starting the client under xvfb-run."
    exec xvfb-run -a "$build/src/orvi-dudaru" "$@"
fi
exec "$build/src/orvi-dudaru" "$@"
