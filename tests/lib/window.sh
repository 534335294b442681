# Driving the real Zorbel window on an X server (xvfb.sh; pulse.sh for the startup drop).
source "$(dirname "${BASH_SOURCE[0]}")/frame.sh"
ZORBEL_TESTS=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ZORBEL_PID= ZORBEL_WINDOW= ZORBEL_STATUS=

# Starts the program ($1) with stderr into $2 and waits for its window.
zorbel_start() {
    on_exit zorbel_kill
    "$1" 2>"$2" &
    ZORBEL_PID=$! ZORBEL_WINDOW=
    # Not --sync: a window going while xdotool reads it (Wine's) ends that search with an X error.
    wait_until 20 zorbel_found_window && return
    echo "window.sh: no window appeared for $1; its stderr:" >&2
    cat "$2" >&2
    return 1
}
zorbel_found_window() { ZORBEL_WINDOW=$(xdotool search --onlyvisible --pid "$ZORBEL_PID" 2>/dev/null | head -n 1) && [ -n "$ZORBEL_WINDOW" ]; }
zorbel_title() { xdotool getwindowname "$ZORBEL_WINDOW" 2>/dev/null; }
zorbel_title_is() { [ "$(zorbel_title)" = "$1" ]; }
# Waits up to $2 s for the title $1.
zorbel_wait_title() { wait_until "$2" zorbel_title_is "$1" || { echo "window.sh: title is '$(zorbel_title)', expected '$1'" >&2 && return 1; }; }
zorbel_screenshot() { import -window "$ZORBEL_WINDOW" "png:$1"; }
zorbel_ball_rows() { "$ZORBEL_TESTS/e2e/ball_on_screen.py" "$@"; }
# The cues heard in recording $1 (pulse.sh's format), e.g. "R B B"; --details adds a line per cue.
zorbel_cues() { python3 "$ZORBEL_TESTS/sound/count_cues.py" "$@" --bounce "$ZORBEL_TESTS/../assets/bounce.wav" --release "$ZORBEL_TESTS/../assets/release.wav"; }
# Sets ZORBEL_STATUS once the program ends, within $1 s. Not in $(...): a subshell cannot wait for it.
zorbel_wait_exit() {
    wait_until "$1" zorbel_ended || return 1
    ZORBEL_STATUS=0
    wait "$ZORBEL_PID" || ZORBEL_STATUS=$?
    ZORBEL_PID=
}
# The startup drop into screenshot $1 and pulse.sh's recording $2, as zorbel_check_settled.
zorbel_check_startup_drop() {
    zorbel_wait_title 10 20 || return 1
    sleep 0.3 # the last cue finishes before the recording stops
    pulse_record_stop
    zorbel_screenshot "$1" && zorbel_check_settled "$@"
}
# Screenshot $1 is a 608 x 428 client with the ball on its floor; recording $2
# holds a release then ten bounces (left in ZORBEL_CUES), or what regex $3 allows.
zorbel_check_settled() {
    local cues=${3:-'^R( B){10}$'} top bottom size
    size=$(identify -format '%wx%h' "$1")
    [ "$size" = 608x428 ] || { echo "window.sh: client area is $size, not 608x428" >&2 && return 1; }
    read -r top bottom <<<"$(zorbel_ball_rows "$1")"
    # Nothing of the ball above its resting Top, 428 - 74.
    [ "$bottom" = 427 ] && [ "$top" -ge 354 ] ||
        { echo "window.sh: the ball rests at rows $top-$bottom, not on the bottom edge (427)" >&2 && return 1; }
    ZORBEL_CUES=$(zorbel_cues "$2")
    [[ "$ZORBEL_CUES" =~ $cues ]] && return
    echo "window.sh: heard '$ZORBEL_CUES', not '$cues'; $(($(stat -c %s "$2") / 88)) ms recorded:" >&2
    zorbel_cues "$2" --details | tail -n +2 >&2
    return 1
}
# At rest after the startup drop, buttons 8 and 9 clicked on the ball leave the
# instruction line (seen once the next event, a resize to 300 rows, is handled),
# each new floor takes the ball at once, and the title stays 10.
zorbel_check_extra_buttons_and_resize() {
    local height
    xdotool mousemove --window "$ZORBEL_WINDOW" 439 391 click 8 click 9
    for height in 300 428; do
        xdotool windowsize "$ZORBEL_WINDOW" 608 "$height"
        wait_until 10 zorbel_ball_lies_on "$height" ||
            { echo "window.sh: a client $height rows high left the ball at rows $(zorbel_ball_rows "$work/resized.png")" >&2 && return 1; }
        [ "$height" != 300 ] || [ "$(zorbel_label_shown "$work/resized.png")" = 1 ] ||
            { echo "window.sh: the back and forward buttons hid the instruction line" >&2 && return 1; }
    done
    zorbel_title_is 10 || { echo "window.sh: the title went from 10 to '$(zorbel_title)'" >&2 && return 1; }
}
# Screenshot $work/resized.png, taken now, shows the ball on the floor of a client $1 rows high.
zorbel_ball_lies_on() {
    zorbel_screenshot "$work/resized.png" && [ "$(identify -format %h "$work/resized.png")" = "$1" ] &&
        [ "$(zorbel_ball_rows "$work/resized.png")" = "$(($1 - 74)) $(($1 - 1))" ]
}
# 1 if screenshot $1 shows any of the instruction line's orange, else 0.
zorbel_label_shown() { convert "$1" -crop 572x16+2+0 -fill black -fuzz 30% +opaque 'rgb(255,192,128)' -format '%[fx:mean>0?1:0]' info:; }
# The close button, 45 px in from the right and bottom of a client $1 x $2 (608 x 428), ends the program with status 0.
zorbel_close() { xdotool mousemove --window "$ZORBEL_WINDOW" $((${1:-608} - 28)) $((${2:-428} - 28)) click 1 && zorbel_wait_exit 10 && [ "$ZORBEL_STATUS" = 0 ]; }
# Context switches of all its threads in the next $1 s: 0 when idle.
zorbel_wakeups() { local first; first=$(zorbel_context_switches) && sleep "$1" && echo $(($(zorbel_context_switches) - first)); }
# No thread ran for $1 s: its timers are off. One still runnable was kept from a busy processor: no proof.
zorbel_at_rest() { [ "$(zorbel_wakeups "$1")" = 0 ] && ! grep -q '^State:[[:space:]]*R' /proc/"$ZORBEL_PID"/task/*/status 2>/dev/null; }
zorbel_wait_rest() { wait_until "$1" zorbel_at_rest 0.3 || { echo "window.sh: the program's timers still ran after $1 s" >&2 && return 1; }; }
zorbel_context_switches() { cat /proc/"$ZORBEL_PID"/task/*/status 2>/dev/null | awk '/^(voluntary|nonvoluntary)_ctxt_switches/ { n += $2 } END { print n + 0 }'; }
zorbel_ended() { ! kill -0 "$ZORBEL_PID" 2>/dev/null; }
zorbel_kill() { end_pid "$ZORBEL_PID" && ZORBEL_PID=; }
