#!/usr/bin/env bash
# Random drags, throws, clicks and resizes of the real window: reports its RSS
# growth after a warm-up (both at rest) and its stderr; fails when it dies or
# ends with a status other than 0, with --check also on stderr or growth past the bound.
#   soak.sh ZORBEL [--seconds N (600)] [--seed N] [--check] [--max-growth-kib N]
set -euo pipefail
zorbel=$1 seconds=600 seed=$RANDOM max_growth_kib= check=false
shift
while [ $# -gt 0 ]; do
    case $1 in
    --seconds | --seed | --max-growth-kib) name=${1#--} && printf -v "${name//-/_}" %s "$2" && shift ;;
    --check) check=true ;;
    *) echo "usage: $0 ZORBEL [--seconds N] [--seed N] [--check] [--max-growth-kib N]" >&2 && exit 2 ;;
    esac
    shift
done
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/xvfb.sh"
source "$here/../lib/window.sh"
source "$here/../lib/pulse.sh"
RANDOM=$seed
between() { echo $(($1 + RANDOM % ($2 - $1 + 1))); }
rss() { awk '/^VmRSS:/ { print $2 }' /proc/"$ZORBEL_PID"/status; }
# The centre of the ball, or "none" (thrown out of sight, or being redrawn).
locate_ball() { { zorbel_screenshot "$work/shot.png" 2>/dev/null && zorbel_ball_rows "$work/shot.png" --centre; } || echo none; }
# Only the final click may end the program: the rest stay clear of the close button, which keeps its place.
near_button() { [ "$1" -ge 546 ] && [ "$1" -le 600 ] && [ "$2" -ge 373 ] && [ "$2" -le 427 ]; }
random_point() {
    local x y
    while x=$(between -100 700) y=$(between -100 520) && near_button "$x" "$y"; do :; done
    echo "$x $y"
}
act() {
    local ball x y step moves=()
    ball=$(locate_ball)
    read -r x y <<<"$ball"
    case $(between 0 9) in
    [0-6])
        if [ "$ball" = none ] || near_button "$x" "$y"; then
            return
        elif [ $((RANDOM % 7)) -lt 4 ]; then # a drag, maybe out of the window, ...
            for _ in $(seq "$(between 1 6)"); do moves+=(mousemove --window "$ZORBEL_WINDOW" -- $(random_point) sleep 0.0$(between 1 9)); done
        else # ... or a throw, carried upward fast, ...
            step=$(between 5 40)
            for _ in $(seq "$(between 3 10)"); do moves+=(mousemove_relative -- "$(between -5 5)" "-$step" sleep 0.005); done
        fi
        # ... let go while moving.
        xdotool mousemove --window "$ZORBEL_WINDOW" "$x" "$y" mousedown 1 sleep 0.03 "${moves[@]}" mouseup 1
        ;;
    [78]) # a click of any button, on the ball or anywhere else
        [ "$ball" != none ] && [ "$(between 0 1)" = 0 ] || read -r x y <<<"$(random_point)"
        near_button "$x" "$y" && return
        xdotool mousemove --window "$ZORBEL_WINDOW" -- "$x" "$y" click "$(between 1 3)"
        ;;
    9) # Never taller than at start: a ball below the first floor could not be taken.
        xdotool windowsize "$ZORBEL_WINDOW" "$(between 480 900)" "$(between 250 428)"
        ;;
    esac
    sleep "$(between 0 3).$(between 0 9)"
}
# Acts for $1 s, then rests the ball in the first client size and reads its RSS into rss.
soak() {
    local end=$((SECONDS + $1))
    while [ $SECONDS -lt $end ]; do
        # An action on a window gone fails; the check below says why it went.
        act || true
        kill -0 "$ZORBEL_PID" 2>/dev/null || fail "the program died; its stderr: $(cat "$work/stderr")"
    done
    xdotool windowsize "$ZORBEL_WINDOW" 608 428
    zorbel_wait_rest 30 || echo "soak: the measure is taken with the ball moving"
    rss=$(rss)
}

xvfb_start
pulse_start
zorbel_start "$zorbel" "$work/stderr"
zorbel_wait_title 10 30 || fail "the startup drop did not settle"
warmup=$((seconds / 10 > 5 ? seconds / 10 : 5))
soak $warmup
rss0=$rss
soak "$seconds"

# The ball, drawn over the button, is carried off it before the click; one out
# of sight (below a taller client) or still flying has SIGTERM end it instead.
ending=SIGTERM
if zorbel_wait_rest 30 && ball=$(locate_ball) && [ "$ball" != none ]; then
    read -r bx by <<<"$ball"
    ending="the close button"
    if [ "$bx" -ge 506 ] && [ "$by" -ge 336 ]; then
        xdotool mousemove --window "$ZORBEL_WINDOW" "$bx" "$by" mousedown 1 sleep 0.05 \
            mousemove --window "$ZORBEL_WINDOW" 200 "$by" sleep 0.05 mouseup 1
        zorbel_wait_rest 30 || ending=SIGTERM
    fi
fi
if [ "$ending" = SIGTERM ]; then kill -TERM "$ZORBEL_PID"; else xdotool mousemove --window "$ZORBEL_WINDOW" 580 400 click 1; fi
status=timeout
! zorbel_wait_exit 60 || status=$ZORBEL_STATUS
echo "soak: $seconds s after a $warmup s warm-up, seed $seed: RSS $rss0 -> $rss KiB, exit status $status after $ending," \
    "$(wc -l <"$work/stderr") lines on stderr"
sed 's/^/    /' "$work/stderr" | head -n 50
[ "$status" = 0 ] || fail "exit status $status after $ending"
[ -z "$max_growth_kib" ] || [ $((rss - rss0)) -lt "$max_growth_kib" ] || fail "RSS grew by $((rss - rss0)) KiB"
! $check || [ ! -s "$work/stderr" ] || fail "the program wrote on stderr"
