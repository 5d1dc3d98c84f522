#!/usr/bin/env bash
# Installs what is missing, builds everything into build/ and runs every test through CTest; then builds again
# into build-sanitize/ with AddressSanitizer and UndefinedBehaviorSanitizer and runs the suite's code there.
# The exit status is CTest's: non-zero when either run failed.
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
status=0
(cd "$root/build" && ctest --output-on-failure) || status=$?

cmake -S "$root" -B "$root/build-sanitize" -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=ON -DORVI_SANITIZE=ON
cmake --build "$root/build-sanitize" -j2
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd "$root/build-sanitize" && ctest --output-on-failure -LE tree) || status=$?
exit $status
