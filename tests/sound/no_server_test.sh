#!/usr/bin/env bash
# Without a sound server, and without libpulse itself, the cues stay silent:
# the driver plays the startup drop's cues, exits normally, and at most one
# warning line is printed (without libpulse exactly one, naming it).
#
#   no_server_test.sh CUE_PLAYER_DRIVER
# Exits 77 (skipped) when this system lets no process hide libpulse from itself.
set -euo pipefail

driver=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m700 "$work/xdg"
echo "autospawn = no" >"$work/client.conf"

fail=0
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
    if [ "$status" -ne 0 ]; then
        echo "FAIL ($name): the driver exited with status $status"
        fail=1
    fi
    if [ "$(grep -c '^play ' "$work/out")" -ne 7 ]; then
        echo "FAIL ($name): the driver did not play all 7 cues"
        fail=1
    fi
    if [ "$(wc -l <"$work/err")" -gt 1 ]; then
        echo "FAIL ($name): more than one warning line"
        fail=1
    fi
    if awk '/^play / && $7 >= 50 { found = 1 } END { exit !found }' "$work/out"; then
        echo "FAIL ($name): a play call held the caller"
        fail=1
    fi
}

run_driver "no sound server"

# libpulse hidden in a mount namespace of the driver's own: an empty file
# where the dynamic loader finds it.
library=$(readlink -f "$(ldconfig -p | awk '$1 == "libpulse.so.0" { print $NF; exit }')")
if ! unshare --map-root-user --mount true 2>/dev/null; then
    echo "SKIP (no libpulse): this system allows no private mount namespace"
    [ "$fail" -eq 0 ] && exit 77
    exit "$fail"
fi
run_driver "no libpulse" unshare --map-root-user --mount sh -c 'mount --bind /dev/null "$0" && exec "$@"' "$library"
if ! grep -q '^Zorbel: no sound: libpulse cannot be loaded' "$work/err"; then
    echo "FAIL (no libpulse): no line naming libpulse"
    fail=1
fi
exit "$fail"
