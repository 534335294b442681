# Driving the real Zorbel window under a private X server. Source with
# xvfb.sh (and pulse.sh for zorbel_check_startup_drop); needs xdotool,
# ImageMagick and Python 3.

source "$(dirname "${BASH_SOURCE[0]}")/frame.sh"

ZORBEL_TESTS=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ZORBEL_PID=
ZORBEL_WINDOW=
ZORBEL_STATUS=

# Starts the program ($1) with stderr into $2 and waits for its window.
zorbel_start() {
    on_exit zorbel_kill
    "$1" 2>"$2" &
    ZORBEL_PID=$!
    ZORBEL_WINDOW=
    # Searched again and again rather than with --sync: a window that goes
    # while xdotool reads it (Wine makes and drops some as it starts) ends
    # that search with an X error.
    if ! wait_until 20 zorbel_found_window; then
        echo "window.sh: no window appeared for $1; its stderr:" >&2
        cat "$2" >&2
        return 1
    fi
}

zorbel_found_window() {
    ZORBEL_WINDOW=$(xdotool search --onlyvisible --pid "$ZORBEL_PID" 2>/dev/null | head -n 1)
    [ -n "$ZORBEL_WINDOW" ]
}

zorbel_title() { xdotool getwindowname "$ZORBEL_WINDOW" 2>/dev/null; }

# Waits up to $2 seconds for the title to read $1.
zorbel_wait_title() {
    wait_until "$2" zorbel_title_is "$1" && return
    echo "window.sh: title is '$(zorbel_title)', expected '$1'" >&2
    return 1
}

zorbel_title_is() { [ "$(zorbel_title)" = "$1" ]; }

zorbel_screenshot() { import -window "$ZORBEL_WINDOW" "png:$1"; }

# The rows of the ball element's top and bottom edges in screenshot $1, or
# "none"; searched in columns $2..$3 (by default where it rests at start).
zorbel_ball_rows() { "$ZORBEL_TESTS/e2e/ball_on_screen.py" "$@"; }

# The cues heard in recording $1 (pulse.sh's format), e.g. "R B B"; with
# --details, one line per cue after that.
zorbel_cues() {
    python3 "$ZORBEL_TESTS/sound/count_cues.py" "$@" \
        --bounce "$ZORBEL_TESTS/../assets/bounce.wav" --release "$ZORBEL_TESTS/../assets/release.wav"
}


# Waits up to $1 seconds for the program to end and sets ZORBEL_STATUS to its
# exit status. Call it in this shell, not in $(...): a subshell cannot wait
# for the program.
zorbel_wait_exit() {
    wait_until "$1" zorbel_ended || return 1
    ZORBEL_STATUS=0
    wait "$ZORBEL_PID" || ZORBEL_STATUS=$?
    ZORBEL_PID=
}

# The startup drop as the user sees and hears it, while pulse.sh records
# into $2: the title settles on "10", then zorbel_check_settled on a
# screenshot into $1 and the recording (and $3, the cues it may hold).
zorbel_check_startup_drop() {
    zorbel_wait_title 10 20 || return 1
    sleep 0.3 # let the last cue finish before the recording stops
    pulse_record_stop
    zorbel_screenshot "$1" || return 1
    zorbel_check_settled "$@"
}

# After the startup drop, on any platform: in screenshot $1 the client is
# 608 x 428 with the ball resting on its bottom edge; recording $2 holds one
# release cue and then ten bounce cues (left in ZORBEL_CUES), or what the
# extended regular expression $3 allows. Says what is wrong and fails
# otherwise.
zorbel_check_settled() {
    local shot=$1 recording=$2 cues=${3:-'^R( B){10}$'} top bottom size
    size=$(identify -format '%wx%h' "$shot")
    [ "$size" = 608x428 ] || { echo "window.sh: client area is $size, not 608x428" >&2; return 1; }
    read -r top bottom <<<"$(zorbel_ball_rows "$shot")"
    # Nothing of the ball above its resting Top, 428 - 74.
    [ "$bottom" = 427 ] && [ "$top" -ge 354 ] ||
        { echo "window.sh: the ball rests at rows $top-$bottom, not on the bottom edge (427)" >&2; return 1; }
    ZORBEL_CUES=$(zorbel_cues "$recording")
    if ! [[ "$ZORBEL_CUES" =~ $cues ]]; then
        echo "window.sh: heard '$ZORBEL_CUES', not '$cues'; $(($(stat -c %s "$recording") / 88)) ms recorded:" >&2
        zorbel_cues "$recording" --details | tail -n +2 >&2
        return 1
    fi
}

