#!/usr/bin/env bash
# Makes the Debian package from an already-built tree (default build/) with CPack:
#   ./scripts/package.sh                 build/orvane_<version>_<arch>.deb
#   ./scripts/package.sh --check [DIR]   also checks it: contents, desktop entry, AppStream
#                                        metadata, lintian (errors fail, warnings are listed)
#                                        and, as root, a start of the unpacked program as an
#                                        unprivileged user from a directory it cannot write.
# Exit code 77: a tool the check needs is missing (the test counts as skipped).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
CHECK=0
if [ "${1:-}" = "--check" ]; then CHECK=1; shift; fi
# A fresh clone has no build tree yet: the set-up installs what is missing and builds one.
if [ -z "${1:-}" ] && [ ! -f "$ROOT/build/CMakeCache.txt" ]; then
    "$ROOT/scripts/setup.sh"
fi
BUILD="$(cd "${1:-$ROOT/build}" && pwd)"

cd "$BUILD"
# Reuses the tree: only what the package holds is (re)built, usually nothing.
cmake --build . -j"$(nproc)" --target orvane orvane-boxsim orvane-deploy orvane-modbus orvane_package_files >/dev/null
rm -f orvane_*.deb
if ! cpack -G DEB >cpack.log 2>&1; then
    cat cpack.log >&2
    exit 1
fi
DEB="$(ls "$BUILD"/orvane_*.deb)"
echo "$DEB"
[ "$CHECK" -eq 1 ] || exit 0

for tool in dpkg-deb desktop-file-validate appstreamcli lintian file; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is missing (scripts/setup.sh installs it)"
        exit 77
    fi
done

fail() { echo "FAIL: $*" >&2; exit 1; }
SCRATCH="$(mktemp -d)"
PID=""
cleanup() {
    if [ -n "$PID" ]; then kill "$PID" 2>/dev/null || true; fi
    rm -rf "$SCRATCH"
}
trap cleanup EXIT

# Contents: the programs, the desktop entry, every icon size, the metadata and the docs.
dpkg-deb --contents "$DEB" | awk '{print $6}' | sed 's|^\./|/|' >"$SCRATCH/contents"
for f in /usr/bin/orvane /usr/bin/orvane-boxsim /usr/bin/orvane-deploy /usr/bin/orvane-modbus \
         /usr/share/applications/net.orvane.orvane.desktop \
         /usr/share/metainfo/net.orvane.orvane.metainfo.xml \
         /usr/share/doc/orvane/copyright /usr/share/doc/orvane/changelog.Debian.gz \
         /usr/share/man/man1/orvane.1.gz /usr/share/man/man1/orvane-boxsim.1.gz \
         /usr/share/man/man1/orvane-deploy.1.gz /usr/share/man/man1/orvane-modbus.1.gz; do
    grep -qx "$f" "$SCRATCH/contents" || fail "$f is not in the package"
done
for size in 16 22 24 32 48 64 128 256; do
    f="/usr/share/icons/hicolor/${size}x${size}/apps/net.orvane.orvane.png"
    grep -qx "$f" "$SCRATCH/contents" || fail "$f is not in the package"
done
dpkg-deb --field "$DEB" Depends | grep -q 'qttranslations5-l10n' || fail "Depends lacks qttranslations5-l10n"
dpkg-deb --field "$DEB" Depends | grep -q 'libqt5sql5-sqlite' || fail "Depends lacks libqt5sql5-sqlite"

mkdir "$SCRATCH/root"
dpkg-deb -x "$DEB" "$SCRATCH/root"
file "$SCRATCH/root/usr/bin/orvane" | grep -q ', stripped' || fail "orvane is not stripped"
desktop-file-validate "$SCRATCH/root/usr/share/applications/net.orvane.orvane.desktop" \
    || fail "desktop-file-validate"
appstreamcli validate --no-net "$SCRATCH/root/usr/share/metainfo/net.orvane.orvane.metainfo.xml" \
    || fail "appstreamcli validate"

# lintian: errors fail the check; what else it says is listed.
lintian --tag-display-limit 0 "$DEB" >"$SCRATCH/lintian" 2>&1 || true
sed 's/^/lintian: /' "$SCRATCH/lintian"
if grep -q '^E:' "$SCRATCH/lintian"; then fail "lintian reports errors"; fi

# The installed program started as an unprivileged user, from a directory that user cannot
# write, beside an executable in a directory it cannot write either: it runs and logs under
# its data directory.
if [ "$(id -u)" -ne 0 ] || ! command -v setpriv >/dev/null; then
    echo "Not root (or no setpriv): the start as an unprivileged user is not checked."
    exit 0
fi
chmod 755 "$SCRATCH"
HOME_DIR="$SCRATCH/home"
LOCKED="$SCRATCH/locked"
mkdir "$HOME_DIR" "$LOCKED"
chown nobody:nogroup "$HOME_DIR"
LOG="$HOME_DIR/.local/share/Orvane 600/ORVANELOG.log"
(cd "$LOCKED" && exec setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env -i HOME="$HOME_DIR" PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen \
    "$SCRATCH/root/usr/bin/orvane" >"$SCRATCH/run.out" 2>&1) &
PID=$!
for _ in $(seq 1 100); do
    [ -s "$LOG" ] && break
    kill -0 "$PID" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$PID" 2>/dev/null || { cat "$SCRATCH/run.out" >&2; fail "the installed program did not keep running"; }
[ -s "$LOG" ] || { cat "$SCRATCH/run.out" >&2; fail "no log under $HOME_DIR/.local/share/Orvane 600"; }
grep -q 'main: start' "$LOG" || fail "the log has no start line"
[ ! -e "$LOCKED/Settings.ini" ] || fail "Settings.ini written into a directory the user cannot write"
kill "$PID"
wait "$PID" 2>/dev/null || true
PID=""
echo "Package checked: $DEB"
