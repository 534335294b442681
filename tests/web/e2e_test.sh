#!/usr/bin/env bash
# The site end to end in Debian's Chromium, its sound played into a private
# PulseAudio and counted there. For a visitor's browser the startup drop is
# silent, and the first drop after a press on the page sounds, and so does
# the next once its audio has rested; mouse and touch drags, a cancelled
# touch, a throw, the keyboard and the close button (by a second finger too)
# work as on the desktop, the back and forward buttons do nothing, and the
# ball and the button carry their names. On phones and small windows the
# whole design shows, scaled, and the drops count as the model predicts. The
# site unpacked from ZIP is one to keep: its manifest and icons read back;
# with the autoplay policy relaxed its startup drop counts to "10", rests on
# the floor beside the button and sounds one release and ten bounces, and
# once visited it plays with the network gone, from the newest build's copy.
#
#   e2e_test.sh SITE NODE_MODULES ZIP PREDICT_DROP
set -euo pipefail
site=$1
export NODE_PATH=$2
zip=$3
predict=$4
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/frame.sh"
# Chromium's profiles and the sound server's folders go with the test's own.
export TMPDIR=$work
source "$here/../lib/window.sh"
source "$here/../lib/pulse.sh"

# Runs group $1 on the site, or on the one in folder $2, for at most 5 minutes.
drive() {
    local status=0
    timeout -k 10 300 node "$here/e2e_test.cjs" "${2:-$site}" "$work" "$1" "$predict" || status=$?
    [ "$status" != 124 ] || fail "the $1 group in Chromium did not end in 300 s"
    [ "$status" = 0 ] || fail "in Chromium ($1)"
}

# drive with what it sounds recorded into $work/$1.raw, until the recording
# holds a fifth of a second past the group's end: the last cue has reached it.
drive_recorded() {
    local size
    pulse_record_start "$work/$1.raw"
    drive "$@"
    size=$(stat -c %s "$work/$1.raw")
    wait_until 10 pulse_recorded "$work/$1.raw" $((size + 17640)) || fail "the recording stopped after the $1 group"
    pulse_record_stop
}

[ -d "$NODE_PATH/playwright-core" ] || fail "no playwright-core in $NODE_PATH (npm ci there)"
pulse_start pulseaudio

drive_recorded gesture
heard=$(zorbel_cues "$work/gesture.raw")
[ "$heard" = "R B B B B B B B B B B R B B B B B B B B B B" ] ||
    fail "heard '$heard' without autoplay: expected the startup drop silent, then twice one release and ten bounces"
echo "heard $heard in all"

drive input
drive screens

python3 -m zipfile -e "$zip" "$work/kept" && [ -f "$work/kept/index.html" ] || fail "no index.html at the root of $zip"
# Three visits with the autoplay policy relaxed, the last offline: one
# release and ten bounces in each, the first leaving the ball on the floor.
drive_recorded offline "$work/kept"
zorbel_check_settled "$work/settled.png" "$work/offline.raw" '^R( B){10}( R( B){10}){2}$' || fail "the startup drops of the kept site"
echo "heard $ZORBEL_CUES"
# The button's grey edge starts at 563, 383, the black page just before it.
pixel() { convert "$work/settled.png" -format "%[fx:int(255*p{$1,$2}.r)]" info:; }
[ "$(pixel 562 400)" = 0 ] && [ "$(pixel 563 400)" -gt 60 ] && [ "$(pixel 580 382)" = 0 ] && [ "$(pixel 580 383)" -gt 60 ] ||
    fail "the close button is not at 563, 383"
