#!/usr/bin/env bash
set -euo pipefail
# Installs what is missing from Debian's packages, builds, then either runs
# Zorbel (`tools/setup.sh run`), or every test of every tree, listing all
# the failures at the end (`tools/setup.sh test`, or `tools/setup.sh test
# TREE...` for only the trees named, build-win64 say), or builds the Windows
# program and its packages (`tools/setup.sh windows`), or the site of the
# browser build (`tools/setup.sh web`).

mode=${1:-}
trees=("${@:2}")
trees_known=(build build-asan build-web build-win64 build-win32 build-i686)
case "$mode" in
run | windows | web) [ ${#trees[@]} = 0 ] ;;
test)
    for tree in "${trees[@]}"; do
        printf '%s\n' "${trees_known[@]}" | grep -qxF -- "$tree" ||
            { echo "$0: no tree '$tree' (the trees: ${trees_known[*]})" >&2 && exit 2; }
    done
    ;;
*) false ;;
esac || {
    echo "usage: $0 run|test [TREE...]|windows|web" >&2
    exit 2
}

top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build"

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev libpulse-dev libx11-dev libxcb1-dev
    fonts-dejavu-core fonts-dejavu-extra
    qt6-wayland
)
if [ "$mode" = test ]; then
    packages+=(
        googletest libgtest-dev python3
        xvfb xdotool x11-utils imagemagick i3-wm openbox
        pulseaudio pulseaudio-utils pipewire pipewire-pulse wireplumber dbus-daemon
        dpkg-dev file lintian man-db desktop-file-utils appstream appstream-util weston
        devscripts
        g++-multilib qemu-user
    )
fi

# The Windows program, cross-built with mingw-w64; its tests run under Wine
# (64-bit only: see README's "Windows" section).
windows_packages=(
    cmake ninja-build python3
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix nsis
)
if [ "$mode" = test ]; then
    windows_packages+=(
        googletest python3-pefile python3-yaml osslsigncode openssl git
        wine wine64 fonts-wine libxcursor1 libxrender1 libxrandr2 libxi6 libxfixes3 libxinerama1 libxcomposite1
    )
fi

# The browser build, with emscripten; its tests run the model under node and
# the site in Chromium, driven by playwright-core from npm (which downloads
# no browser), with the sound played into a private PulseAudio.
web_packages=(cmake ninja-build python3 emscripten nodejs)
# npm comes with some builds of nodejs, and Debian's npm would conflict with them.
command -v npm >/dev/null || web_packages+=(npm)
if [ "$mode" = test ]; then
    web_packages+=(googletest chromium pulseaudio pulseaudio-utils fonts-dejavu-core fonts-dejavu-extra)
fi

# Configures and builds tree $1 with the cmake options that follow.
build_tree() {
    local tree=$1
    shift
    cmake -S "$top" -B "$tree" -G Ninja "$@" && cmake --build "$tree" --parallel "$jobs"
}

# Builds Zorbel.exe for x86_64 or i686 ($2) into tree $1, with its installer
# and zip; more cmake options may follow.
build_windows_tree() {
    local tree=$1 target=$2
    shift 2
    build_tree "$tree" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchains/mingw-w64-$target.cmake" "$@" &&
        cmake --build "$tree" --target package
}

# Builds the site into tree $1/site; more cmake options may follow.
build_web_tree() {
    local tree=$1
    shift
    build_tree "$tree" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchains/emscripten.cmake" "$@"
}

# The test command's trees run in two lanes side by side. In a lane, the
# trees after the first are built while the first one's tests run, and each
# is tested in turn once built. Builds run at the lowest priority, so that
# beside the tests, timing ones among them, they take only the time those
# leave over: most of it, as the end-to-end tests mostly wait for the ball.
# The output of each step goes to a log in build-logs/, and one line a step
# says how it went. A step that fails is noted and the lane carries on, so
# that one run shows every failure; the notes of both lanes go to one file,
# each a line written at once.
logs=$top/build-logs
note_failure() {
    echo "$1" >>"$logs/failures"
    echo "FAILED: $1"
}

