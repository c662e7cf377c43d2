#!/usr/bin/env bash
# Smoke scenarios of the control panel under a real X server: Xvfb with the openbox window
# manager, real key and mouse events from xdotool, the program against the virtual unit.
#
#   scripts/xsmoke.sh BUILD_DIR
#
# What the offscreen GUI tests cannot see: the window manager's focus and close requests.
# Scenarios: the window starts; each navigator tab opens (Ctrl+Tab); every dialog opens from
# the keyboard (shortcut or menu mnemonic) and Esc closes it, the main window active again;
# a menu opens with the mouse; the window takes 1024x600; Alt+F4 or the close box right
# after a dialog, and during a short link operation, ends the program. The program says which pane it shows
# through the file TK530_SMOKE_STATE names. Exits 77 (skipped) when a tool is missing
# (scripts/install-deps.sh installs them); everything started here is stopped at the end.
set -euo pipefail
BUILD=$(cd "${1:?build folder missing}" && pwd)
GUI=$BUILD/app/tk530
SIM=$BUILD/tools/sim/tk530-sim

for tool in Xvfb openbox xdotool xwininfo xprop; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is not installed (scripts/install-deps.sh installs it)"
        exit 77
    fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tk530-xsmoke.XXXXXX")
xvfb_pid='' wm_pid='' sim_pid='' app_pid=''
stop() { # stops one process started here, by its id
    local pid=$1
    [ -n "$pid" ] || return 0
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}
cleanup() {
    stop "$app_pid"
    stop "$wm_pid"
    stop "$xvfb_pid"
    stop "$sim_pid"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

# Polls `$@` every 0.1 s for up to $WAIT seconds (10 by default: a busy machine is slow).
wait_for() {
    local tries=$((${WAIT:-10} * 10))
    for _ in $(seq "$tries"); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

# The display server, on a free display number it chooses itself.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
wait_for test -s "$work/display" || {
    cat "$work/xvfb.log"
    echo "Xvfb did not start"
    exit 1
}
DISPLAY=:$(cat "$work/display")
export DISPLAY
openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
wait_for wm_ready || {
    echo "openbox did not start"
    exit 1
}

"$SIM" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
WAIT=10 wait_for test -s "$work/sim.out" || {
    echo "the virtual unit did not start"
    exit 1
}
port=$(head -n 1 "$work/sim.out")

# A program folder as run.sh makes it: the program beside a profile for the unit's port.
mkdir "$work/program"
cp "$GUI" "$work/program/tk530"
{
    printf '\003\000\000\000\001\000\000\000\000'
    printf '%s' "$port"
    head -c $((19 - ${#port})) /dev/zero
    printf '\377\377\377\377'
} >"$work/program/Profile.dat"

MAIN_TITLE='TK530 Control Panel'
main=
start_app() {
    : >"$work/state"
    HOME=$work TK530_SMOKE_STATE=$work/state "$work/program/tk530" >"$work/app.log" 2>&1 &
    app_pid=$!
    main_window() {
        main=$(xdotool search --onlyvisible --name "^$MAIN_TITLE" | head -n 1)
        [ -n "$main" ]
    }
    if ! WAIT=15 wait_for main_window; then
        cat "$work/app.log"
        return 1
    fi
    xdotool windowactivate --sync "$main"
}
visible() { xdotool search --onlyvisible --name "$1"; }
gone() { ! visible "$1"; }
active_is_main() { [ "$(xdotool getactivewindow)" = "$main" ]; }
last_state() { tail -n 1 "$work/state"; }
ended() { ! kill -0 "$app_pid" 2>/dev/null; }

# 1. Start.
if start_app; then
    pass "the window starts ($(xdotool getwindowname "$main"))"
else
    fail "no main window"
    exit 1
fi

# 2. Each navigator tab from the keyboard.
for tab in 1 2 0; do
    xdotool key ctrl+Tab
    state_is() { last_state | grep -q "^tab $tab "; }
    if wait_for state_is; then
        pass "tab $tab shown ($(last_state))"
    else
        fail "tab $tab not shown (last: $(last_state))"
    fi
done

# 3. Every dialog from the keyboard, Esc closes it and the main window is active again.
dialog() { # title, then the keys that open it
    local title=$1
    shift
    xdotool windowactivate --sync "$main"
    xdotool key --delay 150 "$@"
    if ! wait_for visible "$title"; then
        fail "\"$title\" did not open with $*"
        xdotool key Escape Escape
        return
    fi
    xdotool key Escape
    if ! wait_for gone "$title"; then
        fail "Esc did not close \"$title\""
        return
    fi
    if wait_for active_is_main; then
        pass "\"$title\" opens with $* and closes with Esc"
    else
        fail "after \"$title\" the main window is not active"
    fi
}
dialog 'Nastavení komunikace' F10
dialog 'O aplikaci' alt+v o
dialog 'Nápověda' F1
dialog 'Zálohy konfigurací' alt+k z
dialog 'Otevřít' ctrl+o
dialog 'Otevřít' alt+k p s
dialog 'Uložit' alt+k a

# The SMS menu's way to the new message.
xdotool key --delay 150 alt+m n
sms_new() { last_state | grep -q '^tab 2 pane 12 '; }
if wait_for sms_new; then
    pass "SMS › Nová SMS shows its pane"
else
    fail "Nová SMS: $(last_state)"
fi

# 4. A menu opened with the mouse: the menu bar's first item, just inside the window.
origin_x=$(xwininfo -id "$main" | awk '/Absolute upper-left X/ {print $4}')
origin_y=$(xwininfo -id "$main" | awk '/Absolute upper-left Y/ {print $4}')
xdotool mousemove $((origin_x + 25)) $((origin_y + 10)) click 1
menu_open() { xdotool search --onlyvisible --class tk530 | grep -vx "$main"; }
if wait_for menu_open; then
    pass "a click opens the Konfigurace menu"
else
    fail "a click on the menu bar opened nothing"
fi
xdotool key Escape
wait_for active_is_main || true

# 5. The window takes 1024x600 (nothing in it insists on more).
xdotool windowsize --sync "$main" 1024 600 || true
size_is() {
    xwininfo -id "$main" | grep -q 'Width: 1024' && xwininfo -id "$main" | grep -q 'Height: 600'
}
if wait_for size_is; then
    pass "the window is 1024x600"
else
    fail "the window did not take 1024x600: $(xwininfo -id "$main" | grep -E 'Width|Height' | tr -s ' \n' ' ')"
fi

# 6. Online, then a close request while a short operation's progress is on screen (Alt+F4
# reaches the dialog, the close box the blocked main window): the request is kept and
# carried out once the operation has ended.
click_close_box() { # the close box sits at the right end of the title bar above the window
    local info left top width bar
    info=$(xwininfo -id "$main")
    left=$(awk '/Absolute upper-left X/ {print $4}' <<<"$info")
    top=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$info")
    width=$(awk '/Width:/ {print $2}' <<<"$info")
    bar=$(awk '/Relative upper-left Y/ {print $4}' <<<"$info")
    xdotool mousemove $((left + width - bar / 2 - 2)) $((top - bar / 2)) click 1
}
close_during_operation() { # how: "alt+F4" or "the close box"
    local how=$1
    xdotool key F2
    WAIT=10 wait_for visible 'Komunikace s TK530' || true
    WAIT=15 wait_for gone 'Komunikace s TK530' || true
    wait_for active_is_main || true
    xdotool key F4
    if ! wait_for visible 'Komunikace s TK530'; then
        fail "F4 showed no progress"
        return
    fi
    if [ "$how" = alt+F4 ]; then
        xdotool key alt+F4
    else
        click_close_box
    fi
    if WAIT=15 wait_for ended; then
        pass "$how during a short operation ends the program"
    else
        fail "$how during a short operation was lost"
    fi
}
close_during_operation alt+F4
stop "$app_pid"
app_pid=
start_app || fail "no main window the second time"
close_during_operation "the close box"
stop "$app_pid"
app_pid=

# 7. Alt+F4 right after a dialog closed, and the close box clicked right after another.
start_app || fail "no main window the third time"
xdotool key F10
wait_for visible 'Nastavení komunikace' || true
xdotool key Escape alt+F4
if WAIT=10 wait_for ended; then
    pass "Alt+F4 right after a dialog ends the program"
else
    fail "Alt+F4 right after a dialog was lost"
fi
stop "$app_pid"
app_pid=

start_app || fail "no main window the fourth time"
xdotool key --delay 150 alt+v o
wait_for visible 'O aplikaci' || true
xdotool key Escape
click_close_box
if WAIT=10 wait_for ended; then
    pass "the close box right after a dialog ends the program"
else
    fail "the close box right after a dialog was lost"
fi
stop "$app_pid"
app_pid=

if [ $failures -gt 0 ]; then
    echo "$failures scenario(s) failed"
    exit 1
fi
echo "all scenarios passed"