# With the startup drop settled and nothing pressed yet: the back and forward
# buttons (8, 9) clicked on the ball, then the client shrunk to 608 x 300 and
# given back its 428 rows. Each new floor must take the resting ball at once,
# and the title stays "10". The window handles its events in order, so once
# the ball is on the first new floor the clicks have been handled too: they
# must have left the instruction line on screen.
zorbel_check_extra_buttons_and_resize() {
    local height
    xdotool mousemove --window "$ZORBEL_WINDOW" 439 391 click 8 click 9
    for height in 300 428; do
        xdotool windowsize "$ZORBEL_WINDOW" 608 "$height"
        wait_until 10 zorbel_ball_lies_on "$height" ||
            { echo "window.sh: a client $height rows high left the ball at rows $(zorbel_ball_rows "$work/resized.png")" >&2; return 1; }
        if [ "$height" = 300 ] && [ "$(zorbel_label_shown "$work/resized.png")" != 1 ]; then
            echo "window.sh: the back and forward buttons hid the instruction line" >&2
            return 1
        fi
    done
    zorbel_title_is 10 || { echo "window.sh: the title went from 10 to '$(zorbel_title)'" >&2; return 1; }
}

# Whether screenshot $work/resized.png, taken now, shows the ball resting on
# the bottom edge of a client $1 rows high.
zorbel_ball_lies_on() {
    zorbel_screenshot "$work/resized.png" || return 1
    [ "$(identify -format %h "$work/resized.png")" = "$1" ] &&
        [ "$(zorbel_ball_rows "$work/resized.png")" = "$(($1 - 74)) $(($1 - 1))" ]
}

# 1 if screenshot $1 shows any of the instruction line's orange, else 0.
zorbel_label_shown() {
    convert "$1" -crop 572x16+2+0 -fill black -fuzz 30% +opaque 'rgb(255,192,128)' -format '%[fx:mean>0?1:0]' info:
}

# Clicks the close button, 45 px in from the client's right and bottom edges
# of a 608 x 428 window, and succeeds when the program ends with status 0.
zorbel_close() {
    xdotool mousemove --window "$ZORBEL_WINDOW" 580 400 click 1
    zorbel_wait_exit 10 && [ "$ZORBEL_STATUS" = 0 ]
}

# Context switches of all the program's threads during the next $1 seconds:
# 0 while it is idle.
zorbel_wakeups() {
    local first
    first=$(zorbel_context_switches)
    sleep "$1"
    echo $(($(zorbel_context_switches) - first))
}

# Whether the program stays at rest for $1 seconds: no thread of it runs,
# so its timers are off. A thread left runnable at the end was kept from a
# busy processor and proves nothing either way.
zorbel_at_rest() {
    local before
    before=$(zorbel_context_switches)
    sleep "$1"
    [ "$(zorbel_context_switches)" = "$before" ] &&
        ! grep -q '^State:[[:space:]]*R' /proc/"$ZORBEL_PID"/task/*/status 2>/dev/null
}

# Waits up to $1 seconds for the ball to come to rest, as its timers show.
zorbel_wait_rest() {
    wait_until "$1" zorbel_at_rest 0.3 || { echo "window.sh: the program's timers still ran after $1 s" >&2; return 1; }
}

zorbel_context_switches() {
    cat /proc/"$ZORBEL_PID"/task/*/status 2>/dev/null |
        awk '/^(voluntary|nonvoluntary)_ctxt_switches/ { n += $2 } END { print n }'
}

zorbel_ended() { ! kill -0 "$ZORBEL_PID" 2>/dev/null; }

zorbel_kill() {
    end_pid "$ZORBEL_PID"
    ZORBEL_PID=
}
