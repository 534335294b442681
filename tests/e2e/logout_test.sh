#!/usr/bin/env bash
# Every way out of Zorbel ends it promptly and cleanly: within 2 s, with
# status 0 or 1, no core dump and at most a line or two on stderr.
# - No display: DISPLAY and WAYLAND_DISPLAY unset, or a DISPLAY no server
#   answers: one line naming it, status 1.
# - The window killed (XKillClient) or destroyed (XDestroyWindow) by another
#   client, and the X server gone alone: status 1.
# - The logout race, $2 rounds (default 24) of each: X server, sound server
#   and Zorbel sent SIGTERM together; X server and sound server killed back
#   to back. Each round kills them at another moment of the startup drop,
#   while the sound cues play.
set -euo pipefail
zorbel=$1
rounds=${2:-24}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/xvfb.sh"
source "$here/../lib/window.sh"
source "$here/../lib/pulse.sh"
on_fail echo "the program's stderr:"
on_fail cat "$work/stderr"

# $1 names the case; $2 lists the exit statuses allowed, $3 how many lines
# stderr may hold.
ended_cleanly() {
    # (bash would report each server killed here)
    zorbel_wait_exit 2 2>/dev/null || fail "$1: still running 2 s later"
    case " $2 " in
    *" $ZORBEL_STATUS "*) ;;
    *) fail "$1: exit status $ZORBEL_STATUS" ;;
    esac
    local lines
    lines=$(wc -l <"$work/stderr")
    [ "$lines" -le "$3" ] || fail "$1: $lines lines on stderr"
}

without_display() {
    "$@" "$zorbel" 2>"$work/stderr" &
    ZORBEL_PID=$!
    ended_cleanly "started with $*" 1 1
    grep -q DISPLAY "$work/stderr" || fail "started with $*: the message does not name DISPLAY"
}
without_display env -u DISPLAY -u WAYLAND_DISPLAY
without_display env -u WAYLAND_DISPLAY DISPLAY=:4095

# A desktop session: X server, sound server and Zorbel with its window up.
# The sound server's clients complain on stderr when it is killed.
session_start() {
    if ! { xvfb_start && pulse_start && zorbel_start "$zorbel" "$work/stderr"; } 2>>"$work/servers.log"; then
        cat "$work/servers.log" >&2
        exit 1
    fi
}

session_end() {
    zorbel_kill
    pulse_stop
    xvfb_stop
}

destroy_window() {
    python3 - "$1" <<'PYTHON'
import ctypes, sys
x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
display = ctypes.c_void_p(x11.XOpenDisplay(None))
x11.XDestroyWindow(display, ctypes.c_ulong(int(sys.argv[1])))
x11.XCloseDisplay(display)
PYTHON
}

for way in windowkill XDestroyWindow "X server gone"; do
    session_start
    sleep 0.3
    case "$way" in
    windowkill) xdotool windowkill "$ZORBEL_WINDOW" ;;
    XDestroyWindow) destroy_window "$ZORBEL_WINDOW" ;;
    *) kill -KILL "$XVFB_PID" ;;
    esac
    ended_cleanly "$way" 1 2
    session_end
done

for round in $(seq "$rounds"); do
    for way in together back-to-back; do
        session_start
        sleep "0.$((round % 5))"
        case "$way" in
        together) kill -TERM "$XVFB_PID" "$PULSE_PID" "$ZORBEL_PID" ;;
        back-to-back) kill -KILL "$XVFB_PID" && kill -KILL "$PULSE_PID" ;;
        esac
        ended_cleanly "round $round, $way" "0 1" 2
        session_end
    done
done
echo "logout: no display ended with one line and status 1; window killed, destroyed and X gone ended it;" \
    "$rounds rounds of the logout race each ended within 2 s"
