#!/usr/bin/env bash
# The Debian package that cpack ($1) makes from the build ($2), for version
# $3: its control fields, and no codec package among what apt would install
# with it on an empty system; no error or warning from lintian; every file
# dated as the build says, which is the newest changelog entry's date unless
# SOURCE_DATE_EPOCH was given; a tree that desktop-file-validate and
# appstreamcli accept, with icons of the sizes their folders name, a manual
# page in English and Italian for both command names and a changelog whose
# newest entry is this version; and a game whose desktop entry's command
# starts it under X with the window class the entry names, that leaves an
# ignored SIGHUP ignored and ends on SIGTERM with status 0.
# The listings (metainfo and Homepage) carry the release addresses the build
# was given and nothing in place of those it was not; and so do those of a
# tree that cmake ($4, with the options after it) configures with test
# addresses, which both store validators accept, appstream-util's strict one
# included; that tree is dated by the SOURCE_DATE_EPOCH it is given.
# Needs dpkg-dev, file, lintian, man-db, desktop-file-utils, appstream,
# appstream-util, xvfb, xdotool, x11-utils, ImageMagick and Python 3.
set -euo pipefail
cpack=$1
build=$2
version=$3
cmake=$4
shift 4
here=$(cd "$(dirname "$0")" && pwd)
source=$(cd "$here/../.." && pwd)
source "$here/../lib/xvfb.sh"
source "$here/../lib/window.sh"

"$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$work/out/zorbel_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $(basename "$deb") in: $(ls "$work/out")"

field() { dpkg-deb --field "$deb" "$1"; }
# Depends is filled in by dpkg-shlibdeps from the libraries the binary links.
# Sound goes straight to libpulse, loaded at run time: only suggested, since
# it brings codec libraries along, as Qt Multimedia would.
for row in 'Package ^zorbel$' 'Section ^games$' 'Maintainer .' 'Suggests ^libpulse0$' \
    'Depends \blibqt6widgets6\b' 'Depends \blibc6\b' 'Depends ^((?!libqt6multimedia|libpulse).)*$'; do
    field "${row%% *}" | grep -Pq "${row#* }" || fail "${row%% *} is '$(field "${row%% *}")', not as /${row#* }/"
done
# What apt would install, Recommends included, on a system with nothing yet.
apt-get --simulate -o Dir::State::status=/dev/null install "$deb" >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; fail "apt-get cannot install the package"; }
codecs=$(awk '$1 == "Inst" { print $2 }' "$work/apt.log" |
    grep -E '^(libsndfile|libflac|libvorbis|libopus|libmpg123|libmp3lame|libogg|gstreamer|libgstreamer|libavcodec)' || true)
[ -z "$codecs" ] || fail "installing the package brings codec packages:" $codecs
grep -q '^Inst libqt6widgets6 ' "$work/apt.log" || fail "apt-get would not install Qt Widgets: $(cat "$work/apt.log")"

# As root, lintian adds a note on stderr; only its tags count.
lintian=$(lintian --pedantic --display-info "$deb" 2>/dev/null || true)
! grep '^[EW]:' <<<"$lintian" >&2 || fail "lintian reports errors or warnings (above)"

dpkg-deb --extract "$deb" "$work/root"
usr=$work/root/usr
id=org.zorbel.Zorbel
desktop=$usr/share/applications/$id.desktop
command=$(sed -n 's/^Exec=//p' "$desktop")
[ -x "$usr/games/Zorbel" ] && [ "$(readlink "$usr/games/zorbel")" = Zorbel ] ||
    fail "no /usr/games/Zorbel with zorbel linked to it: $(ls -l "$usr/games" 2>&1)"
for page in man6 it/man6; do
    for name in zorbel Zorbel; do
        lexgrog "$usr/share/man/$page/$name.6.gz" | grep -q ': "zorbel - ' || fail "no manual page $page/$name.6.gz"
    done
done

report=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $report"
[ -z "$report" ] || fail "desktop-file-validate: $report"
# Pedantic notes (P:) are allowed: they include the capital in the id.
report=$(appstreamcli validate-tree --pedantic --no-net "$work/root" 2>&1) || fail "appstreamcli: $report"
! grep -q '^[EWI]:' <<<"$report" || fail "appstreamcli: $report"

# The build's dates, from CPack's configuration, on every file and the control data.
packed() { sed -n "s/^set(CPACK_$1 \"\\(.*\\)\")\$/\\1/p" "$2/CPackConfig.cmake"; }
epoch=$(packed ZORBEL_SOURCE_DATE_EPOCH "$build")
if [ "$(packed ZORBEL_SOURCE_DATE_FROM "$build")" = desktop/changelog ]; then
    released=$(dpkg-parsechangelog -l "$source/desktop/changelog" -S Timestamp)
    [ "$epoch" = "$released" ] || fail "the packages are dated $epoch, the newest changelog entry $released"
