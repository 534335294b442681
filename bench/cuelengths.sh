#!/usr/bin/env bash
# How long each cue sounds against the time until the next one, on Linux and
# under Wine, on a private PulseAudio null sink; and how a Wine process ends
# beside a frozen server:
#
#   bench/cuelengths.sh [RUNS]
#
# Each run plays release and bounce in turn, 400, 90, 70, 50 and 400 ms
# apart (the last startup bounces' spacings), three ways: Zorbel's Linux
# player, Zorbel's Windows player under Wine, and sndPlaySoundA called alone
# on the caller's thread under Wine (the system's player with nothing of ours
# around it). The recording is read by tests/sound/count_cues.py. Then the
# few lines of bench/frozenexit_win32.cpp end 20 times beside a server frozen
# 200-900 ms before, and their exit statuses are printed. Figures only: nothing
# is checked. Uses bench/run.sh's build trees (build-bench, build-bench-win64).
set -euo pipefail

runs=${1:-5}
top=$(cd "$(dirname "$0")/.." && pwd)
build=${ZORBEL_BENCH_BUILD:-$top/build-bench}
winbuild=${ZORBEL_BENCH_WIN_BUILD:-$top/build-bench-win64}
source "$top/tools/install-missing.sh"
install_missing build-essential cmake ninja-build pkg-config qt6-base-dev libpulse-dev libxcb-damage0-dev \
    pulseaudio pulseaudio-utils g++-mingw-w64-x86-64-posix wine wine64 python3
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORBEL_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --parallel 2 --target soundtiming >/dev/null
cmake -S "$top" -B "$winbuild" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZORBEL_BENCH=ON -DBUILD_TESTING=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchains/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$winbuild" --parallel 2 --target soundtiming frozenexit >/dev/null

source "$top/tests/lib/pulse.sh"
source "$top/tests/lib/wine.sh"
pulse_start
wine_prefix
# A wineserver that outlives each program, and one start to bind the driver.
wineserver --persistent
wine "$winbuild/bench/soundtiming.exe" 0 0 >/dev/null

cues=6
spacings=400,90,70,50,400
players=("linux:$build/bench/soundtiming zorbel $cues $spacings"
    "wine:wine $winbuild/bench/soundtiming.exe $cues $spacings"
    "wine_alone:wine $winbuild/bench/soundtiming.exe $cues $spacings direct")
: >"$work/lengths"
for run in $(seq "$runs"); do
    for player in "${players[@]}"; do
        pulse_record_start "$work/rec.raw"
        ${player#*:} >/dev/null
        sleep 0.3
        pulse_record_stop
        # The cues heard, each with the time until the next one heard.
        python3 "$top/tests/sound/count_cues.py" "$work/rec.raw" --details \
            --bounce "$top/assets/bounce.wav" --release "$top/assets/release.wav" | tail -n +2 |
            awk -v who="${player%%:*}" '{ for (i = 2; i <= NF; i++) { split($i, kv, "="); f[NR, kv[1]] = kv[2] } }
                END { for (n = 1; n < NR; n++) print who, n, f[n + 1, "at_ms"] - f[n, "at_ms"], f[n, "played_ms"] }' \
            >>"$work/lengths"
        [ "$(awk -v who="${player%%:*}" '$1 == who' "$work/lengths" | wc -l)" -ge $((run * (cues - 1))) ] ||
            echo "cuelengths: run $run, ${player%%:*}: heard fewer than $cues cues" >&2
    done
done

echo "Cue i: time until the next cue heard / how long cue i sounded (ms), medians of $runs runs (min-max)"
python3 - "$work/lengths" "$spacings" <<'PY'
import statistics, sys
rows = [line.split() for line in open(sys.argv[1])]
spacings = sys.argv[2].split(',')
whos = ['linux', 'wine', 'wine_alone']
def cell(values):
    return f'{statistics.median(values):.1f} ({min(values):.1f}-{max(values):.1f})' if values else '-'
print('| cue | spacing | ' + ' | '.join(f'{w}: next / sounded' for w in whos) + ' |')
print('|---|---|' + '---|' * len(whos))
for n, spacing in enumerate(spacings[:-1], start=1):
    cells = []
    for who in whos:
        got = [r for r in rows if r[0] == who and int(r[1]) == n]
        cells.append(cell([float(r[2]) for r in got]) + ' / ' + cell([float(r[3]) for r in got]))
    print(f'| {n} | {spacing} | ' + ' | '.join(cells) + ' |')
PY

# Exits beside a server frozen by SIGSTOP, with nothing of Zorbel's.
wav=$(winepath -w "$top/assets/bounce.wav" 2>/dev/null)
statuses=
for round in $(seq 20); do
    status=0
    timeout 20 wine "$winbuild/bench/frozenexit.exe" "$wav" 1200 2>/dev/null &
    program=$!
    sleep 0.$((2 + RANDOM % 8))
    pulse_freeze
    wait "$program" || status=$?
    pulse_thaw
    statuses+=" $status"
done
echo "frozenexit.exe, 20 exits beside a frozen server, exit statuses:$statuses"