# Whether tree $1 is among those `tools/setup.sh test TREE...` named.
wanted() {
    [ ${#trees[@]} = 0 ] || printf '%s\n' "${trees[@]}" | grep -qxF -- "$1"
}

# Notes each test that ctest's run ($2: test or reproducible) of tree $1
# lists as failed at the end of its log, or ctest's own failure when it
# lists none. (Testing/Temporary/LastTestsFailed.log cannot tell: the two
# runs of a tree share it.)
note_failed_tests() {
    local tree=$1 log=build-logs/$1.$2.log name listed=0
    while IFS= read -r name; do
        note_failure "$tree: $name (log: $log)"
        listed=1
    done < <(sed -n '/^The following tests FAILED:/,$s/^[[:space:]]*[0-9]* - \(.*\) ([^)]*)$/\1/p' "$top/$log")
    [ "$listed" = 1 ] || note_failure "$tree: ctest failed (log: $log)"
}

# Builds tree $1 with the build function $2 and the options that follow.
build_step() {
    local tree=$1 builder=$2 start=$SECONDS
    shift 2
    wanted "$tree" || return 0
    # At the tests' own priority: a lowered one would leave the builds
    # nothing on a machine that is busy with anything else.
    if ("$builder" "$top/$tree" "$@") >"$logs/$tree.build.log" 2>&1; then
        touch "$logs/$tree.built"
        echo "$tree: built in $((SECONDS - start)) s"
    else
        note_failure "$tree: the build failed (log: build-logs/$tree.build.log)"
    fi
}

# Runs the tests of tree $1, once built, with the ctest options that follow.
# Its *_reproducible tests, which rebuild the tree elsewhere, run apart,
# beside the tree's other tests.
test_step() {
    local tree=$1 start=$SECONDS status=0 reproducible
    shift
    [ -f "$logs/$tree.built" ] || return 0
    ctest --test-dir "$top/$tree" --output-on-failure --parallel "$jobs" -R '_reproducible$' "$@" \
        >"$logs/$tree.reproducible.log" 2>&1 &
    reproducible=$!
    ctest --test-dir "$top/$tree" --output-on-failure --parallel "$jobs" -E '_reproducible$' "$@" \
        >"$logs/$tree.test.log" 2>&1 || { status=1 && note_failed_tests "$tree" test; }
    wait "$reproducible" || { status=1 && note_failed_tests "$tree" reproducible; }
    echo "$tree: tested in $((SECONDS - start)) s$([ "$status" = 0 ] || echo ", with failures")"
}

source "$top/tools/install-missing.sh"
jobs=$(nproc)
if [ "$mode" = windows ]; then
    install_missing "${windows_packages[@]}"
    build_windows_tree "$top/build-win64" x86_64 -DBUILD_TESTING=OFF
    build_windows_tree "$top/build-win32" i686 -DBUILD_TESTING=OFF
    echo "Zorbel.exe, its installer and zip: $top/build-win64 (x86-64) and $top/build-win32 (i686)"
    exit
fi
if [ "$mode" = web ]; then
    install_missing "${web_packages[@]}"
    build_web_tree "$top/build-web" -DBUILD_TESTING=OFF
    site=$top/build-web/site
    raw=$(cat "$site"/* | wc -c)
    gzipped=0
    for file in "$site"/*; do
        gzipped=$((gzipped + $(gzip -9 -c "$file" | wc -c)))
    done
    echo "The site: $site, $((raw / 1024)) KiB ($((gzipped / 1024)) KiB gzipped, file by file)."
    echo "The site in one zip, for a game portal:" "$top"/build-web/Zorbel-*-web.zip
    echo "Serve it on this machine with"
    echo "    python3 -m http.server -d $site --bind 127.0.0.1 8000"
    echo "and open http://127.0.0.1:8000/ in a browser."
    exit
fi
[ "$mode" = run ] || packages+=("${windows_packages[@]}" "${web_packages[@]}")
install_missing "${packages[@]}"

if [ "$mode" = run ]; then
    build_tree "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "Built $build/window/qt/Zorbel, but there is no display to open its window on (DISPLAY is not set)." >&2
        exit 1
    fi
    exec "$build/window/qt/Zorbel"
fi

rm -rf "$logs"
mkdir -p "$logs"
# One lane: the Linux tree; the same code built with AddressSanitizer,
# LeakSanitizer and UndefinedBehaviorSanitizer, running what only those find
# faults in: the tests of the code in one process (label unit: the model,
# the sound and window units) and the soak, a minute of the
# real program ending under LeakSanitizer's eye, but for those labelled
# no_sanitizer (each says why where it is defined).
(
    build_step build build_tree -DCMAKE_BUILD_TYPE=RelWithDebInfo
    {
        build_step build-asan build_tree -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORBEL_SANITIZE=ON
    } &
    builds=$!
    test_step build
    wait "$builds"
    test_step build-asan --label-regex 'unit|soak' --label-exclude no_sanitizer
) &
first_lane=$!
# The other: the Windows program of both architectures (its model,
# resource, installer and end-to-end tests under 64-bit Wine; the 32-bit
# tree runs what needs no Wine), and the model's tests as 32-bit code: a
# 32-bit Linux program with the code generation of the i686 Windows program
# (under qemu-i386 where the kernel runs no 32-bit programs); and the browser
# build: the model tests as wasm under node, the site in Chromium. The lanes
# take about as long: the sanitizer build is the longest of all.
(
    build_step build-win64 build_windows_tree x86_64 -DBUILD_TESTING=ON
    {
        build_step build-win32 build_windows_tree i686 -DBUILD_TESTING=ON
        build_step build-i686 build_tree -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchains/linux-i686.cmake"
        build_step build-web build_web_tree -DBUILD_TESTING=ON
    } &
    builds=$!
    test_step build-win64
    wait "$builds"
    test_step build-win32 --label-exclude wine
    test_step build-i686
    test_step build-web
) &
second_lane=$!
wait "$first_lane" || note_failure "the lane of build and build-asan ended early (status $?)"
wait "$second_lane" || note_failure "the lane of build-win64, build-win32, build-i686 and build-web ended early (status $?)"

if [ -s "$logs/failures" ]; then
    # What went wrong, in full, for a run whose logs are not kept (CI).
    sed -n 's/.*(log: \(build-logs\/[^)]*\))$/\1/p' "$logs/failures" | sort -u | while read -r log; do
        echo "==== $log" >&2
        cat "$top/$log" >&2
    done
    echo "Failed:" >&2
    sed 's/^/  /' "$logs/failures" >&2
    exit 1
fi
echo "Every test passed."
