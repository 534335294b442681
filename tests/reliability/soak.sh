#!/usr/bin/env bash
# Drives the real window for a while with random drags, throws, clicks and
# resizes under a private X server and sound server, then reports how much
# its memory grew and what it wrote on stderr, and closes it with its button
# (or SIGTERM, when the ball cannot be seen to be clear of the button).
#
#   soak.sh ZORBEL [--seconds N] [--seed N] [--check] [--max-growth-kib N]
#
# Default 600 s. Memory is compared after a warm-up (a tenth of the time, at
# least 5 s), both times with the ball at rest. The script fails when the
# program dies or does not end with status 0; with
# --check also when it wrote anything on stderr, and with --max-growth-kib
# when its RSS grew by that much. Under AddressSanitizer leave the bound out
# (its quarantine grows RSS by design): LeakSanitizer checks the exit.
set -euo pipefail

zorbel=$1
shift
seconds=600 seed=$RANDOM max_growth_kib= check=false
while [ $# -gt 0 ]; do
    case $1 in
    --seconds) seconds=$2 && shift ;;
    --seed) seed=$2 && shift ;;
    --max-growth-kib) max_growth_kib=$2 && shift ;;
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
# A random integer in $1..$2.
between() { echo $(($1 + RANDOM % ($2 - $1 + 1))); }

# RSS, private RSS and peak RSS in KiB. Private counts the pages only this
# process has written; clean pages of its libraries are the page cache's.
memory() {
    awk '/^VmRSS:/ { rss = $2 } /^VmHWM:/ { hwm = $2 } /^Private_(Dirty|Hugetlb):/ { private += $2 }
        END { print rss, private, hwm }' /proc/"$ZORBEL_PID"/status /proc/"$ZORBEL_PID"/smaps_rollup
}

# Where the ball is: the centre of its coloured pixels on a 4 px grid, or
# "none" (thrown out of sight, or the window is being redrawn).
locate_ball() { { zorbel_screenshot "$work/shot.png" 2>/dev/null && zorbel_ball_rows "$work/shot.png" --centre; } || echo none; }

# The close button keeps the place it got at startup; random clicks and
# drags stay clear of it so that only the final click ends the program.
near_button() { [ "$1" -ge 546 ] && [ "$1" -le 600 ] && [ "$2" -ge 373 ] && [ "$2" -le 427 ]; }

random_point() {
    local x y
    while :; do
        x=$(between -100 700)
        y=$(between -100 520)
        near_button "$x" "$y" || break
    done
    echo "$x $y"
}

drags=0 throws=0 clicks=0 resizes=0 misses=0
width=608 height=428

act() {
    local ball x y step moves=()
    ball=$(locate_ball)
    case $(between 0 9) in
    0 | 1 | 2 | 3 | 4 | 5 | 6)
        read -r x y <<<"$ball"
        if [ "$ball" = none ] || near_button "$x" "$y"; then
            misses=$((misses + 1))
            return
        fi
        if [ $((RANDOM % 7)) -lt 4 ]; then
            # A drag: carried in a few steps, maybe out of the window, ...
            for _ in $(seq "$(between 1 6)"); do
                moves+=(mousemove --window "$ZORBEL_WINDOW" -- $(random_point) sleep 0.0$(between 1 9))
            done
            drags=$((drags + 1))
        else
            # ... or a throw: carried upward fast, ...
            step=$(between 5 40)
            for _ in $(seq "$(between 3 10)"); do moves+=(mousemove_relative -- "$(between -5 5)" "-$step" sleep 0.005); done
            throws=$((throws + 1))
        fi
        # ... and let go while moving.
        xdotool mousemove --window "$ZORBEL_WINDOW" "$x" "$y" mousedown 1 sleep 0.03 "${moves[@]}" mouseup 1
        ;;
    7 | 8)
        # A click of any button, on the ball or anywhere else.
        if [ "$ball" != none ] && [ $(between 0 1) = 0 ]; then
            read -r x y <<<"$ball"
        else
            read -r x y <<<"$(random_point)"
        fi
        near_button "$x" "$y" && return
        xdotool mousemove --window "$ZORBEL_WINDOW" -- "$x" "$y" click "$(between 1 3)"
        clicks=$((clicks + 1))
        ;;
    9)
        # A new client size: the floor follows, the button stays. Never taller
        # than at the start: a ball that settles below the first floor stays
        # there, out of sight, until it is taken, and it cannot be taken there.
        width=$(between 480 900)
        height=$(between 250 428)
        xdotool windowsize "$ZORBEL_WINDOW" "$width" "$height"
        resizes=$((resizes + 1))
        ;;
    esac
    sleep "$(between 0 3).$(between 0 9)"
}

