#!/usr/bin/env bash
# Zorbel.exe under Wine, on a private X server and sound server: the startup
# drop settles on "10" with the ball on the floor and the button 45 px in
# from the client's corner, one release and ten bounce cues are heard, and a
# still drop from Top 150 counts 10 again, also when the window loses the
# foreground while the ball is held. The close button, Tab and Enter, and
# Alt+F4 end it with status 0, also while its sound server is killed or
# frozen mid-drop (20 times each; after a freeze, Wine 8 itself may crash on
# the way out, see below). Without winmm.dll it still opens its window, and its
# first sound ends it through the fatal-error path: a message box,
# then status 1. At 120, 144 and 192 DPI the window and its layout are that
# much larger, and mouse moves of a pointer that stays still leave the held
# ball where it is.
set -uo pipefail
exe=$1
still_move=$2 # tests/windows/still_move.cpp
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/xvfb.sh"
source "$here/../lib/window.sh"
source "$here/../lib/pulse.sh"
source "$here/../lib/wine.sh"

# The colour of one pixel of a screenshot, as "r,g,b".
pixel() { convert "$1" -crop "1x1+$2+$3" -depth 8 -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info:; }

xvfb_start || exit 1
pulse_start || exit 1
wine_prefix || exit 1
zorbel=$(wine_launcher "$exe")
pulse_record_start "$work/rec.raw" || exit 1

zorbel_start "$zorbel" "$work/stderr" || exit 1
# The program hands Wine all eleven cues, but on a busy machine Wine's winmm
# may not make a bounce audible that the next cuts after 50-70 ms: the last
# two of the drop.
zorbel_check_startup_drop "$work/settled.png" "$work/rec.raw" '^R( B){8,10}$' || fail "the startup drop"
# The button's 35 px square at (563, 383): grey inside its 2 px edge at two
# opposite corners, black just outside them.
for point in 566,386,128 594,414,128 562,382,0 598,418,0; do
    IFS=, read -r x y level <<<"$point"
    colour=$(pixel "$work/settled.png" "$x" "$y")
    [ "$colour" = "$level,$level,$level" ] || fail "button pixel at $x,$y is $colour, expected grey $level"
done
zorbel_check_extra_buttons_and_resize || fail "the back and forward buttons, or a resize at rest"

# A still drop from Top 150: taken 40, 37 inside the resting ball, carried
# up, held for more than two sampler ticks and let go.
xdotool mousemove --window "$ZORBEL_WINDOW" 439 391 mousedown 1 sleep 0.05 \
    mousemove --window "$ZORBEL_WINDOW" 439 $((391 - 354 + 150)) sleep 0.1
zorbel_screenshot "$work/held.png"
read -r held_top _ <<<"$(zorbel_ball_rows "$work/held.png")"
[ "$held_top" -ge 150 ] && [ "$held_top" -le 152 ] || fail "held ball at row $held_top, expected about 150"
xdotool mouseup 1
zorbel_wait_title 1 5 || fail "the dropped ball did not bounce"
zorbel_wait_title 10 15 || fail "the drop from 150 did not count 10"
sleep 1
[ "$(zorbel_title)" = 10 ] || fail "the count went on to $(zorbel_title)"

# Held at Top 150 again, while another program comes to the foreground: the
# ball is let go then, though the button is still down.
xdotool mousemove --window "$ZORBEL_WINDOW" 439 391 mousedown 1 sleep 0.05 \
    mousemove --window "$ZORBEL_WINDOW" 439 $((391 - 354 + 150))
wine notepad >/dev/null 2>&1 &
other=$!
zorbel_wait_title 1 10 || fail "the ball stayed held when the window lost the foreground"
zorbel_wait_title 10 15 || fail "the ball let go in the background did not count 10"
xdotool mouseup 1
kill $other
zorbel_kill

# Every way to end it ends it with status 0: the close button; Tab from the
# ball to the button and Enter; Alt+F4. Without a window manager, Wine waits
# for one for a while as the window goes: the close timed here is the measure
# for the sound-fault rounds below.
for way in button "Tab Return" alt+F4; do
    zorbel_start "$zorbel" "$work/stderr" || exit 1
    if [ "$way" = button ]; then
        started=$(date +%s%N)
        zorbel_close || fail "the close button did not end the program with status 0"
        healthy_close_ms=$((($(date +%s%N) - started) / 1000000))
    else
        # A click on the bare window gives it the keyboard; no window manager does.
        xdotool mousemove --window "$ZORBEL_WINDOW" 100 200 click 1 sleep 0.3 key $way 2>/dev/null
        zorbel_wait_exit 10 && [ "$ZORBEL_STATUS" = 0 ] || fail "$way did not end the program with status 0"
    fi
done
[ -s "$work/stderr" ] && { echo "stderr of the program:" >&2; cat "$work/stderr" >&2; }

