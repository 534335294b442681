#!/usr/bin/env bash
# Without a sound server, and without libpulse itself, the cues stay silent:
# the driver plays the startup drop's cues, exits normally, and at most one
# warning line is printed (without libpulse exactly one, naming it).
#
#   no_server_test.sh CUE_PLAYER_DRIVER
# Exits 77 (skipped) when this system lets no process hide libpulse from itself.
set -euo pipefail

driver=$1
source "$(dirname "$0")/../lib/frame.sh"
mkdir -m700 "$work/xdg"
echo "autospawn = no" >"$work/client.conf"

# Runs the driver behind the command line given, if any, and checks it; $1 names the case.
run_driver() {
    local name=$1 status=0
    shift
    env HOME="$work" XDG_RUNTIME_DIR="$work/xdg" PULSE_CLIENTCONFIG="$work/client.conf" \
        PULSE_SERVER="unix:$work/no-server" \
        "$@" timeout 30 "$driver" play 103@0,102@350,102@870,102@1280,102@2120,102@2210,102@2280 \
        >"$work/out" 2>"$work/err" || status=$?
    echo "== $name: exit status $status"
    cat "$work/out" "$work/err"
    check "$name: the driver exited with status $status" [ "$status" -eq 0 ]
    check "$name: the driver did not play all 7 cues" [ "$(grep -c '^play ' "$work/out")" -eq 7 ]
    check "$name: more than one warning line" [ "$(wc -l <"$work/err")" -le 1 ]
    check "$name: a play call held the caller" awk '/^play / && $7 >= 50 { found = 1 } END { exit found }' "$work/out"
}

run_driver "no sound server"

# libpulse hidden in a mount namespace of the driver's own: an empty file
# where the dynamic loader finds it.
library=$(readlink -f "$(ldconfig -p | awk '$1 == "libpulse.so.0" { print $NF; exit }')")
if ! unshare --map-root-user --mount true 2>/dev/null; then
    echo "SKIP (no libpulse): this system allows no private mount namespace"
    [ "$FRAME_FAILED" = 1 ] || exit 77
    exit 1
fi
run_driver "no libpulse" unshare --map-root-user --mount sh -c 'mount --bind /dev/null "$0" && exec "$@"' "$library"
check "no libpulse: no line naming libpulse" grep -q '^Zorbel: no sound: libpulse cannot be loaded' "$work/err"
