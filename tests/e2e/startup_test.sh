#!/usr/bin/env bash
# The startup drop seen and heard under a real X server and sound server, and
# the close button; with "frozen" the sound server is stopped first, and the
# drop and the close button keep their usual times all the same.
#   startup_test.sh ZORBEL [pulseaudio|pipewire] [frozen]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/xvfb.sh"
source "$here/../lib/window.sh"
source "$here/../lib/pulse.sh"
ms_since() { echo $((($(date +%s%N) - $1) / 1000000)); }
xvfb_start
pulse_start "${2:-pulseaudio}"
if [ "${3:-}" = frozen ]; then
    pulse_freeze
    zorbel_start "$1" "$work/stderr"
    shown=$(date +%s%N)
    zorbel_wait_title 10 10 || fail "the startup drop under a frozen sound server"
    # The drop itself takes about 2.5 s.
    settled=$(ms_since "$shown") && [ "$settled" -le 5000 ] || fail "the title read 10 only $settled ms after the window appeared"
    closing=$(date +%s%N)
    zorbel_close || fail "the close button did not end the program with status 0"
    closed=$(ms_since "$closing") && [ "$closed" -le 2000 ] || fail "the close button took $closed ms to end the program"
    pulse_thaw
    echo "startup under a frozen sound server: 10 after $settled ms, closed with status 0 after $closed ms"
    exit 0
fi
pulse_record_start "$work/rec.raw"
zorbel_start "$1" "$work/stderr"
# The first count comes a third of a second in.
title=$(zorbel_title) || fail "the fresh window has no title to read"
[[ "$title" =~ ^[0-9]*$ ]] || fail "a fresh window is titled '$title', not left empty"
zorbel_check_startup_drop "$work/settled.png" "$work/rec.raw" || fail "the startup drop"
# ZORBEL_UPDATE_SCREENSHOT=1 makes this the README's picture; -strip keeps it byte-stable.
[ "${ZORBEL_UPDATE_SCREENSHOT:-}" != 1 ] || convert "$work/settled.png" -strip "$here/../../docs/screenshot.png"
zorbel_close || fail "the close button did not end the program with status 0"
[ ! -s "$work/stderr" ] || { echo "stderr of the program:" && cat "$work/stderr"; } >&2
echo "startup: settled on 10, ball on the floor, heard: $ZORBEL_CUES, closed with status 0"
