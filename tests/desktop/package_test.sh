#!/usr/bin/env bash
# The .deb that cpack ($1) makes from build $2 for version $3, as a user and
# the stores meet it; its listings carry the release addresses the build was
# given, and so do those of a tree cmake ($4, options after it) configures
# with test addresses and a SOURCE_DATE_EPOCH.
set -euo pipefail
cpack=$1 build=$2 version=$3 cmake=$4
shift 4
here=$(cd "$(dirname "$0")" && pwd)
source=$(cd "$here/../.." && pwd)
source "$here/../lib/xvfb.sh"
source "$here/../lib/window.sh"
# Runs a step; if it fails, shows its output and fails with message $1.
step() { "${@:2}" >"$work/step.log" 2>&1 || { cat "$work/step.log" >&2 && fail "$1"; }; }
# The report of validator $1 (the command after $2) has no line tagged with a letter of $2.
quiet_report() { report=$("${@:3}" 2>&1) && ! grep -q "^[$2]:" <<<"$report" || fail "$1: $report"; }

step "cpack failed" "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work/out"
deb=$work/out/zorbel_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $(basename "$deb") in: $(ls "$work/out")"
field() { dpkg-deb --field "$deb" "$1"; }
# dpkg-shlibdeps fills Depends from what the binary links. libpulse, loaded at
# run time, is only suggested: it brings codec libraries, as Qt Multimedia would.
for row in 'Package ^zorbel$' 'Section ^games$' 'Maintainer .' 'Suggests ^libpulse0$' \
    'Depends \blibqt6widgets6\b' 'Depends \blibc6\b' 'Depends ^((?!libqt6multimedia|libpulse).)*$'; do
    field "${row%% *}" | grep -Pq "${row#* }" || fail "${row%% *} is '$(field "${row%% *}")', not as /${row#* }/"
done
# Recommends included, on an empty system.
step "apt-get cannot install the package" apt-get --simulate -o Dir::State::status=/dev/null install "$deb"
installs=$(awk '$1 == "Inst" { print $2 }' "$work/step.log")
codecs=$(grep -E '^(libsndfile|libflac|libvorbis|libopus|libmpg123|libmp3lame|libogg|gstreamer|libgstreamer|libavcodec)' <<<"$installs" || true)
[ -z "$codecs" ] || fail "installing the package brings codec packages:" $codecs
grep -qx libqt6widgets6 <<<"$installs" || fail "apt-get would not install Qt Widgets: $(cat "$work/step.log")"
# As root, lintian adds a note on stderr; only its tags count.
lintian=$(lintian --pedantic --display-info "$deb" 2>/dev/null || true)
! grep '^[EW]:' <<<"$lintian" >&2 || fail "lintian reports errors or warnings (above)"

dpkg-deb --extract "$deb" "$work/root"
usr=$work/root/usr id=org.zorbel.Zorbel
desktop=$usr/share/applications/$id.desktop metainfo=$usr/share/metainfo/$id.metainfo.xml
[ -x "$usr/games/Zorbel" ] && [ "$(readlink "$usr/games/zorbel")" = Zorbel ] ||
    fail "no /usr/games/Zorbel with zorbel linked to it: $(ls -l "$usr/games" 2>&1)"
for page in {man6,it/man6}/{zorbel,Zorbel}; do
    lexgrog "$usr/share/man/$page.6.gz" | grep -q ': "zorbel - ' || fail "no manual page $page.6.gz"
done
report=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$report" ] || fail "desktop-file-validate: $report"
# Pedantic notes (P:) are allowed: they include the capital in the id.
quiet_report appstreamcli EWI appstreamcli validate-tree --pedantic --no-net "$work/root"
for size in 16 32 48 64 128 256; do
    icon=$usr/share/icons/hicolor/${size}x${size}/apps/$id.png
    [ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = "${size}x${size}" ] || fail "$icon is not ${size}x${size}"
