#!/usr/bin/env bash
# The site end to end in Debian's Chromium, a group of cases a run of e2e_test.cjs, its sound played into a private
# PulseAudio and counted there; then the site unpacked from ZIP, the one kept, visited with the autoplay policy relaxed.
#   e2e_test.sh SITE NODE_MODULES ZIP PREDICT_DROP
set -euo pipefail
site=$1 zip=$3 predict=$4
export NODE_PATH=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/frame.sh"
export TMPDIR=$work # Chromium's profiles and the sound server's folders go with the test's own
source "$here/../lib/window.sh"
source "$here/../lib/pulse.sh"

# Runs group $1 on the site, or the one in folder $2, its sound recorded into $work/$1.raw until a fifth of a second
# past its end: the last cue has reached the recording.
drive() {
    pulse_record_start "$work/$1.raw"
    timeout -k 10 300 node "$here/e2e_test.cjs" "${2:-$site}" "$work" "$1" "$predict" || fail "in Chromium ($1): status $? (124 if it did not end in 300 s)"
    wait_until 10 pulse_recorded "$work/$1.raw" $(($(stat -c %s "$work/$1.raw") + 17640)) || fail "the recording stopped after the $1 group"
    pulse_record_stop
}

[ -d "$NODE_PATH/playwright-core" ] || fail "no playwright-core in $NODE_PATH (npm ci there)"
pulse_start pulseaudio
drive gesture
heard=$(zorbel_cues "$work/gesture.raw")
[ "$heard" = "R B B B B B B B B B B R B B B B B B B B B B" ] ||
    fail "heard '$heard' without autoplay: expected the startup drop silent, then twice one release and ten bounces"
drive input
drive screens
python3 -m zipfile -e "$zip" "$work/kept" && [ -f "$work/kept/index.html" ] || fail "no index.html at the root of $zip"
# Three visits, the last offline: one release and ten bounces each, the first leaving the ball on the floor.
drive offline "$work/kept"
zorbel_check_settled "$work/settled.png" "$work/offline.raw" '^R( B){10}( R( B){10}){2}$' || fail "the startup drops of the kept site"
echo "heard $heard, then $ZORBEL_CUES"
# The button's grey edge starts at 563, 383, the black page just before it.
pixel() { convert "$work/settled.png" -format "%[fx:int(255*p{$1,$2}.r)]" info:; }
[ "$(pixel 562 400)" = 0 ] && [ "$(pixel 563 400)" -gt 60 ] && [ "$(pixel 580 382)" = 0 ] && [ "$(pixel 580 383)" -gt 60 ] ||
    fail "the close button is not at 563, 383"
