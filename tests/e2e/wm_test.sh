#!/usr/bin/env bash
# Zorbel under a real window manager ($3: i3 or openbox, see wm.sh), which
# gives the window another size than it asked for: the close button sits 45 px
# in from the client's real right and bottom edges, the startup drop lands on
# the real floor with the count that height gives, a ball held while the
# window goes off the screen falls when it comes back and leaves the program
# idle, and the close button ends the program with status 0.
set -euo pipefail
zorbel=$1
predict=$2
manager=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/xvfb.sh"
source "$here/../lib/window.sh"
source "$here/../lib/wm.sh"
on_fail echo "($manager) the program's stderr:"
on_fail cat "$work/stderr"

xvfb_start
# A button still held would stay down in the X server for the next test.
release_button() { xdotool mouseup 1 2>/dev/null || true; }
on_exit release_button
wm_start "$manager"
export PULSE_SERVER=unix:$work/no-sound-server
zorbel_start "$zorbel" "$work/stderr"

read -r width height <<<"$(xwininfo -id "$ZORBEL_WINDOW" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }')"
[ "${width}x$height" != 608x428 ] || fail "the manager left the client at 608x428: nothing to test"
read -r count _ <<<"$("$predict" "$height")"
zorbel_wait_title "$count" 20 || fail "the startup drop in a client ${width}x$height did not count $count"
zorbel_wait_rest 20 || fail "the startup drop did not come to rest"
zorbel_screenshot "$work/settled.png" || fail "no screenshot"
read -r top bottom <<<"$(zorbel_ball_rows "$work/settled.png")"
[ "$bottom" = $((height - 1)) ] || fail "the ball rests at rows $top-$bottom, not on the floor of a client $height px high"

# Everything but the black floor in the client's bottom-right 100 x 100 px
# is the button, 35 x 35 px at 45 px from either edge.
button=$(convert "$work/settled.png" -crop "100x100+$((width - 100))+$((height - 100))" +repage \
    -fuzz 3% -trim -format '%wx%h%X%Y' info:)
[ "$button" = 35x35+55+55 ] || fail "the bottom-right 100 px of the client hold '$button', not the button at 35x35+55+55"

# The ball held 200 px up while the window goes off the screen: back on it,
# the ball has fallen and no timer ticks.
ball_x=$((399 + 40))
ball_y=$((height - 74 + 37))
xdotool mousemove --window "$ZORBEL_WINDOW" $ball_x $ball_y mousedown 1 sleep 0.05 \
    mousemove --window "$ZORBEL_WINDOW" $ball_x $((ball_y - 200)) sleep 0.1
wm_hide "$ZORBEL_WINDOW" || fail "$manager did not take the window off the screen"
sleep 0.3
wm_show "$ZORBEL_WINDOW" || fail "$manager did not bring the window back"
counting() { ! zorbel_title_is "$count"; }
wait_until 5 counting || fail "the ball held while the window was off the screen never fell"
xdotool mouseup 1
zorbel_wait_rest 20 || fail "the ball did not come to rest after the lost release"
zorbel_screenshot "$work/fallen.png" || fail "no screenshot"
read -r top bottom <<<"$(zorbel_ball_rows "$work/fallen.png")"
[ "$bottom" = $((height - 1)) ] || fail "after the lost release the ball is at rows $top-$bottom, not on the floor"
idle=$(zorbel_wakeups 2)
[ "$idle" = 0 ] || fail "$idle context switches in 2 s at rest after the lost release: a timer still ticks"

xdotool mousemove --window "$ZORBEL_WINDOW" $((width - 45 + 17)) $((height - 45 + 17)) click 1
zorbel_wait_exit 10 || fail "the close button did not end the program"
[ "$ZORBEL_STATUS" = 0 ] || fail "exit status $ZORBEL_STATUS"
lines=$(wc -l <"$work/stderr")
[ "$lines" -le 1 ] || fail "$lines lines on stderr"
echo "$manager: client ${width}x$height, count $count, button at $((width - 45)),$((height - 45)), lost release delivered, closed with status 0"
