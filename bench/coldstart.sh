#!/usr/bin/env bash
# The first cue of a fresh program, beside a plain player started the same
# way: on each server (PulseAudio, and PipeWire with pipewire-pulse) with a
# recording already running, STARTS times a fresh Zorbel window plays its
# release cue at start, and STARTS times paplay (and on PipeWire pw-play)
# plays the same WAV file. Prints, for each, how much of the first cue was
# heard and its onset after the program was started:
#
#   bench/coldstart.sh [STARTS] [--load]
#
# STARTS defaults to 30; --load runs two CPU-bound processes beside it (one
# per core of a 2-core machine). Writes the table to
# bench/results/coldstart.md (coldstart-load.md with --load). Figures are only
# reported, never checked.
set -euo pipefail

starts=${1:-30}
load=${2:-}
top=$(cd "$(dirname "$0")/.." && pwd)
build=${ZORBEL_BENCH_BUILD:-$top/build-bench}
results=$top/bench/results

source "$top/tools/install-missing.sh"
install_missing build-essential cmake ninja-build pkg-config qt6-base-dev libpulse-dev libx11-dev libxcb1-dev \
    xvfb xdotool pulseaudio pulseaudio-utils pipewire pipewire-pulse pipewire-bin wireplumber dbus-daemon python3
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --parallel 2 --target Zorbel

source "$top/tests/lib/xvfb.sh"
source "$top/tests/lib/pulse.sh"
xvfb_start
if [ "$load" = --load ]; then
    for _ in 1 2; do
        yes >/dev/null &
        on_exit end_pid $!
    done
fi

# The recording's length in ms: where in it a program started now begins.
recorded_ms() {
    echo $(($(stat -c %s "$1") * 1000 / 88200))
}

# Whether program $1 has ended, or its window counts its first bounce (its
# title is empty until then): past the release cue, which the first bounce
# cue cuts off.
ended() { ! kill -0 "$1" 2>/dev/null; }
counted() {
    ended "$1" || xdotool search --all --pid "$1" --name '^[0-9]+$' >/dev/null 2>&1
}

# Starts `$who` (the rest is its command) $starts times on the running
# server, each once the last has ended, and notes where each began.
starts_of() {
    local who=$1 i pid
    shift
    for i in $(seq "$starts"); do
        echo "$who $(recorded_ms "$work/$server.raw")" >>"$work/$server.starts"
        "$@" >/dev/null 2>&1 &
        pid=$!
        if [ "$who" = zorbel ]; then
            wait_until 30 counted "$pid" || true
            sleep 0.2
        else
            wait_until 10 ended "$pid" || true
        fi
        end_pid "$pid"
        sleep 0.3
    done
}

for server in pulseaudio pipewire; do
    echo "coldstart: $server" >&2
    pulse_start "$server" >/dev/null
    pulse_record_start "$work/$server.raw"
    : >"$work/$server.starts"
    starts_of zorbel "$build/window/qt/Zorbel"
    starts_of paplay paplay "$top/assets/release.wav"
    [ "$server" = pulseaudio ] || starts_of pw-play pw-play "$top/assets/release.wav"
    pulse_record_stop
    pulse_stop
    python3 "$top/tests/sound/count_cues.py" "$work/$server.raw" --details \
        --bounce "$top/assets/bounce.wav" --release "$top/assets/release.wav" >"$work/$server.cues"
done

mkdir -p "$results"
table=$results/coldstart${load:+-load}.md
python3 - "$work" "$starts" "$load" "$(cut -d' ' -f1-3 /proc/loadavg)" >"$table" <<'SUMMARY'
import re
import statistics
import sys

work, starts, load, loadavg = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
print(f'# First cue of a fresh program: {starts} starts per server and player'
      f'{", beside two CPU-bound processes" if load else ""} (load average at the end: {loadavg})\n')
print('The release cue (279.4 ms) as recorded from the null sink, the recording running before each')
print('start. Glitched: heard whole, but with a few ms garbled by the server\'s graph, the cue')
print('carrying on in place after them. Onset: from the program\'s start to the cue\'s first sound, in ms.\n')
print('| server | player | heard whole | of them glitched | short | not heard | heard ms, min | onset median | onset p90 | onset max |')
print('|---|---|---|---|---|---|---|---|---|---|')
for server in ('pulseaudio', 'pipewire'):
    cues = [dict(kind=m[1], at=float(m[2]), played=float(m[3]), full=float(m[4]), end=m[5], glitches=int(m[6]))
            for m in re.finditer(r'^(\w) at_ms=([\d.]+) played_ms=([\d.]+) full_ms=([\d.]+) match=[\d.]+ end=(\w+) glitches=(\d+)$',
                                 open(f'{work}/{server}.cues').read(), re.M)]
    rows = [line.split() for line in open(f'{work}/{server}.starts')]
    began = [(who, float(at)) for who, at in rows]
    by_player = {}
    for i, (who, at) in enumerate(began):
        until = began[i + 1][1] if i + 1 < len(began) else float('inf')
        first = next((c for c in cues if at - 5 <= c['at'] < until), None)
        by_player.setdefault(who, []).append((at, first))
    for who, trials in by_player.items():
        heard = [c for _, c in trials if c and c['kind'] == 'R']
        # Cut at its end by the program's next cue is the program's rule.
        # A cue that lost its first milliseconds, or broke off later, ends
        # "full" short of its length; "heard ms, min" tells which.
        whole = [c for c in heard if c['played'] >= c['full'] - 3 or c['end'] == 'cut']
        onsets = sorted(c['at'] - at for at, c in trials if c and c['kind'] == 'R')
        p90 = onsets[min(len(onsets) - 1, int(0.9 * len(onsets)))] if onsets else float('nan')
        glitched = sum(c['glitches'] > 0 for c in whole)
        print(f'| {server} | {who} | {len(whole)}/{len(trials)} | {glitched} | {len(heard) - len(whole)} | '
              f'{len(trials) - len(heard)} | {min((c["played"] for c in heard), default=0):.1f} | '
              f'{statistics.median(onsets) if onsets else float("nan"):.1f} | {p90:.1f} | '
              f'{max(onsets, default=float("nan")):.1f} |')
SUMMARY
cat "$table"