xvfb_start
pulse_start
zorbel_start "$zorbel" "$work/stderr"
zorbel_wait_title 10 30 || fail "the startup drop did not settle"

warmup=$((seconds / 10 > 5 ? seconds / 10 : 5))
end=$((SECONDS + warmup))
while [ $SECONDS -lt $end ]; do act; done
xdotool windowsize "$ZORBEL_WINDOW" 608 428
zorbel_wait_rest 30 || echo "soak: the first measure is taken with the ball moving"
read -r rss0 private0 _ <<<"$(memory)"

end=$((SECONDS + seconds))
samples=()
next_sample=$((SECONDS + seconds / 10))
while [ $SECONDS -lt $end ]; do
    act
    kill -0 "$ZORBEL_PID" 2>/dev/null || fail "the program died; its stderr: $(cat "$work/stderr")"
    if [ $SECONDS -ge $next_sample ]; then
        read -r rss _ <<<"$(memory)"
        samples+=("$((rss - rss0))")
        next_sample=$((SECONDS + seconds / 10))
    fi
done
xdotool windowsize "$ZORBEL_WINDOW" 608 428
zorbel_wait_rest 30 || echo "soak: the last measure is taken with the ball moving"
read -r rss1 private1 peak <<<"$(memory)"

# The ball is drawn over the button, so it must not be passing there at the
# click: wait until it rests, and carry it away if it rests on the button. A
# ball that settled below a taller client stays there, out of sight, and one
# thrown far may still be flying: then SIGTERM ends the program instead, also
# with status 0.
ending="the close button"
if zorbel_wait_rest 30 && ball=$(locate_ball) && [ "$ball" != none ]; then
    read -r bx by <<<"$ball"
    if [ "$bx" -ge 506 ] && [ "$by" -ge 336 ]; then
        xdotool mousemove --window "$ZORBEL_WINDOW" "$bx" "$by" mousedown 1 sleep 0.05 \
            mousemove --window "$ZORBEL_WINDOW" 200 "$by" sleep 0.05 mouseup 1
        zorbel_wait_rest 30 || ending=SIGTERM
    fi
else
    ending=SIGTERM
fi
if [ "$ending" = SIGTERM ]; then
    kill -TERM "$ZORBEL_PID"
else
    xdotool mousemove --window "$ZORBEL_WINDOW" 580 400 click 1
fi
status=timeout
! zorbel_wait_exit 60 || status=$ZORBEL_STATUS

echo "soak: $seconds s after a ${warmup} s warm-up, seed $seed: $drags drags, $throws throws, $clicks clicks," \
    "$resizes resizes, $misses presses skipped with the ball out of sight"
echo "soak: RSS $rss0 -> $rss1 KiB ($((rss1 - rss0)) KiB), private $private0 -> $private1 KiB" \
    "($((private1 - private0)) KiB), peak $peak KiB; RSS growth along the way (KiB): ${samples[*]}"
echo "soak: exit status $status after $ending"
if [ -s "$work/stderr" ]; then
    echo "soak: stderr ($(wc -l <"$work/stderr") lines):"
    sed 's/^/    /' "$work/stderr" | head -n 50
else
    echo "soak: stderr empty"
fi

[ "$status" = 0 ] || fail "exit status $status after $ending"
if [ -n "$max_growth_kib" ] && [ $((rss1 - rss0)) -ge "$max_growth_kib" ]; then
    fail "RSS grew by $((rss1 - rss0)) KiB"
fi
if $check && [ -s "$work/stderr" ]; then
    fail "the program wrote on stderr"
fi
exit 0
