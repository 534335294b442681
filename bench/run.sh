#!/usr/bin/env bash
# Zorbel's benchmarks, side by side with a bare Qt window (the floor) and
# small X programs (the peers), on a private X server and sound server (the
# cues also through PipeWire, each server with a plain stream beside them):
#
#   bench/run.sh [RUNS]
#
# RUNS rounds (default 10); each round runs every measurement once, in an
# order that rotates from round to round, so a busy machine slows them all
# alike. Prints the table of medians (min–max) and writes bench/results/:
# latest.md (the table), tick-periods.png (their distribution), and the raw
# figures it was made from. Figures are only reported, never checked.
#
# Builds into build-bench/ with ZORBEL_BENCH=ON, and installs with apt-get
# what only the benchmarks need (xeyes, oneko, gnuplot, XCB Damage headers).
# The Windows program is measured too, under Wine on the same servers,
# cross-built into build-bench-win64/, and the site of the browser build in
# Chromium beside a bare floor page (bench/pageprobe.cjs) and by Lighthouse
# (bench/lighthouse.cjs), built into build-bench-web/; bench/page.sh runs
# these alone.
set -euo pipefail

runs=${1:-10}
top=$(cd "$(dirname "$0")/.." && pwd)
build=${ZORBEL_BENCH_BUILD:-$top/build-bench}
results=$top/bench/results

packages=(
    build-essential cmake ninja-build pkg-config qt6-base-dev libpulse-dev
    libxcb-damage0-dev xvfb xdotool pulseaudio pulseaudio-utils x11-apps oneko gnuplot-nox python3
    pipewire pipewire-pulse wireplumber dbus-daemon
    g++-mingw-w64-x86-64-posix wine wine64 fonts-wine
    emscripten nodejs chromium
)
command -v npm >/dev/null || packages+=(npm)
source "$top/tools/install-missing.sh"
install_missing "${packages[@]}"

cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORBEL_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --parallel 2 --target Zorbel barewindow ZorbelTickTrace soundtiming startupprobe
winbuild=${ZORBEL_BENCH_WIN_BUILD:-$top/build-bench-win64}
cmake -S "$top" -B "$winbuild" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZORBEL_BENCH=ON -DBUILD_TESTING=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchains/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$winbuild" --parallel 2 --target Zorbel ZorbelTickTrace soundtiming
# The tests' tree, for playwright-core, of which only the site and npm's parts
# (playwright-core, Lighthouse) are built.
webbuild=${ZORBEL_BENCH_WEB_BUILD:-$top/build-bench-web}
cmake -S "$top" -B "$webbuild" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON -DZORBEL_BENCH=ON \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchains/emscripten.cmake" >/dev/null
cmake --build "$webbuild" --parallel 2 --target Zorbel zorbel_site zorbel_playwright zorbel_lighthouse

source "$top/tests/lib/xvfb.sh"
source "$top/tests/lib/pulse.sh"
source "$top/tests/lib/wine.sh"
xvfb_start
pulse_start
wine_prefix
# A wineserver that outlives each program, as a Windows session does, so
# start-up is the program's own; one start to warm the prefix up.
wineserver --persistent
wine "$winbuild/bench/soundtiming.exe" 0 0
wine_zorbel=$(wine_launcher "$winbuild/window/win32/Zorbel.exe")
wine_ticktrace=$(wine_launcher "$winbuild/bench/ZorbelTickTrace.exe")

probe=$build/bench/startupprobe
zorbel=$build/window/qt/Zorbel
bare=$build/bench/barewindow
raw=$work/raw.txt
mkdir -p "$work/ticks" "$work/wine-ticks" "$work/page-ticks" "$results"
: >"$raw"

# Runs the probe and appends its figures as one line for $1.
measure() {
    local who=$1
    shift
    echo "who=$who $("$probe" --stderr "$work/stderr.$who" "$@" | tr '\n' ' ')" >>"$raw"
    # Without a sound server zorbel_silent's one warning is expected.
    if [ -s "$work/stderr.$who" ] && [ "$who" != zorbel_silent ]; then
        echo "bench: $who wrote on stderr:" >&2
        sed 's/^/    /' "$work/stderr.$who" >&2
    fi
}

sound_wine() {
    wine "$winbuild/bench/soundtiming.exe" 20 400 |
        awk '{ print "who=sound_wine", "id=" $2, "call_ms=" $4 }' >>"$raw"
}

