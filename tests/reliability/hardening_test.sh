#!/usr/bin/env bash
# The program as built and installed has PIE, stack protector, fortified calls, full RELRO.
# Not control-flow protection: Debian 12's crt1.o and crti.o lack it (so does /usr/bin/ls).
#   hardening_test.sh HARDENING_CHECK CMAKE BUILD_DIR ZORBEL
set -euo pipefail
source "$(dirname "$0")/../lib/frame.sh"
"$2" --install "$3" --prefix "$work/prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log" >&2; fail "cmake --install"; }
installed=$(find "$work/prefix" -name Zorbel -type f)
[ -x "$installed" ] || fail "no Zorbel after cmake --install in $work/prefix"
for binary in "$4" "$installed"; do
    check "$binary is not hardened (above)" "$1" --nocfprotection "$binary"
done