done
grep -q '<svg' "$usr/share/icons/hicolor/scalable/apps/$id.svg" || fail "no scalable icon"
newest=$(grep -m 1 -o '<release version="[^"]*"' "$metainfo" | cut -d'"' -f2)
[ "$newest" = "$version" ] || fail "the newest release in the metainfo is '$newest', the package is $version"
newest=$(zcat "$usr/share/doc/zorbel/changelog.gz" | dpkg-parsechangelog -l - -S Version)
[ "$newest" = "$version" ] || fail "the newest changelog entry is '$newest', the package is $version"

# The build's date, in CPack's configuration (the newest changelog entry's
# unless SOURCE_DATE_EPOCH was given), on every file and the control data.
packed() { sed -n "s/^set(CPACK_$1 \"\\(.*\\)\")\$/\\1/p" "$2/CPackConfig.cmake"; }
epoch=$(packed ZORBEL_SOURCE_DATE_EPOCH "$build")
if [ "$(packed ZORBEL_SOURCE_DATE_FROM "$build")" = desktop/changelog ]; then
    released=$(dpkg-parsechangelog -l "$source/desktop/changelog" -S Timestamp)
    [ "$epoch" = "$released" ] || fail "the packages are dated $epoch, the newest changelog entry $released"
fi
dates=$({ dpkg-deb --fsys-tarfile "$deb" && dpkg-deb --ctrl-tarfile "$deb"; } | TZ=UTC tar -t -v --full-time -f - | awk '{ print $4 " " $5 }' | sort -u)
[ "$dates" = "$(date -u -d "@$epoch" '+%F %T')" ] || fail "the package's files are dated, not $epoch:"$'\n'"$dates"

# Metainfo $1 and Homepage $2 give homepage $3, bug tracker $4 and, under base
# $5, the screenshot with its size and captions; nothing for one left empty.
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
check_listings "$metainfo" "$(field Homepage)" "$(cached ZORBEL_HOMEPAGE_URL)" "$(cached ZORBEL_BUGTRACKER_URL)" "$(cached ZORBEL_SCREENSHOTS_URL)"
# Addresses with what XML and CMake's lists take otherwise, a base ending in a slash.
listed=$work/listed homepage=https://zorbel.example.org/ screenshots=https://media.example.org/zorbel/
bugtracker='https://bugs.example.org/zorbel/new?labels=bug&title=a;b'
SOURCE_DATE_EPOCH=1700000000 step "cmake cannot configure a tree with release addresses" "$cmake" -S "$source" -B "$listed" "$@" \
    -DBUILD_TESTING=OFF -DZORBEL_HOMEPAGE_URL=$homepage "-DZORBEL_BUGTRACKER_URL=$bugtracker" -DZORBEL_SCREENSHOTS_URL=$screenshots
[ "$(packed ZORBEL_SOURCE_DATE_EPOCH "$listed")" = 1700000000 ] ||
    fail "configured with SOURCE_DATE_EPOCH=1700000000, the packages are dated $(packed ZORBEL_SOURCE_DATE_EPOCH "$listed")"
check_listings "$listed/desktop/$id.metainfo.xml" "$(packed DEBIAN_PACKAGE_HOMEPAGE "$listed")" $homepage "$bugtracker" $screenshots
report=$(appstream-util validate-strict --nonet "$listed/desktop/$id.metainfo.xml" 2>&1) || fail "appstream-util: $report"
quiet_report appstreamcli EWI appstreamcli validate --pedantic --no-net "$listed/desktop/$id.metainfo.xml"

xvfb_start
trap '' HUP # inherited by the program, as under nohup
PULSE_SERVER=unix:$work/no-sound-server zorbel_start "$usr/games/$(sed -n 's/^Exec=//p' "$desktop")" "$work/stderr" || exit 1
wm_class=$(xprop -id "$ZORBEL_WINDOW" WM_CLASS | sed 's/.*, "\(.*\)"$/\1/')
[ "$wm_class" = "$(sed -n 's/^StartupWMClass=//p' "$desktop")" ] || fail "WM_CLASS class '$wm_class' is not the desktop entry's StartupWMClass"
kill -HUP "$ZORBEL_PID"
sleep 0.5
! zorbel_ended || fail "an ignored SIGHUP ended the program"
echo "package: $(basename "$deb") valid, lintian: ${lintian:-nothing to report}, Depends: $(field Depends); WM_CLASS $wm_class, SIGHUP ignored"
