#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time
# (FUZZ_SECONDS, default 60) from its corpus under fuzz/corpus/<name>/ (and the
# delivered templates for the template readers). A crash input is
# kept in fuzz/regressions/<name>/ and fails the run; the test suite replays that folder.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DTALLYFERN_SANITIZE=ON -DTALLYFERN_FUZZ=ON >/dev/null
cmake --build build-fuzz --target fuzzers
status=0
for exe in build-fuzz/fuzz/fuzz_*; do
    [ -f "$exe" ] && [ -x "$exe" ] || continue
    name=$(basename "$exe"); name=${name#fuzz_}
    corpus=$(mktemp -d)
    [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$corpus/"
    # The delivered templates are the natural seeds of the template readers.
    case $name in
        web_template) cp resources/*.html "$corpus/" ;;
        xls_reader) cp resources/*.xls "$corpus/" ;;
        ledger_file) cp build-fuzz/bin/db.zovalt "$corpus/" 2>/dev/null || true ;;
    esac
    mkdir -p "fuzz/regressions/$name"
    log=$(mktemp)
    if QT_QPA_PLATFORM=offscreen "$exe" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=65536 \
            -artifact_prefix="fuzz/regressions/$name/" "$corpus" >"$log" 2>&1; then
        runs=$(grep -o 'Done [0-9]* runs in [0-9]* second' "$log" | tail -1)
        echo "fuzz $name: ${runs:-finished}"
    else
        echo "fuzz $name: CRASH, input kept in fuzz/regressions/$name/"; tail -30 "$log"; status=1
    fi
    rm -rf "$corpus" "$log"
done
exit $status
