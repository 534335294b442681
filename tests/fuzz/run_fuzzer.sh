#!/usr/bin/env bash
set -euo pipefail
# Builds the ball model's libFuzzer target with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer, every report fatal) and runs it:
#   tests/fuzz/run_fuzzer.sh [RUNS] [-- extra libFuzzer flags]
# RUNS inputs (default 100000) of up to 2 KiB each, from the corpus in
# build-fuzz/corpus, which later runs start from. A broken rule aborts and
# leaves the input to replay: build-fuzz/ball_fuzzer build-fuzz/crash-...
# Needs clang and libclang-rt-14-dev (tools/setup.sh test installs them).

top=$(cd "$(dirname "$0")/../.." && pwd)
out=${ZORBEL_FUZZ_DIR:-$top/build-fuzz}
runs=${1:-100000}
shift $(($# > 0 ? 1 : 0))
[ "${1:-}" = -- ] && shift

mkdir -p "$out/corpus"
clang++ -std=c++20 -g -O1 -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address,undefined,float-cast-overflow -fno-sanitize-recover=all \
    -I"$top/ball" -I"$top/tests/support" \
    "$top/ball/ball.cpp" "$top/tests/fuzz/ball_fuzzer.cpp" -o "$out/ball_fuzzer"

cd "$out"
start=$(date +%s)
status=0
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ./ball_fuzzer -runs="$runs" -max_len=2048 -len_control=0 -seed=1 \
    -print_final_stats=1 "$@" corpus >fuzz.log 2>&1 || status=$?
grep -E '^(ball_fuzzer|on screen|chorded|off screen|Done|stat::number_of_executed_units|SUMMARY)|ERROR' fuzz.log || true
echo "ball_fuzzer: $runs inputs in $(($(date +%s) - start)) s, exit status $status (log: $out/fuzz.log)"
exit "$status"
