#!/usr/bin/env bash
# Builds the Debian package from a finished build and treats it as a user and an
# administrator would: lintian, desktop-file-validate and appstreamcli on what it installs,
# dpkg -i as root (else dpkg-deb -x into a scratch folder), the installed program started
# once, then dpkg -r and --purge, after which a user's ledger and backup must be untouched.
# Run by ctest: check-package.sh BUILD_DIR VERSION
set -euo pipefail
build="$(cd "$1" && pwd)"
version="$2"
src="$(cd "$(dirname "$0")/.." && pwd)"

fail() {
    echo "FAILED: $*" >&2
    exit 1
}
for tool in lintian desktop-file-validate appstreamcli dpkg-shlibdeps dpkg-deb fakeroot flock; do
    command -v "$tool" >/dev/null || fail "$tool is missing: run tools/install-deps.sh"
done

work="$(mktemp -d "$build/package-check.XXXXXX")"
installed_by_us=0
program=""
cleanup() {
    # A check that failed after the install must not leave the package behind.
    if [ -n "$program" ] && kill -0 "$program" 2>/dev/null; then
        kill "$program" 2>/dev/null || true
    fi
    if [ "$installed_by_us" = 1 ]; then
        flock /tmp/apt.lock dpkg --purge tallyfern >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

deb="$("$src/tools/package.sh" "$build" | tail -n 1)"
echo "package: $deb"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
case "$depends" in *libqt6widgets6*) ;; *) fail "the dependencies were not computed from the libraries" ;; esac
case "$depends" in *qt6-translations-l10n*) ;; *) fail "the package does not depend on Qt's translations" ;; esac
case "$(dpkg-deb -f "$deb" Recommends)" in
    *fonts-wqy-microhei*", galculator |"*) ;;
    *) fail "the package does not recommend the Chinese font and a small calculator first" ;;
esac
# Built with Debian's hardening flags: the stack protector is in, relocations are read-only.
dpkg-deb -x "$deb" "$work/flags"
symbols="$(objdump -T "$work/flags/usr/bin/tallyfern")"
case "$symbols" in *__stack_chk_fail*) ;; *) fail "no stack protector" ;; esac
dynamic="$(objdump -p "$work/flags/usr/bin/tallyfern")"
case "$dynamic" in *RELRO*) ;; *) fail "no read-only relocations" ;; esac

# Lintian's own exit status counts errors only; warnings are shown for whoever reads the log.
lintian --tag-display-limit 0 "$deb" | tee "$work/lintian.txt" || fail "lintian reports errors"
if grep -q '^E:' "$work/lintian.txt"; then fail "lintian reports errors"; fi

# Installing touches the machine's package database: one package run at a time, and none
# while another session's apt-get holds the shared lock.
if [ "$(id -u)" = 0 ]; then
    exec 9>/tmp/tallyfern-package-check.lock
    flock 9
fi
if [ "$(id -u)" = 0 ] && ! dpkg-query -W -f='${Status}' tallyfern 2>/dev/null | grep -q 'ok installed'; then
    installed_by_us=1
    flock /tmp/apt.lock dpkg -i "$deb" >"$work/dpkg.txt" 2>&1 || {
        cat "$work/dpkg.txt" >&2
        fail "dpkg -i failed"
    }
    root=""
    echo "installed with dpkg -i"
else
    root="$work/root"
    dpkg-deb -x "$deb" "$root"
    echo "unpacked with dpkg-deb -x into $root (installing needs root and no tallyfern installed)"
fi

desktop-file-validate "$root/usr/share/applications/tallyfern.desktop" || fail "desktop-file-validate"
metainfo="$(dpkg-deb -c "$deb" | grep -o 'usr/share/metainfo/[^ ]*\.metainfo\.xml$')" ||
    fail "the package has no AppStream metadata"
appstreamcli validate --no-net "$root/$metainfo" || fail "appstreamcli validate"

