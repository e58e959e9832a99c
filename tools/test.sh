#!/usr/bin/env bash
# Installs what is missing, builds Tallyfern and runs every test through ctest.
# With SANITIZE=1 the build uses AddressSanitizer and UndefinedBehaviorSanitizer
# (in the folder build-asan).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
build=build
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${SANITIZE:-0}" = 1 ]; then
    build=build-asan
    flags=(-DCMAKE_BUILD_TYPE=Debug -DTALLYFERN_SANITIZE=ON)
    export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
cmake -S . -B "$build" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$build"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
