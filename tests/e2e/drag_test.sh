#!/usr/bin/env bash
# Grab, drag and throw with a real pointer: the instruction line goes at the
# first press, a still drop from Top 150 ends as the ball logic predicts, a
# throw rises before it falls, and a drag past the right edge and back leaves
# the program running and its timers quiet once the ball has settled.
set -uo pipefail
zorbel=$1
predict=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/xvfb.sh"
source "$here/../lib/window.sh"

# The ball's element Top and bottom rows, searched in columns $1..$2 (by
# default where it rests after the startup drop).
ball_rows() { zorbel_screenshot "$work/shot.png" && zorbel_ball_rows "$work/shot.png" "${1:-399}" "${2:-479}"; }

# Waits until three screenshots 0.4 s apart show the ball in the same place
# (two could catch a bouncing ball at the same height); prints its rows.
wait_still() {
    local previous now same=0 tries=50
    previous=$(ball_rows "$@")
    while sleep 0.4; do
        now=$(ball_rows "$@")
        if [ "$now" = "$previous" ] && [ "$now" != none ]; then
            same=$((same + 1))
            [ "$same" -ge 2 ] && { echo "$now"; return 0; }
        else
            same=0
        fi
        previous=$now
        tries=$((tries - 1))
        [ "$tries" -le 0 ] && return 1
    done
}

# The grab point: 40, 37 inside the ball, which rests at 399, 354.
grab_x=439
grab_y=391

xvfb_start || exit 1
# No sound server: the program must run silently all the same.
export PULSE_SERVER=unix:$work/no-sound-server
zorbel_start "$zorbel" "$work/stderr" || exit 1
zorbel_wait_title 10 15 || fail "the startup drop did not settle"
wait_still >/dev/null || fail "the ball did not come to rest"
zorbel_check_extra_buttons_and_resize || fail "the back and forward buttons, or a resize at rest"

# A still drop from Top 150.
read -r count settled <<<"$("$predict" 428 150)"
xdotool mousemove --window "$ZORBEL_WINDOW" $grab_x $grab_y mousedown 1
sleep 0.05
xdotool mousemove --window "$ZORBEL_WINDOW" $grab_x $((grab_y - 354 + 150))
held_near_150() {
    read -r held_top _ <<<"$(ball_rows)"
    [ "$held_top" -le 152 ] && [ "$held_top" -ge 150 ]
}
wait_until 5 held_near_150 || fail "held ball at row $held_top, expected about 150"
zorbel_screenshot "$work/held.png"
[ "$(zorbel_label_shown "$work/held.png")" = 0 ] || fail "the instruction line is still shown after the press"
xdotool mouseup 1
zorbel_wait_title "$count" 15 || fail "the drop from 150 did not count $count"
read -r top bottom <<<"$(wait_still)" || fail "the dropped ball did not come to rest"
[ "$top" -ge "${settled%.*}" ] && [ "$bottom" = 427 ] ||
    fail "rested at rows $top-$bottom, predicted Top $settled on the floor"
[ "$(zorbel_title)" = "$count" ] || fail "title $(zorbel_title) after settling, predicted $count"

# Let go from Top 150 into a client shrunk at once to 200 rows, where it comes
# to rest; given back its 428 rows, the client takes the ball to its floor.
xdotool mousemove --window "$ZORBEL_WINDOW" $grab_x $grab_y mousedown 1 sleep 0.05 \
    mousemove --window "$ZORBEL_WINDOW" $grab_x $((grab_y - 354 + 150)) sleep 0.1 mouseup 1
xdotool windowsize "$ZORBEL_WINDOW" 608 200
wait_until 10 zorbel_ball_lies_on 200 || fail "a client shrunk mid-drop left the ball at rows $(ball_rows)"
wait_still >/dev/null || fail "the ball did not come to rest in the shrunk client"
xdotool windowsize "$ZORBEL_WINDOW" 608 428
wait_until 10 zorbel_ball_lies_on 428 || fail "the client given back its size left the ball at rows $(ball_rows)"

# A throw: carried upward 20 px every 5 ms and let go while still moving.
# A machine too busy to hand the program the moves before the release has
# it let the ball go still, and the ball only falls; so a throw that did not
# rise is tried twice more, and a ball that never rises fails all three.
moves=()
for _ in $(seq 8); do moves+=(mousemove_relative -- 0 -20 sleep 0.005); done
release_top=$((354 - 160))
for attempt in 1 2 3; do
    xdotool mousemove --window "$ZORBEL_WINDOW" $grab_x $grab_y mousedown 1 sleep 0.05 "${moves[@]}" mouseup 1
    highest=999
    for _ in $(seq 15); do
        read -r top _ <<<"$(ball_rows)"
        [ "$top" != none ] && [ "$top" -lt "$highest" ] && highest=$top
    done
    wait_still >/dev/null || fail "the thrown ball did not come to rest"
    [ "$highest" -ge $((release_top - 20)) ] || break
    [ "$attempt" -lt 3 ] || fail "the thrown ball peaked at row $highest, not above its release at $release_top, three times"
    echo "throw $attempt peaked at row $highest, not above its release at $release_top: once more"
done

# A drag past the right edge and back, then a plain click on the ball.
xdotool mousemove --window "$ZORBEL_WINDOW" $grab_x $grab_y mousedown 1 sleep 0.05 \
    mousemove --window "$ZORBEL_WINDOW" 800 200 sleep 0.1 \
    mousemove --window "$ZORBEL_WINDOW" 300 200 sleep 0.1 mouseup 1
read -r _ left_bottom <<<"$(wait_still 260 340)" || fail "the ball did not come to rest after the drag"
[ "$left_bottom" = 427 ] || fail "after the drag the ball rests at bottom row $left_bottom"
xdotool mousemove --window "$ZORBEL_WINDOW" 300 391 click 1
wait_still 260 340 >/dev/null || fail "the ball did not come to rest after a click"

kill -0 "$ZORBEL_PID" 2>/dev/null || fail "the program ended"
sleep 0.5
idle=$(zorbel_wakeups 2)
[ "$idle" -le 5 ] || fail "$idle context switches in 2 s with the ball at rest: a timer is still running"
lines=$(wc -l <"$work/stderr")
[ "$lines" -le 1 ] || { cat "$work/stderr" >&2; fail "$lines lines on stderr"; }
echo "drag: drop from 150 counted $count, throw peaked at row $highest, $idle wake-ups at rest"
