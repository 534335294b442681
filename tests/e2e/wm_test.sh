#!/usr/bin/env bash
# Under a real window manager ($3: i3, tiling, or openbox, told to maximise
# every window), which gives the window another size than it asked for; and a
# ball held while the window goes off the screen falls once it is back.
#   wm_test.sh ZORBEL PREDICT_DROP i3|openbox
set -euo pipefail
zorbel=$1 predict=$2 manager=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/xvfb.sh"
source "$here/../lib/window.sh"
on_fail echo "($manager) the program's stderr:"
on_fail cat "$work/stderr"

xvfb_start
# A button still held would stay down in the X server for the next test.
on_exit eval 'xdotool mouseup 1 2>/dev/null || true'
# A configuration of its own and a HOME in $work: nothing of the real home is read or written.
wm=$work/wm
mkdir "$wm"
case "$manager" in
i3)
    printf '# i3 config file (v4)\nipc-socket %s\nfocus_follows_mouse no\n' "$wm/ipc" >"$wm/config"
    HOME=$wm i3 -c "$wm/config" --shmlog-size=0 >"$wm/wm.log" 2>&1 &
    # i3 has no minimised windows: its way off the screen is another workspace.
    wm_show() { i3-msg -s "$wm/ipc" workspace 1 >/dev/null; }
    wm_hide() { i3-msg -s "$wm/ipc" workspace 2 >/dev/null; }
    ;;
openbox)
    echo '<openbox_config xmlns="http://openbox.org/3.4/rc"><desktops><number>2</number></desktops>
<applications><application class="*"><maximized>yes</maximized></application></applications></openbox_config>' >"$wm/rc.xml"
    HOME=$wm XDG_CONFIG_HOME=$wm XDG_CACHE_HOME=$wm openbox --sm-disable --config-file "$wm/rc.xml" >"$wm/wm.log" 2>&1 &
    wm_show() { xdotool windowactivate --sync "$ZORBEL_WINDOW" 2>/dev/null; }
    wm_hide() { xdotool windowminimize --sync "$ZORBEL_WINDOW" 2>/dev/null; }
    ;;
*) fail "no window manager called '$manager'" ;;
esac
wm_pid=$!
on_exit end_pid $wm_pid
# A manager announces itself on the root window once it manages the screen.
wm_announced() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
started_within 10 "$manager" $wm_pid "$wm/wm.log" wm_announced || exit 1
export PULSE_SERVER=unix:$work/no-sound-server
zorbel_start "$zorbel" "$work/stderr"

read -r width height <<<"$(xwininfo -id "$ZORBEL_WINDOW" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }')"
[ "${width}x$height" != 608x428 ] || fail "the manager left the client at 608x428: nothing to test"
read -r count _ <<<"$("$predict" "$height")"
# The ball rests on the floor once its timers are off ($1 says after what).
rests_on_floor() {
    zorbel_wait_rest 20 && zorbel_screenshot "$work/shot.png" || fail "$1: the ball did not come to rest"
    read -r top bottom <<<"$(zorbel_ball_rows "$work/shot.png")"
    [ "$bottom" = $((height - 1)) ] || fail "$1: the ball rests at rows $top-$bottom, not on the floor of a client $height px high"
}
zorbel_wait_title "$count" 20 || fail "the startup drop in a client ${width}x$height did not count $count"
rests_on_floor "the startup drop"
# Everything but the black floor in the client's bottom-right 100 x 100 px
# is the button, 35 x 35 px at 45 px from either edge.
button=$(convert "$work/shot.png" -crop "100x100+$((width - 100))+$((height - 100))" +repage -fuzz 3% -trim -format '%wx%h%X%Y' info:)
[ "$button" = 35x35+55+55 ] || fail "the bottom-right 100 px of the client hold '$button', not the button at 35x35+55+55"

# The ball held 200 px up while the window is off the screen has fallen when it is back, and no timer ticks.
ball_y=$((height - 74 + 37))
xdotool mousemove --window "$ZORBEL_WINDOW" 439 $ball_y mousedown 1 sleep 0.05 mousemove --window "$ZORBEL_WINDOW" 439 $((ball_y - 200)) sleep 0.1
wm_hide || fail "$manager did not take the window off the screen"
sleep 0.3
wm_show || fail "$manager did not bring the window back"
counting() { ! zorbel_title_is "$count"; }
wait_until 5 counting || fail "the ball held while the window was off the screen never fell"
xdotool mouseup 1
rests_on_floor "after the lost release"
idle=$(zorbel_wakeups 2)
[ "$idle" = 0 ] || fail "$idle context switches in 2 s at rest after the lost release: a timer still ticks"

zorbel_close "$width" "$height" || fail "the close button did not end the program with status 0 (${ZORBEL_STATUS:-still running})"
[ "$(wc -l <"$work/stderr")" -le 1 ] || fail "$(wc -l <"$work/stderr") lines on stderr"
echo "$manager: client ${width}x$height, count $count, button at $((width - 45)),$((height - 45)), lost release delivered, closed with status 0"
