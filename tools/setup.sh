#!/usr/bin/env bash
# Installs what is missing from Debian's packages, builds, then either runs
# Zorbel (`tools/setup.sh run`) or every test (`tools/setup.sh test`).
set -euo pipefail

mode=${1:-}
case "$mode" in
run | test) ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac

top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build"

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-multimedia-dev libpulse-dev
    fonts-dejavu-core fonts-dejavu-extra
    qt6-wayland
)
if [ "$mode" = test ]; then
    packages+=(
        googletest libgtest-dev python3
        xvfb xdotool x11-utils imagemagick
        pulseaudio pulseaudio-utils
        dpkg-dev file lintian man-db desktop-file-utils appstream weston
        devscripts clang libclang-rt-14-dev
    )
fi

source "$top/tools/install-missing.sh"
install_missing "${packages[@]}"

jobs=$(nproc)
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --parallel "$jobs"

if [ "$mode" = run ]; then
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "Built $build/window/Zorbel, but there is no display to open its window on (DISPLAY is not set)." >&2
        exit 1
    fi
    exec "$build/window/Zorbel"
fi

ctest --test-dir "$build" --output-on-failure --parallel "$jobs"

# The same tests on a second tree built with AddressSanitizer, LeakSanitizer
# and UndefinedBehaviorSanitizer, but for those labelled no_sanitizer (each
# says why where it is defined).
asan="$top/build-asan"
cmake -S "$top" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORBEL_SANITIZE=ON
cmake --build "$asan" --parallel "$jobs"
ctest --test-dir "$asan" --output-on-failure --parallel "$jobs" --label-exclude no_sanitizer