# The sound server killed (SIGTERM or SIGKILL, then started again) 20 times
# and frozen (SIGSTOP) 20 times, each at a random moment in the first 1.2 s
# after the startup drop's first bounce: the window goes on counting to 10,
# and the close button, clicked with the fault still there, ends the program
# at most 2 s later than it did above. The last freeze is thawed before the
# close: with the server back, a cue is heard again. Wine reports its
# exceptions (+seh) here, for the crash of its own below.
close_limit_ms=$((healthy_close_ms + 2000))
fault_closes=
wine_crashes=0
for round in $(seq 40); do
    if [ "$round" -le 20 ]; then fault=$([ $((RANDOM % 2)) = 0 ] && echo TERM || echo KILL); else fault=STOP; fi
    cs=$((RANDOM % 121))
    delay=$((cs / 100)).$(printf %02d $((cs % 100)))
    what="round $round (SIG$fault $delay s after the first bounce)"
    WINEDEBUG=+seh zorbel_start "$zorbel" "$work/stderr" || exit 1
    zorbel_wait_title 1 20 || fail "$what: the startup drop did not bounce"
    sleep "$delay"
    if [ "$fault" = STOP ]; then
        pulse_freeze
    else
        pulse_server_stop "$fault"
        pulse_server_start || exit 1
    fi
    zorbel_wait_title 10 10 || fail "$what: the count stopped"
    if [ "$round" = 40 ]; then
        pulse_thaw
        pulse_record_start "$work/rec.raw" || exit 1
        # A click on the resting ball lets it go from the floor: a bounce.
        xdotool mousemove --window "$ZORBEL_WINDOW" 439 391 click 1
        sleep 0.5
        pulse_record_stop
        [ -n "$(zorbel_cues "$work/rec.raw")" ] || fail "$what: no cue heard once the server was back"
    fi
    started=$(date +%s%N)
    xdotool mousemove --window "$ZORBEL_WINDOW" 580 400 click 1
    zorbel_wait_exit "$((close_limit_ms / 1000)).$(printf %03d $((close_limit_ms % 1000)))" ||
        fail "$what: the close button did not end the program within $close_limit_ms ms"
    fault_closes+=" $((($(date +%s%N) - started) / 1000000))"
    # NOTE: Wine 8 itself sometimes crashes on the way out while its
    # PulseAudio driver has a thread waiting on a frozen server: a thread it
    # is ending faults inside its own system-call return, at address 0, and
    # the process dies of SIGSEGV (139). bench/frozenexit_win32.cpp does the
    # same with a dozen lines of plain Win32 (bench/cuelengths.sh). Only that
    # fault is taken for Wine's: any other exception, or 139 without it, fails.
    if [ "$ZORBEL_STATUS" = 139 ] && [ "$fault" = STOP ] &&
        grep -aq 'seh:handle_syscall_fault code=c0000005 flags=0 addr=(nil) ip=0 ' "$work/stderr"; then
        wine_crashes=$((wine_crashes + 1))
    else
        [ "$ZORBEL_STATUS" = 0 ] || fail "$what: exit status $ZORBEL_STATUS"
    fi
    [ "$fault" != STOP ] || pulse_thaw
done

# Without the multimedia library.
WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winmm=d" zorbel_start "$zorbel" "$work/stderr" ||
    fail "no window without winmm.dll"
box=$(timeout 20 xdotool search --sync --onlyvisible --name '^Zorbel$' | head -n 1)
[ -n "$box" ] || fail "no message box for the missing sound player"
xdotool key --window "$box" Return 2>/dev/null # xdotool warns of Xvfb's focus without a window manager
zorbel_wait_exit 10 || fail "the program did not end after its error message"
[ "$ZORBEL_STATUS" = 1 ] || fail "exit status $ZORBEL_STATUS after the fatal error"
grep -q 'fatal error: winmm.dll' "$work/stderr" || fail "stderr does not name the error: $(cat "$work/stderr")"

# At 120, 144 and 192 DPI everything is that much larger, and the handlers
# see the same logical pixels: a 428 px floor counts 10, not the 12 of 856 px
# at 192 DPI. A held ball stays put under mouse moves of a pointer that has
# not moved, as Windows sends when the ball moves under it: carried 17 and
# 199 device pixels, the round trip through logical pixels would shake it.
for dpi in 120 144 192; do
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1
    zorbel_start "$zorbel" "$work/stderr" || exit 1
    size=$(xwininfo -id "$ZORBEL_WINDOW" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
    [ "$size" = $((608 * dpi / 96))x$((428 * dpi / 96)) ] || fail "client area $size at $dpi DPI"
    zorbel_wait_title 10 20 || fail "the startup drop at $dpi DPI did not settle on 10"
    x=$((439 * dpi / 96)) y=$((391 * dpi / 96))
    xdotool mousemove --window "$ZORBEL_WINDOW" $x $y mousedown 1 sleep 0.05 \
        mousemove --window "$ZORBEL_WINDOW" $((x - 17)) $((y - 199))
    places=$(wine "$still_move" 5 | tr -d '\r' | sort -u) || fail "still_move failed at $dpi DPI"
    [ "$(wc -l <<<"$places")" = 1 ] || fail "the held ball moved at $dpi DPI without the pointer: $(echo $places)"
    xdotool mouseup 1
    zorbel_kill
done
echo "windows e2e: settled on 10, heard: $ZORBEL_CUES, drop from 150 counted 10, let go in the background; button, keyboard and Alt+F4 closed with 0 (button: $healthy_close_ms ms); 20 kills and 20 freezes of the sound server counted 10 and closed in (ms):$fault_closes, Wine crashing on the way out after $wine_crashes freezes; without winmm: status 1; 120, 144, 192 DPI: scaled, 10, held ball still"
