#!/usr/bin/env bash
# A sound server that stops answering (its process stopped, its socket still
# there) must never hold up the caller: every play call returns at once and the
# program still exits promptly. Checked with the server frozen before the first
# cue and with it freezing while the first cue plays.
#
#   frozen_server_test.sh CUE_PLAYER_DRIVER pulseaudio|pipewire
set -euo pipefail

driver=$1
server=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/frame.sh"
source "$here/../lib/pulse.sh"

schedule=103@0,102@350,102@870,102@1280,102@1590,102@1820,102@1990,102@2120,102@2210,102@2280,102@2330

# Runs the driver and checks it; $1 names the case.
run_driver() {
    local name=$1 status=0 started elapsed
    started=$(date +%s%N)
    timeout 60 "$driver" play "$schedule" >"$work/out" 2>"$work/err" || status=$?
    elapsed=$((($(date +%s%N) - started) / 1000000))
    echo "== $name: exit status $status after $elapsed ms"
    cat "$work/out" "$work/err"
    check "$name: the driver exited with status $status" [ "$status" -eq 0 ]
    check "$name: the driver did not play all 11 cues" [ "$(grep -c '^play ' "$work/out")" -eq 11 ]
    # Generous: this is a hang check, not a benchmark.
    check "$name: a play call held the caller for a second or more" \
        awk '/^play / && $7 >= 1000 { found = 1 } END { exit found }' "$work/out"
    check "$name: closing the player took a second or more" \
        awk '/^exit player closed in / && $5 < 1000 { found = 1 } END { exit !found }' "$work/out"
    check "$name: more than one warning line" [ "$(wc -l <"$work/err")" -le 1 ]
    # The schedule, the driver's wait for the last cue and the player's close.
    check "$name: the driver took $elapsed ms to finish" [ "$elapsed" -lt 10000 ]
}

pulse_start "$server"
pulse_freeze
run_driver "frozen before the first cue"
pulse_stop

pulse_start "$server"
(
    sleep 0.3
    pulse_freeze
) &
freezer=$!
on_exit end_pid "$freezer"
run_driver "freezing during the first cue"
