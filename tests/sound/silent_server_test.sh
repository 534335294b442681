#!/usr/bin/env bash
# A sound server that is missing, or that stops answering (its process
# stopped, its socket still there), never holds up the caller: every play call
# returns at once, the cues stay silent with at most one warning line, and the
# program exits promptly.
#
#   silent_server_test.sh CUE_PLAYER_DRIVER none
#       no server, then no libpulse (exactly one line, naming it); exits 77
#       (skipped) when this system lets no process hide libpulse from itself
#   silent_server_test.sh CUE_PLAYER_DRIVER pulseaudio|pipewire
#       the server frozen before the first cue, then freezing during it
set -euo pipefail

driver=$1 server=$2 here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/frame.sh"
source "$here/../lib/pulse.sh"

# Runs the driver, behind the command line that follows, if any, and checks
# it; $1 names the case, $2 is how long a play call may take (ms).
run_driver() {
    local name=$1 took=$2 status=0 started elapsed
    shift 2
    started=$(date +%s%N)
    "$@" timeout 60 "$driver" play startup >"$work/out" 2>"$work/err" || status=$?
    elapsed=$((($(date +%s%N) - started) / 1000000))
    echo "== $name: exit status $status after $elapsed ms"
    cat "$work/out" "$work/err"
    check "$name: the driver exited with status $status" [ "$status" -eq 0 ]
    check "$name: the driver did not play all 11 cues" [ "$(grep -c '^play ' "$work/out")" -eq 11 ]
    # Less the time a busy machine kept the caller waiting for a CPU.
    check "$name: a play call held the caller for $took ms or more" \
        awk -v took="$took" '/^play / && $7 - $14 >= took { found = 1 } END { exit found }' "$work/out"
    check "$name: closing the player took a second or more" \
        awk '/^exit player closed in / && $5 < 1000 { found = 1 } END { exit !found }' "$work/out"
    check "$name: more than one warning line" [ "$(wc -l <"$work/err")" -le 1 ]
    # The schedule, the driver's wait for the last cue and the player's close.
    check "$name: the driver took $elapsed ms to finish" [ "$elapsed" -lt 10000 ]
}

if [ "$server" != none ]; then
    # Generous for a frozen server: this is a hang check, not a benchmark.
    pulse_start "$server"
    pulse_freeze
    run_driver "frozen before the first cue" 1000
    pulse_stop

    pulse_start "$server"
    (sleep 0.3 && pulse_freeze) &
    freezer=$!
    on_exit end_pid "$freezer"
    run_driver "freezing during the first cue" 1000
    exit 0
fi

mkdir -m700 "$work/xdg"
echo "autospawn = no" >"$work/client.conf"
no_server=(env HOME="$work" XDG_RUNTIME_DIR="$work/xdg" PULSE_CLIENTCONFIG="$work/client.conf"
    PULSE_SERVER="unix:$work/no-server")
run_driver "no sound server" 50 "${no_server[@]}"

# libpulse hidden in a mount namespace of the driver's own: an empty file
# where the dynamic loader finds it.
library=$(readlink -f "$(ldconfig -p | awk '$1 == "libpulse.so.0" { print $NF; exit }')")
unshare --map-root-user --mount true 2>/dev/null || {
    echo "SKIP (no libpulse): this system allows no private mount namespace"
    exit $((FRAME_FAILED ? 1 : 77))
}
run_driver "no libpulse" 50 "${no_server[@]}" \
    unshare --map-root-user --mount sh -c 'mount --bind /dev/null "$0" && exec "$@"' "$library"
check "no libpulse: no line naming libpulse" grep -q '^Zorbel: no sound: libpulse cannot be loaded' "$work/err"
