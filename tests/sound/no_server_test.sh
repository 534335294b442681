#!/usr/bin/env bash
# Without a sound server the cues stay silent: the driver plays the startup
# drop's cues, exits normally, and at most one warning line is printed.
#
#   no_server_test.sh CUE_PLAYER_DRIVER
set -euo pipefail

driver=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m700 "$work/xdg"
echo "autospawn = no" >"$work/client.conf"

status=0
env HOME="$work" XDG_RUNTIME_DIR="$work/xdg" PULSE_CLIENTCONFIG="$work/client.conf" \
    PULSE_SERVER="unix:$work/no-server" \
    timeout 30 "$driver" play 103@0,102@350,102@870,102@1280,102@2120,102@2210,102@2280 \
    >"$work/out" 2>"$work/err" || status=$?
cat "$work/out" "$work/err"

fail=0
if [ "$status" -ne 0 ]; then
    echo "FAIL: the driver exited with status $status"
    fail=1
fi
if [ "$(grep -c '^play ' "$work/out")" -ne 7 ]; then
    echo "FAIL: the driver did not play all 7 cues"
    fail=1
fi
if [ "$(wc -l <"$work/err")" -gt 1 ]; then
    echo "FAIL: more than one warning line"
    fail=1
fi
if awk '/^play / && $7 >= 50 { found = 1 } END { exit !found }' "$work/out"; then
    echo "FAIL: a play call held the caller"
    fail=1
fi
exit "$fail"
