#!/usr/bin/env bash
# Installs what is missing, builds everything into build/ and runs every test through CTest.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$root/scripts/deps.sh"
install_deps "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=ON
cmake --build "$root/build" -j2
cd "$root/build"
exec ctest --output-on-failure
