#!/usr/bin/env bash
# Two builds of the same sources, in different folders at different times,
# give the same bytes: the program and each package of the build folder
# BUILD, against a second copy of SOURCE built in a folder of its own with
# the configure options BUILD's cache holds (so that a tree configured before
# its toolchain file changed is still compared with itself). That copy builds
# only TARGETS, what the packages hold. Prints the SHA-256 of each.
# Usage: reproducible_test.sh SOURCE BUILD PROGRAM TARGETS GENERATORS CMAKE_ARGS...
#   PROGRAM: the program's path in a build folder; TARGETS and GENERATORS
#   (for cpack) separated by commas; SOURCE in CMAKE_ARGS names the copy there.
#   With no GENERATORS the tree packs by building (the site's zip): PROGRAM
#   is then the package, and cpack is not run.
set -euo pipefail
source "$(dirname "$0")/lib/frame.sh"
source=$1 build=$2 program=$3
IFS=, read -r -a targets <<<"$4"
generators=${5//,/;}
shift 5
# Runs a step quietly, showing its output if it fails.
quietly() {
    "$@" >"$work/step.log" 2>&1 || { cat "$work/step.log" >&2; fail "$* failed"; }
}

# A clone at the same commit (and so the same dates), with the uncommitted
# changes of SOURCE copied over it: what BUILD was built from.
copy=$work/elsewhere/zorbel
quietly git clone --quiet --no-checkout "$source" "$copy"
quietly git -C "$copy" checkout --quiet "$(git -C "$source" rev-parse HEAD)"
(cd "$source" && { git diff -z --name-only --diff-filter=d HEAD && git ls-files -z --others --exclude-standard; }) |
    tar -C "$source" --null -T - -c | tar -C "$copy" -x
(cd "$source" && git diff -z --name-only --diff-filter=D HEAD) | (cd "$copy" && xargs -0r rm -f)

again=$copy/$(basename "$build")
# The dates BUILD packs with, should a commit have come since it was configured.
epoch=
[ -z "$generators" ] ||
    epoch=$(sed -n 's/^set(CPACK_ZORBEL_SOURCE_DATE_EPOCH "\([0-9]*\)")$/\1/p' "$build/CPackConfig.cmake")
SOURCE_DATE_EPOCH=${epoch:-${SOURCE_DATE_EPOCH:-}} quietly cmake -S "$copy" -B "$again" "${@//$source/$copy}" -DBUILD_TESTING=OFF
quietly cmake --build "$again" --parallel 2 --target "${targets[@]}"
for tree in "$build" "$again"; do
    [ -n "$generators" ] || break
    quietly cpack --config "$tree/CPackConfig.cmake" -G "$generators" -B "$tree/reproducible-packages"
done

different=0
compare() {
    local first second
    first=$(sha256sum <"$1" | cut -d' ' -f1)
    second=$(sha256sum <"$2" | cut -d' ' -f1)
    if [ "$first" = "$second" ]; then
        echo "same    $first  $3"
    else
        echo "DIFFERS $first  $3 (built in $build)"
        echo "        $second  $3 (built in $again)"
        different=1
    fi
}
compare "$build/$program" "$again/$program" "$program"
count=0
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
