#!/usr/bin/env bash
# The real program under a real X server and sound server: the startup drop
# settles with title "10" and the ball on the bottom edge, one release cue
# and ten bounce cues are heard, and the close button ends it with status 0.
set -uo pipefail
zorbel=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/xvfb.sh"
source "$here/../lib/pulse.sh"
source "$here/../lib/window.sh"
work=$(mktemp -d)
cleanup() { zorbel_kill; pulse_stop; xvfb_stop; rm -rf "$work"; }
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

xvfb_start || exit 1
pulse_start || exit 1
pulse_record_start "$work/rec.raw" || exit 1

zorbel_start "$zorbel" "$work/stderr" || exit 1
zorbel_wait_title 10 15 || fail "the startup drop did not settle on 10"
sleep 0.3 # let the last cue finish before the recording stops
pulse_record_stop

zorbel_screenshot "$work/settled.png" || fail "no screenshot"
[ "$(identify -format '%wx%h' "$work/settled.png")" = 608x428 ] || fail "client area is not 608x428"
read -r top bottom <<<"$("$here/ball_on_screen.py" "$work/settled.png")"
[ "$bottom" = 427 ] || fail "the ball's bottom is at row $bottom, not on the bottom edge (427)"
[ "$top" -ge 354 ] || fail "ball pixels at row $top, above where a resting ball reaches"
# ZORBEL_UPDATE_SCREENSHOT=1 makes this the README's picture; -strip keeps it byte-stable.
[ "${ZORBEL_UPDATE_SCREENSHOT:-}" != 1 ] || convert "$work/settled.png" -strip "$here/../../docs/screenshot.png"

cues=$(python3 "$here/../sound/count_cues.py" "$work/rec.raw" \
    --bounce "$here/../../assets/bounce.wav" --release "$here/../../assets/release.wav")
[ "$cues" = "R B B B B B B B B B B" ] || fail "heard '$cues', expected one release then ten bounces"

# The close button sits 45 px in from the right and bottom edges.
xdotool mousemove --window "$ZORBEL_WINDOW" 580 400 click 1
zorbel_wait_exit 10 || fail "the close button did not end the program"
[ "$ZORBEL_STATUS" = 0 ] || fail "exit status $ZORBEL_STATUS"
if [ -s "$work/stderr" ]; then
    echo "stderr of the program:" >&2
    cat "$work/stderr" >&2
fi
echo "startup: settled on 10, ball on the floor, heard: $cues, closed with status 0"
