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
source "$here/../lib/pulse.sh"

work=$(mktemp -d)
freezer=
cleanup() {
    if [ -n "$freezer" ]; then
        kill "$freezer" 2>/dev/null || true
        wait "$freezer" 2>/dev/null || true
    fi
    pulse_stop
    rm -rf "$work"
}
trap cleanup EXIT

schedule=103@0,102@350,102@870,102@1280,102@1590,102@1820,102@1990,102@2120,102@2210,102@2280,102@2330
fail=0

# Runs the driver and checks it; $1 names the case.
run_driver() {
    local name=$1 status=0 started elapsed
    started=$(date +%s%N)
    timeout 60 "$driver" play "$schedule" >"$work/out" 2>"$work/err" || status=$?
    elapsed=$((($(date +%s%N) - started) / 1000000))
    echo "== $name: exit status $status after $elapsed ms"
    cat "$work/out" "$work/err"
    if [ "$status" -ne 0 ]; then
        echo "FAIL ($name): the driver exited with status $status"
        fail=1
    fi
    if [ "$(grep -c '^play ' "$work/out")" -ne 11 ]; then
        echo "FAIL ($name): the driver did not play all 11 cues"
        fail=1
    fi
    # Generous: this is a hang check, not a benchmark.
    if awk '/^play / && $7 >= 1000 { found = 1 } END { exit !found }' "$work/out"; then
        echo "FAIL ($name): a play call held the caller for a second or more"
        fail=1
    fi
    if ! awk '/^exit player closed in / && $5 < 1000 { found = 1 } END { exit !found }' "$work/out"; then
        echo "FAIL ($name): closing the player took a second or more"
        fail=1
    fi
    if [ "$(wc -l <"$work/err")" -gt 1 ]; then
        echo "FAIL ($name): more than one warning line"
        fail=1
    fi
    # The schedule, the driver's wait for the last cue and the player's close.
    if [ "$elapsed" -ge 10000 ]; then
        echo "FAIL ($name): the driver took $elapsed ms to finish"
        fail=1
    fi
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
run_driver "freezing during the first cue"
wait "$freezer" || true
freezer=
exit "$fail"