for file in db.zovalt cates.xls trans.xls cates.html trans.html; do
    data="$root/usr/share/tallyfern/$file"
    [ -f "$data" ] || fail "$data is missing"
    [ "$(stat -c %a "$data")" = 644 ] || fail "$data is not read-only for users"
    [ ! -e "$root/usr/bin/$file" ] || fail "$file lies beside the program"
done
for file in usr/share/man/man1/tallyfern.1.gz usr/share/man/zh_CN/man1/tallyfern.1.gz \
    usr/share/doc/tallyfern/copyright; do
    [ -f "$root/$file" ] || fail "$file is missing"
done

for size in 16 22 24 32 48 64 128 256; do
    icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/tallyfern.png"
    [ -f "$icon" ] || fail "the ${size}x${size} icon is missing"
    file "$icon" | grep -q "$size x $size" || fail "the ${size}x${size} icon has another size"
done

exe="$root/usr/bin/tallyfern"
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
[ "$("${nodisplay[@]}" "$exe" --version)" = "Tallyfern $version" ] || fail "tallyfern --version"
"${nodisplay[@]}" "$exe" --help | grep -q '备份文件' || fail "tallyfern --help lacks the usage"
status=0
"${nodisplay[@]}" "$exe" --no-such-option >"$work/out.txt" 2>"$work/err.txt" || status=$?
[ "$status" = 2 ] || fail "an unknown option ended with $status, not 2"
[ ! -s "$work/out.txt" ] && grep -q '用法' "$work/err.txt" || fail "an unknown option's usage is not on stderr"

# A first start in a fresh home makes the user's ledger from the installed blank one; the
# program then waits in its sign-in window and is ended here.
home="$work/home"
mkdir -p "$home" "$work/tmp"
mkdir -m 700 "$work/run"
ledger="$home/.local/share/Tallyfern/db.zovalt"
env -u XDG_DATA_HOME -u DISPLAY -u WAYLAND_DISPLAY HOME="$home" TMPDIR="$work/tmp" \
    XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=offscreen "$exe" >"$work/start.txt" 2>&1 &
program=$!
for _ in $(seq 200); do
    [ -s "$ledger" ] && break
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$program" 2>/dev/null || { cat "$work/start.txt" >&2; fail "the installed program ended at its first start"; }
kill "$program"
wait "$program" 2>/dev/null || true
program=""
# Opening the ledger may add the program's own tables and indexes, so the copy is compared
# by what it holds, not byte for byte.
/usr/bin/python3 - "$ledger" <<'PY' || fail "no ledger was made from the installed blank one"
import sqlite3, sys
names = {r[0] for r in sqlite3.connect(sys.argv[1]).execute("select name from sqlite_master where type='table'")}
sys.exit(0 if {"users", "data", "cates"} <= names else 1)
PY
[ "$(stat -c %a "$ledger")" = 600 ] || fail "the new ledger is readable by others"
mkdir -p "$home/备份"
cp "$ledger" "$home/备份/一月.zovalt"
(cd "$home" && sha256sum .local/share/Tallyfern/db.zovalt 备份/一月.zovalt) >"$work/sums"

if [ "$installed_by_us" = 1 ]; then
    flock /tmp/apt.lock dpkg -r tallyfern >"$work/dpkg.txt" 2>&1 || {
        cat "$work/dpkg.txt" >&2
        fail "dpkg -r failed"
    }
    [ ! -e /usr/bin/tallyfern ] && [ ! -e /usr/share/tallyfern ] || fail "dpkg -r left the program behind"
    (cd "$home" && sha256sum --quiet -c "$work/sums") || fail "dpkg -r touched the user's files"
    flock /tmp/apt.lock dpkg --purge tallyfern >"$work/dpkg.txt" 2>&1 || {
        cat "$work/dpkg.txt" >&2
        fail "dpkg --purge failed"
    }
    installed_by_us=0
    (cd "$home" && sha256sum --quiet -c "$work/sums") || fail "dpkg --purge touched the user's files"
    echo "removed and purged; the user's ledger and backup are unchanged"
fi
echo "package check passed"
