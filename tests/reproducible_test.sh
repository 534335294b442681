# Two builds of the same sources, in different folders at different times, give
# the same bytes: BUILD's program and packages against a `git archive` of SOURCE
# (no history to date it by; uncommitted changes copied over) built elsewhere
# with BUILD's cached options, only TARGETS. Prints the SHA-256 of each.
#   reproducible_test.sh SOURCE BUILD PROGRAM TARGETS GENERATORS CMAKE_ARGS...
# TARGETS, GENERATORS (cpack's) comma-separated; SOURCE in CMAKE_ARGS names the
# copy there; no GENERATORS: PROGRAM is the package (the site's zip), no cpack.
set -euo pipefail
source "$(dirname "$0")/lib/frame.sh"
source=$1 build=$2 program=$3 generators=${5//,/;}
IFS=, read -r -a targets <<<"$4"
shift 5
quietly() { "$@" >"$work/step.log" 2>&1 || { cat "$work/step.log" >&2; fail "$* failed"; }; }
copy=$work/elsewhere/zorbel
mkdir -p "$copy"
git -C "$source" archive --format=tar HEAD >"$work/release.tar" || fail "git archive failed"
tar -C "$copy" -xf "$work/release.tar"
(cd "$source" && { git diff -z --name-only --diff-filter=d HEAD && git ls-files -z --others --exclude-standard; }) |
    tar -C "$source" --null -T - -c | tar -C "$copy" -x
(cd "$source" && git diff -z --name-only --diff-filter=D HEAD) | (cd "$copy" && xargs -0r rm -f)
# Nor any repository around it that git could find in its place.
export GIT_CEILING_DIRECTORIES=$work
again=$copy/$(basename "$build")
# The copy is dated as BUILD was: by the changelog, or by BUILD's SOURCE_DATE_EPOCH.
packed() { [ ! -f "$build/CPackConfig.cmake" ] || sed -n "s/^set(CPACK_ZORBEL_SOURCE_DATE_$1 \"\(.*\)\")\$/\1/p" "$build/CPackConfig.cmake"; }
dated=(-u SOURCE_DATE_EPOCH)
[ "$(packed FROM)" != SOURCE_DATE_EPOCH ] || dated=("SOURCE_DATE_EPOCH=$(packed EPOCH)")
quietly env "${dated[@]}" cmake -S "$copy" -B "$again" "${@//$source/$copy}" -DBUILD_TESTING=OFF
quietly cmake --build "$again" --parallel 2 --target "${targets[@]}"
for tree in "$build" "$again"; do
    [ -z "$generators" ] || quietly cpack --config "$tree/CPackConfig.cmake" -G "$generators" -B "$tree/reproducible-packages"
done
different=0 count=0
compare() {
    local first second
    first=$(sha256sum <"$1" | cut -d' ' -f1) second=$(sha256sum <"$2" | cut -d' ' -f1)
    [ "$first" = "$second" ] && echo "same    $first  $3" && return
    printf 'DIFFERS %s  %s (built in %s)\n        %s  %s (built in %s)\n' "$first" "$3" "$build" "$second" "$3" "$again"
    different=1
}
compare "$build/$program" "$again/$program" "$program"
for package in "$build"/reproducible-packages/*.{exe,zip,deb}; do
    [ -f "$package" ] || continue
    name=$(basename "$package")
    [ -f "$again/reproducible-packages/$name" ] || fail "no $name from the second build"
    compare "$package" "$again/reproducible-packages/$name" "$name"
    count=$((count + 1))
done
rm -rf "$build/reproducible-packages"
[ "$count" -gt 0 ] || [ -z "$generators" ] || fail "cpack made no package"
[ "$different" = 0 ] || fail "the two builds differ (diffoscope compares the files in detail)"
