#!/usr/bin/env bash
# Zorbel as a native Wayland client of a headless Weston: it names its desktop
# entry as the app id, its startup drop counts 1 to 10 in the title, SIGTERM
# ends it with status 0 and nothing on stderr; started without QT_QPA_PLATFORM
# where only a Wayland display is, it uses that one, and the compositor going
# (as at logout) ends it within 2 s with status 1 and one line. Needs weston, qt6-wayland.
set -euo pipefail
zorbel=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/pulse.sh"
source "$here/../lib/window.sh"
on_fail echo "the program's stderr:"
on_fail cat "$work/stderr"
# Also gives a private runtime folder, where Weston puts its socket.
pulse_start
# The compositor logs every request: that is how the app id and titles are read.
WAYLAND_DEBUG=server weston --backend=headless-backend.so --socket=zorbel-test --idle-time=0 --no-config >"$work/weston.log" 2>&1 &
weston=$!
on_exit end_pid "$weston"
started_within 10 "wayland_test: Weston" "$weston" "$work/weston.log" test -S "$XDG_RUNTIME_DIR/zorbel-test" || exit 1
requests() { grep -o "xdg_toplevel@[0-9]*\.$1(\"[^\"]*\")" "$work/weston.log" | sed 's/.*("\(.*\)")/\1/'; }
titles_so_far() { requests set_title | grep -x '[0-9]*' | paste -sd ' '; }
# The program started with the environment given, its stderr empty so far.
start() {
    ZORBEL_STATUS=
    env -u DISPLAY "$@" WAYLAND_DISPLAY=zorbel-test "$zorbel" 2>"$work/stderr" &
    ZORBEL_PID=$!
}
on_exit zorbel_kill

start QT_QPA_PLATFORM=wayland
wait_until 20 grep -q 'set_title("10")' "$work/weston.log" || fail "the title never read 10; titles: $(titles_so_far)"
[ "$(titles_so_far)" = "1 2 3 4 5 6 7 8 9 10" ] || fail "titles were '$(titles_so_far)'"
[ "$(requests set_app_id)" = org.zorbel.Zorbel ] || fail "app id '$(requests set_app_id)'"
kill -TERM "$ZORBEL_PID"
zorbel_wait_exit 10 && [ "$ZORBEL_STATUS" = 0 ] || fail "SIGTERM did not end the program with status 0 (${ZORBEL_STATUS:-still running})"
[ ! -s "$work/stderr" ] || fail "the program wrote to stderr"
titles=$(titles_so_far)

start -u QT_QPA_PLATFORM
second_window() { [ "$(requests set_app_id | wc -l)" -ge 2 ]; }
wait_until 10 second_window || fail "the second window never appeared"
end_pid "$weston"
zorbel_wait_exit 2 && [ "$ZORBEL_STATUS" = 1 ] || fail "the compositor's end did not end the program with status 1 within 2 s (${ZORBEL_STATUS:-still running})"
[ "$(wc -l <"$work/stderr")" -le 1 ] || fail "more than one line on stderr after the compositor went away"
echo "wayland: app id org.zorbel.Zorbel, titles $titles, SIGTERM ended it with status 0, the compositor's end with status 1"
