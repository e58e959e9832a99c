#!/usr/bin/env bash
# Builds the Debian package of Tallyfern and prints its path on the last line.
#   tools/package.sh            install what is missing, build in build/, package
#   tools/package.sh BUILD_DIR  package an already configured build folder
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
if [ $# -ge 1 ]; then
    build="$(cd "$1" && pwd)"
    if [ ! -f "$build/CPackConfig.cmake" ]; then
        echo "package.sh: $build is not a configured build folder" >&2
        exit 2
    fi
else
    "$src/tools/install-deps.sh"
    build="$src/build"
    cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target tallyfern >/dev/null
out="$build/package"
rm -rf "$out"
mkdir -p "$out"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1 || {
    cat "$out/cpack.log" >&2
    exit 1
}
debs=("$out"/tallyfern_*.deb)
if [ ! -f "${debs[0]}" ]; then
    cat "$out/cpack.log" >&2
    echo "package.sh: cpack made no package" >&2
    exit 1
fi
echo "${debs[0]}"
