#!/usr/bin/env bash
# The installed program as a new user meets it:
#   1. cmake --install into a temporary prefix holds the programs, manual pages, completion,
#      and with the window program its menu entry, icons and metainfo, which validate;
#   2. the installed tk530ctl, run by an ordinary user from a read-only copy of the prefix,
#      talks to the installed virtual unit and keeps its files under XDG_DATA_HOME, writing
#      nothing beside the executable; a data folder it cannot make is named with its reason;
#   3. a port the user may not open gives the hint how to join its group, once;
#   4. a copy of the program in a writable folder of its own still keeps its files there, and
#      when that folder is read-only a save names the file and the system's reason;
#   5. the .deb holds the same files, has its dependencies computed, and lintian finds no
#      error in it.
# Usage: package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
BUILD=$(cd "$1" && pwd)
SOURCE=$(cd "$2" && pwd)

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
has() { grep -qF -- "$2" <<<"$1" || fail "$3: '$2' not in: $1"; }
hasnt() { ! grep -qF -- "$2" <<<"$1" || fail "$3: '$2' in: $1"; }

T=$(mktemp -d /tmp/tk530-package.XXXXXX)
SIM_PID=
cleanup() {
    if [ -n "$SIM_PID" ]; then
        kill "$SIM_PID" 2>/dev/null || true
        wait "$SIM_PID" 2>/dev/null || true
    fi
    chmod -R u+w "$T" 2>/dev/null || true
    rm -rf "$T"
}
trap cleanup EXIT
chmod 0755 "$T"

# --- 1. the installed tree
cmake --install "$BUILD" --prefix "$T/prefix" >"$T/install.log"
P=$T/prefix
with_window=no
[ -x "$P/bin/tk530" ] && with_window=yes
expected=(bin/tk530ctl bin/tk530-sim share/man/man1/tk530ctl.1.gz share/man/man1/tk530-sim.1.gz
    share/bash-completion/completions/tk530ctl share/doc/tk530/copyright
    share/doc/tk530/changelog.gz)
if [ $with_window = yes ]; then
    expected+=(share/man/man1/tk530.1.gz share/applications/cz.tk530.ControlPanel.desktop
        share/metainfo/cz.tk530.ControlPanel.metainfo.xml)
    if [ -f "$SOURCE/resources/icons/tk530.svg" ]; then
        expected+=(share/icons/hicolor/scalable/apps/tk530.svg)
        for s in 16 22 24 32 48 64 128 256; do
            expected+=("share/icons/hicolor/${s}x${s}/apps/tk530.png")
        done
    fi
fi
for f in "${expected[@]}"; do
    [ -s "$P/$f" ] || fail "installed tree lacks $f"
done
for s in 16 256; do
    png="$P/share/icons/hicolor/${s}x${s}/apps/tk530.png"
    [ -f "$png" ] || continue
    has "$(file -b "$png")" "$s x $s" "icon size"
