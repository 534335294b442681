#!/usr/bin/env bash
# The page's figures alone, in a few minutes: the site's first frame with the
# ball and its CPU beside the floor page's (bench/pageprobe.cjs), and
# Lighthouse's scores (bench/lighthouse.cjs):
#
#   bench/page.sh [RUNS]
#
# RUNS rounds of the two pages (default 5), the first of them also at rest
# before and after a click; then Lighthouse, PAGE_LIGHTHOUSE_MOBILE runs in
# its mobile setting (default 3) and PAGE_LIGHTHOUSE_DESKTOP with its desktop
# preset (default 1). Prints the tables and writes bench/results/page.md and
# page-raw.txt. Figures are only reported, never checked.
#
# Builds the site into build-bench-web/ (ZORBEL_BENCH_WEB_BUILD), as
# bench/run.sh does, with Lighthouse from npm at the version
# bench/package-lock.json pins, and installs with apt-get what it
# needs. The page's sound goes to a private PulseAudio.
set -euo pipefail

runs=${1:-5}
mobile=${PAGE_LIGHTHOUSE_MOBILE:-3}
desktop=${PAGE_LIGHTHOUSE_DESKTOP:-1}
top=$(cd "$(dirname "$0")/.." && pwd)
results=$top/bench/results

packages=(cmake ninja-build python3 emscripten nodejs chromium pulseaudio pulseaudio-utils)
command -v npm >/dev/null || packages+=(npm)
source "$top/tools/install-missing.sh"
install_missing "${packages[@]}"

webbuild=${ZORBEL_BENCH_WEB_BUILD:-$top/build-bench-web}
cmake -S "$top" -B "$webbuild" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON -DZORBEL_BENCH=ON \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchains/emscripten.cmake" >/dev/null
cmake --build "$webbuild" --parallel 2 --target Zorbel zorbel_site zorbel_playwright zorbel_lighthouse

source "$top/tests/lib/pulse.sh"
pulse_start pulseaudio >/dev/null
raw=$work/page-raw.txt
NODE_PATH=$webbuild/tests/web/node_modules node "$top/bench/pageprobe.cjs" "$webbuild/site" --bare \
    --runs "$runs" --rest 1 >>"$raw"
NODE_PATH=$webbuild/bench/node_modules node "$top/bench/lighthouse.cjs" "$webbuild/site" \
    --mobile "$mobile" --desktop "$desktop" >>"$raw"

mkdir -p "$results"
cp "$raw" "$results/page-raw.txt"
python3 "$top/bench/summarize.py" --page "$raw" "$results"
echo "bench: wrote $results/page.md and $results/page-raw.txt"
