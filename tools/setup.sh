#!/usr/bin/env bash
# Installs what is missing from Debian's packages, builds, then either runs
# Zorbel (`tools/setup.sh run`) or every test (`tools/setup.sh test`), or
# builds the Windows program and its packages (`tools/setup.sh windows`).
set -euo pipefail

mode=${1:-}
case "$mode" in
run | test | windows) ;;
*)
    echo "usage: $0 run|test|windows" >&2
    exit 2
    ;;
esac

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
        dpkg-dev file lintian man-db desktop-file-utils appstream weston
        devscripts clang libclang-rt-14-dev
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
        googletest python3-pefile
        wine wine64 fonts-wine libxcursor1 libxrender1 libxrandr2 libxi6 libxfixes3 libxinerama1 libxcomposite1
    )
fi

# Builds Zorbel.exe for x86-64 and i686 into build-win64 and build-win32,
# each with its installer and zip.
build_windows() {
    local target tree
    for target in x86_64:win64 i686:win32; do
        tree=$top/build-${target#*:}
        cmake -S "$top" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchains/mingw-w64-${target%:*}.cmake" "$@"
        cmake --build "$tree" --parallel "$jobs"
        cmake --build "$tree" --target package
    done
}

source "$top/tools/install-missing.sh"
jobs=$(nproc)
if [ "$mode" = windows ]; then
    install_missing "${windows_packages[@]}"
    build_windows -DBUILD_TESTING=OFF
    echo "Zorbel.exe, its installer and zip: $top/build-win64 (x86-64) and $top/build-win32 (i686)"
    exit
fi
[ "$mode" = run ] || packages+=("${windows_packages[@]}")
install_missing "${packages[@]}"

cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --parallel "$jobs"

if [ "$mode" = run ]; then
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "Built $build/window/qt/Zorbel, but there is no display to open its window on (DISPLAY is not set)." >&2
        exit 1
    fi
    exec "$build/window/qt/Zorbel"
fi

ctest --test-dir "$build" --output-on-failure --parallel "$jobs"

# The same tests on a second tree built with AddressSanitizer, LeakSanitizer
# and UndefinedBehaviorSanitizer, but for those labelled no_sanitizer (each
# says why where it is defined).
asan="$top/build-asan"
cmake -S "$top" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORBEL_SANITIZE=ON
cmake --build "$asan" --parallel "$jobs"
ctest --test-dir "$asan" --output-on-failure --parallel "$jobs" --label-exclude no_sanitizer

# The Windows program of both architectures, its model, resource, installer
# and end-to-end tests under 64-bit Wine; the 32-bit tree runs what needs no Wine.
build_windows -DBUILD_TESTING=ON
ctest --test-dir "$top/build-win64" --output-on-failure --parallel "$jobs"
ctest --test-dir "$top/build-win32" --output-on-failure --parallel "$jobs" --label-exclude wine