done
for m in "$P"/share/man/man1/*.1.gz; do
    has "$(zcat "$m" | head -n 20)" ".TH" "manual page $m"
done
bash -n "$P/share/bash-completion/completions/tk530ctl" || fail "completion does not parse"
# The menu entry and the metainfo validate whether or not the window program is built yet.
desktop-file-validate "$SOURCE/packaging/cz.tk530.ControlPanel.desktop"
appstreamcli validate --no-net --explain \
    "$BUILD/packaging/cz.tk530.ControlPanel.metainfo.xml" >"$T/appstream.log" ||
    { cat "$T/appstream.log"; fail "appstreamcli validate"; }

# --- 2. a read-only installation, run by an ordinary user
cp -a "$P" "$T/ro"
chmod -R a-w "$T/ro"
BIN=$T/ro/bin
mkdir -p "$T/home" "$T/xdg" "$T/state" "$T/out" "$T/portable"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    # Root writes into read-only folders; the test is about an ordinary user.
    chown nobody:nogroup "$T/home" "$T/xdg" "$T/state" "$T/out" "$T/portable"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
fi
user_env=(env -i PATH=/usr/bin:/bin HOME="$T/home" XDG_DATA_HOME="$T/xdg"
    XDG_STATE_HOME="$T/state" LANG=C.UTF-8)
run() { "${user_env[@]}" "${as_user[@]}" "$@"; }
# In the background as a simple command, so that env and setpriv exec into the program and
# $! is the program itself: a backgrounded function would leave $! naming a subshell, and
# killing that leaves the program running.
start() { "${user_env[@]}" "${as_user[@]}" "$@" & }
listing() { (cd "$1" && find . | sort); }
before=$(listing "$T/ro")

start "$BIN/tk530-sim" >"$T/sim.out" 2>"$T/sim.err"
SIM_PID=$!
for _ in $(seq 100); do
    [ -s "$T/sim.out" ] && break
    sleep 0.05
done
DEV=$(head -n1 "$T/sim.out")
[ -c "$DEV" ] || fail "the virtual unit printed no device: $(cat "$T/sim.out" "$T/sim.err")"

out=$(run "$BIN/tk530ctl" --port "$DEV" info 2>&1) || fail "info: $out"
has "$out" "TK530 virtual unit" "info"
out=$(run "$BIN/tk530ctl" --port "$DEV" read-config "$T/out/unit.cfg" 2>&1) || fail "read-config: $out"
[ "$(stat -c %s "$T/out/unit.cfg")" = 1667 ] || fail "unit.cfg is not 1667 bytes"
out=$(run "$BIN/tk530ctl" modem-add Office /dev/ttyS0 2>&1) || fail "modem-add: $out"
out=$(run "$BIN/tk530ctl" settings 2>&1) || fail "settings: $out"
has "$out" "programová složka: $T/xdg/tk530 (uživatelská data)" "settings"
[ "$(stat -c %a "$T/xdg/tk530")" = 700 ] || fail "the data folder is not 0700"
[ -s "$T/xdg/tk530/Data/Modems.dat" ] || fail "no Modems.dat in the data folder"
ls "$T/xdg/tk530/Data/Backups/"*.cfg >/dev/null || fail "no backup in the data folder"
[ "$(listing "$T/ro")" = "$before" ] || fail "files appeared beside the installed programs"

# A data folder that cannot be made is named with the system's reason, not as "in use".
out=$(env -i PATH=/usr/bin:/bin HOME="$T/home" XDG_DATA_HOME="$T/ro/share" LANG=C.UTF-8 \
    "${as_user[@]}" "$BIN/tk530ctl" modem-add Office /dev/ttyS0 2>&1) && fail "modem-add in a read-only folder: $out"
has "$out" "$T/ro/share/tk530: přístup odepřen" "unwritable data folder"
hasnt "$out" "jiný program" "unwritable data folder"

# --- 3. a port the user may not open: the group's hint, once
if [ "$(id -u)" -eq 0 ]; then
    chown root:dialout "$DEV"
    chmod 0660 "$DEV"
    first=$(run "$BIN/tk530ctl" --port "$DEV" info 2>&1) && fail "info on a port without rights"
    has "$first" "usermod -aG dialout nobody" "permission hint"
    second=$(run "$BIN/tk530ctl" --port "$DEV" info 2>&1) && fail "info on a port without rights"
    hasnt "$second" "usermod" "second run"
    chown nobody:tty "$DEV"
    chmod 0620 "$DEV"
else
    echo "not root: the port-permission hint is not checked"
fi

# --- 4. a portable folder keeps its files beside the program
cp "$BIN/tk530ctl" "$T/portable/"
[ "$(id -u)" -eq 0 ] && chown nobody:nogroup "$T/portable/tk530ctl"
out=$(run "$T/portable/tk530ctl" --port "$DEV" info 2>&1) || fail "portable info: $out"
out=$(run "$T/portable/tk530ctl" modem-add Portable /dev/ttyS1 2>&1) || fail "portable modem-add: $out"
out=$(run "$T/portable/tk530ctl" settings 2>&1) || fail "portable settings: $out"
has "$out" "programová složka: $T/portable (přenosná, vedle programu)" "portable settings"
[ -s "$T/portable/Data/Modems.dat" ] || fail "the portable folder has no Modems.dat"
hasnt "$(cat "$T/xdg/tk530/Data/Modems.dat")" "Portable" "the user's modem list"
# A portable folder that holds the files but is read-only: the save names the cause.
chmod a-w "$T/portable"
out=$(run "$T/portable/tk530ctl" settings --port /dev/ttyS1 2>&1) && fail "settings in a read-only folder: $out"
has "$out" "$T/portable/Profile.dat: přístup odepřen" "read-only portable folder"
chmod u+w "$T/portable"
kill "$SIM_PID"
wait "$SIM_PID" 2>/dev/null || true
SIM_PID=

# --- 5. the Debian package
cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$T/deb" >"$T/cpack.log" 2>&1 ||
    { cat "$T/cpack.log"; fail "cpack"; }
DEB=$(ls "$T"/deb/*.deb)
contents=$(dpkg-deb -c "$DEB")
for f in "${expected[@]}"; do
    has "$contents" "./usr/$f" "package contents"
done
hasnt "$contents" "./usr/lib" "package contents (a static core leaves no library)"
depends=$(dpkg-deb -f "$DEB" Depends)
has "$depends" "libc6" "Depends"
has "$depends" "libstdc++6" "Depends"
if [ $with_window = yes ]; then
    has "$depends" "libqt6widgets6" "Depends"
    has "$depends" "qt6-qpa-plugins" "Depends"
fi
# Errors fail; accepted warnings are listed in packaging/lintian-accepted with the reason.
suppress=$(sed -e '/^#/d' "$SOURCE/packaging/lintian-accepted" | awk 'NF {print $1}' | paste -sd, -)
lint=(lintian --fail-on error --tag-display-limit 0 --display-info)
[ -n "$suppress" ] && lint+=(--suppress-tags "$suppress")
# Lintian warns that it runs as root; the package is only read.
"${lint[@]}" "$DEB" 2>&1 | grep -v 'running with root privileges' | tee "$T/lintian.log" ||
    fail "lintian found errors"
echo "package test passed ($(basename "$DEB"), $(wc -l <<<"$contents") entries)"
