#!/usr/bin/env bash
# Installs what is missing, builds everything into build/ and runs every test through CTest.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$root/scripts/deps.sh"
packages=("${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}")
if [ "${CI:-}" = "true" ]; then
    packages+=("${CI_TEST_PACKAGES[@]}")
fi
install_deps "${packages[@]}"

cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=ON
cmake --build "$root/build" -j2
cd "$root/build"
exec ctest --output-on-failure
