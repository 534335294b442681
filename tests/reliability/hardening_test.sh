#!/usr/bin/env bash
# The program as built and as installed carries the distribution's hardening:
# PIE, stack protector, fortified libc calls and full RELRO (read-only
# relocations and immediate binding).
#
# Control-flow protection is not asked for: the program is compiled with it,
# but the linker marks a program only when every object in it is, and Debian
# 12's C start files (crt1.o, crti.o) are not, so no program linked there is
# marked (hardening-check says the same of /usr/bin/ls).
#
#   hardening_test.sh HARDENING_CHECK CMAKE BUILD_DIR ZORBEL
set -euo pipefail
hardening_check=$1
cmake=$2
build=$3
zorbel=$4
source "$(dirname "$0")/../lib/frame.sh"
prefix=$work/prefix

"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log" >&2; fail "cmake --install"; }
# In games/ by default, in bin/ when configured so.
installed=$(find "$prefix" -name Zorbel -type f)
[ -x "$installed" ] || fail "no Zorbel after cmake --install in $prefix"

for binary in "$zorbel" "$installed"; do
    check "$binary is not hardened (above)" "$hardening_check" --nocfprotection "$binary"
done