fi
dates=$({ dpkg-deb --fsys-tarfile "$deb" && dpkg-deb --ctrl-tarfile "$deb"; } |
    TZ=UTC tar -t -v --full-time -f - | awk '{ print $4 " " $5 }' | sort -u)
[ "$dates" = "$(date -u -d "@$epoch" '+%F %T')" ] || fail "the package's files are dated, not $epoch:"$'\n'"$dates"

# What metainfo $1 and Homepage $2 say of the release addresses, against
# homepage $3, bug tracker $4 and screenshots' base $5: each one given
# there, with the startup screenshot's size and a caption in English and
# one in Italian, and nothing for one left empty.
check_listings() {
    local found expected="homepage: $3
bugtracker: $4
screenshot: ${5:+${5%/}/screenshot.png $(identify -format '%wx%h' "$source/docs/screenshot.png")}
Homepage: $3"
    found=$(python3 "$here/listings.py" "$1") || fail "cannot read $1"
    found+=$'\n'"Homepage: $2"
    [ "$found" = "$expected" ] || fail "the listings read"$'\n'"$found"$'\n'"not"$'\n'"$expected"
}
cached() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
check_listings "$usr/share/metainfo/$id.metainfo.xml" "$(field Homepage)" \
    "$(cached ZORBEL_HOMEPAGE_URL)" "$(cached ZORBEL_BUGTRACKER_URL)" "$(cached ZORBEL_SCREENSHOTS_URL)"
# Addresses with what XML and CMake's lists take otherwise, and a base
# ending in a slash; and a SOURCE_DATE_EPOCH, which wins over the changelog.
listed=$work/listed
homepage=https://zorbel.example.org/
bugtracker='https://bugs.example.org/zorbel/new?labels=bug&title=a;b'
screenshots=https://media.example.org/zorbel/
SOURCE_DATE_EPOCH=1700000000 "$cmake" -S "$source" -B "$listed" "$@" -DBUILD_TESTING=OFF \
    -DZORBEL_HOMEPAGE_URL=$homepage "-DZORBEL_BUGTRACKER_URL=$bugtracker" -DZORBEL_SCREENSHOTS_URL=$screenshots \
    >"$work/cmake.log" 2>&1 || { cat "$work/cmake.log" >&2; fail "cmake cannot configure a tree with release addresses"; }
[ "$(packed ZORBEL_SOURCE_DATE_EPOCH "$listed")" = 1700000000 ] ||
    fail "configured with SOURCE_DATE_EPOCH=1700000000, the packages are dated $(packed ZORBEL_SOURCE_DATE_EPOCH "$listed")"
metainfo=$listed/desktop/$id.metainfo.xml
check_listings "$metainfo" "$(packed DEBIAN_PACKAGE_HOMEPAGE "$listed")" $homepage "$bugtracker" $screenshots
report=$(appstream-util validate-strict --nonet "$metainfo" 2>&1) || fail "appstream-util: $report"
report=$(appstreamcli validate --pedantic --no-net "$metainfo" 2>&1) || fail "appstreamcli: $report"
! grep -q '^[EWI]:' <<<"$report" || fail "appstreamcli: $report"
newest=$(grep -m 1 -o '<release version="[^"]*"' "$usr/share/metainfo/$id.metainfo.xml" | cut -d'"' -f2)
[ "$newest" = "$version" ] || fail "the newest release in the metainfo is '$newest', the package is $version"
newest=$(zcat "$usr/share/doc/zorbel/changelog.gz" | dpkg-parsechangelog -l - -S Version)
[ "$newest" = "$version" ] || fail "the newest changelog entry is '$newest', the package is $version"

for size in 16 32 48 64 128 256; do
    icon=$usr/share/icons/hicolor/${size}x${size}/apps/$id.png
    [ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = "${size}x${size}" ] || fail "$icon is not ${size}x${size}"
done
grep -q '<svg' "$usr/share/icons/hicolor/scalable/apps/$id.svg" || fail "no scalable icon"

xvfb_start
trap '' HUP # inherited by the program, as under nohup
PULSE_SERVER=unix:$work/no-sound-server zorbel_start "$usr/games/$command" "$work/stderr" || exit 1
wm_class=$(xprop -id "$ZORBEL_WINDOW" WM_CLASS | sed 's/.*, "\(.*\)"$/\1/')
[ "$wm_class" = "$(sed -n 's/^StartupWMClass=//p' "$desktop")" ] || fail "WM_CLASS class '$wm_class' is not the desktop entry's StartupWMClass"

kill -HUP "$ZORBEL_PID"
sleep 0.5
kill -0 "$ZORBEL_PID" 2>/dev/null || fail "an ignored SIGHUP ended the program"
kill -TERM "$ZORBEL_PID"
zorbel_wait_exit 10 || fail "SIGTERM did not end the program"
[ "$ZORBEL_STATUS" = 0 ] || fail "exit status $ZORBEL_STATUS after SIGTERM"
echo "package: $(basename "$deb") valid, lintian: ${lintian:-nothing to report}, Depends: $(field Depends); WM_CLASS $wm_class; SIGTERM ended it with status 0"
