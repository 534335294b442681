#!/usr/bin/env bash
# Every way out ends Zorbel within 2 s, with no core dump and a line or two at
# most on stderr: no display, the window killed or destroyed by another
# client, the X server gone, and $2 rounds (default 24) of the logout race,
# each at another moment of the startup drop while the cues play.
set -euo pipefail
zorbel=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/xvfb.sh"
source "$here/../lib/window.sh"
source "$here/../lib/pulse.sh"
on_fail echo "the program's stderr:"
on_fail cat "$work/stderr"

# Case $1 ended with one of the statuses $2 and at most $3 lines on stderr.
ended_cleanly() {
    # (bash would report each server killed here)
    zorbel_wait_exit 2 2>/dev/null || fail "$1: still running 2 s later"
    [[ " $2 " == *" $ZORBEL_STATUS "* ]] || fail "$1: exit status $ZORBEL_STATUS"
    [ "$(wc -l <"$work/stderr")" -le "$3" ] || fail "$1: $(wc -l <"$work/stderr") lines on stderr"
}
for display in "-u DISPLAY" DISPLAY=:4095; do
    env -u WAYLAND_DISPLAY $display "$zorbel" 2>"$work/stderr" &
    ZORBEL_PID=$!
    ended_cleanly "started with $display" 1 1
    grep -q DISPLAY "$work/stderr" || fail "started with $display: the message does not name DISPLAY"
done

# A desktop session, window up, ended the way $1 names after $2 s.
# The sound server's clients complain on stderr when it is killed.
session() {
    { xvfb_start && pulse_start && zorbel_start "$zorbel" "$work/stderr"; } 2>>"$work/servers.log" ||
        { cat "$work/servers.log" >&2 && exit 1; }
    sleep "$2"
    case "$1" in
    windowkill) xdotool windowkill "$ZORBEL_WINDOW" ;;
    XDestroyWindow) xdotool windowclose "$ZORBEL_WINDOW" ;;
    "X server gone") kill -KILL "$XVFB_PID" ;;
    together) kill -TERM "$XVFB_PID" "$PULSE_PID" "$ZORBEL_PID" ;;
    back-to-back) kill -KILL "$XVFB_PID" && kill -KILL "$PULSE_PID" ;;
    esac
    ended_cleanly "${3:-}$1" "${4:-1}" 2
    zorbel_kill; pulse_stop; xvfb_stop
}
for way in windowkill XDestroyWindow "X server gone"; do session "$way" 0.3; done
for round in $(seq "${2:-24}"); do
    for way in together back-to-back; do session $way "0.$((round % 5))" "round $round, " "0 1"; done
done
echo "logout: no display ended with one line and status 1; window killed, destroyed and X gone ended it;" \
    "${2:-24} rounds of the logout race each ended within 2 s"