# Round $1 of the site's startup drop in Chromium beside the floor page's,
# Zorbel's tick periods into page-ticks/; in the first three rounds also
# their CPU at rest after a click.
page() {
    NODE_PATH=$webbuild/tests/web/node_modules node "$top/bench/pageprobe.cjs" "$webbuild/site" --bare \
        --from "$1" --rest 3 --ticks "$work/page-ticks/drop" >>"$raw"
}

# The cues through server $1 (pulseaudio or pipewire), started for this run
# alone, played by Zorbel's player or by a plain stream ($2: zorbel or floor).
sound() {
    (
        trap pulse_stop EXIT
        pulse_start "$1" >/dev/null
        "$build/bench/soundtiming" "$2" 20 400
    ) | awk -v who="sound_$2_$1" '{ print "who=" who, "id=" $2, "call_ms=" $4, "onset_ms=" $6, "gap_ms=" $8 }' >>"$raw"
}

# Idle is measured only where it is reported; the other runs end quickly.
short=(--rest-ms 0 --idle-ms 0)
steps=(
    "measure zorbel --ball --title 10 -- $zorbel"
    "measure bare --ball -- $bare"
    "measure xeyes -- xeyes"
    "measure oneko -- /usr/games/oneko"
    "measure bare_animate --ball --title 10 ${short[*]} -- $bare --animate"
    "PULSE_SERVER=unix:$work/no-server measure zorbel_silent --ball --title 10 ${short[*]} -- $zorbel"
    "ZORBEL_TICK_TRACE=$work/ticks/drop.ROUND measure zorbel_ticks --ball --title 10 ${short[*]} -- $build/bench/ZorbelTickTrace"
    "sound pulseaudio zorbel"
    "sound pipewire zorbel"
    "measure zorbel_wine --ball --title 10 ${short[*]} -- $wine_zorbel"
    "ZORBEL_TICK_TRACE=Z:$work/wine-ticks/drop.ROUND measure zorbel_wine_ticks --ball --title 10 ${short[*]} -- $wine_ticktrace"
    "sound_wine"
    "page ROUND"
    "sound pulseaudio floor"
    "sound pipewire floor"
)
for round in $(seq "$runs"); do
    echo "bench: round $round of $runs" >&2
    for i in $(seq 0 $((${#steps[@]} - 1))); do
        step=${steps[$(((i + round) % ${#steps[@]}))]}
        eval "${step//ROUND/$round}"
    done
done

# Lighthouse on the site once, not every round: three runs in its mobile
# setting and one desktop.
NODE_PATH=$webbuild/bench/node_modules node "$top/bench/lighthouse.cjs" "$webbuild/site" >>"$raw"

# The programs' own size, without symbols; the Linux one also needs Qt's libraries.
strip -o "$work/Zorbel" "$zorbel"
x86_64-w64-mingw32-strip -o "$work/Zorbel.exe" "$winbuild/window/win32/Zorbel.exe"
echo "who=size linux_bytes=$(stat -c %s "$work/Zorbel") windows_bytes=$(stat -c %s "$work/Zorbel.exe")" >>"$raw"

cp "$raw" "$results/raw.txt"
python3 "$top/bench/summarize.py" "$raw" "$work/ticks" "$results" "$work/wine-ticks" "$work/page-ticks"
gnuplot <<PLOT
set terminal pngcairo size 800,450 font "DejaVu Sans,10"
set output "$results/tick-periods.png"
set title "tmrAnimate periods during the startup drop ($runs drops, Xvfb, $(nproc) cores)"
set xlabel "period (ms)"
set ylabel "ticks (log scale)"
set logscale y
set yrange [0.5:*]
set xrange [8.5:12]
set grid ytics
set style fill solid 0.8
binwidth = 0.05
set boxwidth binwidth
bin(x) = binwidth * floor(x / binwidth) + binwidth / 2
set arrow from 10, graph 0 to 10, graph 1 nohead dashtype 2 lc rgb "#808080"
set arrow from 10.5, graph 0 to 10.5, graph 1 nohead dashtype 3 lc rgb "#c04040"
plot "$results/tick-periods.txt" using (bin(\$1)):(1.0) smooth frequency with boxes lc rgb "#c0602a" title "periods (0.05 ms bins)"
PLOT
echo "bench: wrote $results/latest.md, $results/tick-periods.png and $results/raw.txt"
