#!/usr/bin/env bash
# The Windows packages of this tree. The zip holds Zorbel.exe alone. The
# installer, silent under Wine, installs in two rounds: for every user
# (/AllUsers) and for the current user alone (/CurrentUser), each asking for
# no elevation in its manifest; the installed program opens its window.
# While it runs, installing again or uninstalling ends with a non-zero status
# and changes nothing. The uninstaller, run as its uninstall entry says (in
# place) or plainly (as NSIS's copy in the temp folder), leaves no file or
# registry key behind. Wine's menu builder stays off: the real home gets no
# menus or icons.
# Usage: installer_test.sh BUILD/CPackConfig.cmake
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/xvfb.sh"
source "$here/../lib/window.sh"
source "$here/../lib/wine.sh"

if ! cpack --config "$1" -G "NSIS;ZIP" -B "$work" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    fail "cpack could not make the packages"
fi
installer=$(echo "$work"/*-setup.exe)
zip=$(echo "$work"/*.zip)
files=$(/usr/bin/python3 -c 'import sys, zipfile; print(*zipfile.ZipFile(sys.argv[1]).namelist())' "$zip")
[ "$files" = Zorbel.exe ] || fail "the zip holds '$files', not Zorbel.exe alone"
grep -aq 'level="asInvoker"' "$installer" || fail "the installer's manifest asks for elevation"

# Where Wine's menu builder would put the Start menu's entries.
home_menus=("$HOME/.local/share/applications" "$HOME/.local/share/icons" "$HOME/.local/share/desktop-directories" "$HOME/.config/menus")
touch "$work/before"

uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Zorbel'
# What installing may change: files and folders outside Windows' own, and
# Zorbel's registry keys.
files_state() {
    (cd "$WINEPREFIX/drive_c" && find . -path ./windows -prune -o -print | sort &&
        find . -path ./windows -prune -o -type f -print0 | xargs -0r sha256sum 2>/dev/null | sort)
}
state() {
    files_state
    local key
    for key in "HKLM\\$uninstall_key" "HKCU\\$uninstall_key" 'HKLM\Software\Zorbel'; do
        wine_reg "$key" || echo "no $key"
    done
}
# Waits for the uninstaller's last step, which ends after it returns.
settled() {
    for _ in $(seq 100); do
        files_state | cmp -s - "$1" && break
        sleep 0.2
    done
    state | diff "$2" - >&2
}

xvfb_start
wine_prefix
state >"$work/empty"
files_state >"$work/empty-files"
user=$WINEPREFIX/drive_c/users/$(id -un)
for mode in AllUsers CurrentUser; do
    if [ "$mode" = AllUsers ]; then
        folder="$WINEPREFIX/drive_c/Program Files/Zorbel"
        menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Zorbel"
        root=HKLM other=HKCU
    else
        folder="$user/AppData/Local/Programs/Zorbel"
        menu="$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Zorbel"
        root=HKCU other=HKLM
    fi
    wine "$installer" /S "/$mode" || fail "$mode: the installer ended with status $?"
    [ -f "$folder/Zorbel.exe" ] || fail "$mode: no $folder/Zorbel.exe after installing"
    [ -f "$menu/Zorbel.lnk" ] || fail "$mode: no Start-menu entry after installing: $(find "$WINEPREFIX/drive_c" -name '*.lnk')"
    wine_reg "$root\\$uninstall_key" >/dev/null || fail "$mode: no uninstall entry under $root"
    ! wine_reg "$other\\$uninstall_key" >/dev/null || fail "$mode: an uninstall entry under $other too"
    grep -aq 'level="asInvoker"' "$folder/Uninstall.exe" || fail "$mode: the uninstaller's manifest asks for elevation"

    zorbel_start "$(wine_launcher "$folder/Zorbel.exe")" "$work/zorbel.err" || fail "$mode: the installed program opened no window"
    # An install that went ahead would show its own version again.
    wine reg add "$root\\$uninstall_key" /v DisplayVersion /d 0.9 /f >/dev/null
    state >"$work/installed"
    quiet=$(wine_reg "$root\\$uninstall_key" QuietUninstallString)
    status=0
    wine "$installer" /S "/$mode" || status=$?
    [ "$status" != 0 ] || fail "$mode: installing while Zorbel runs ended with status 0"
    status=0
    wine_command "$quiet" || status=$?
    [ "$status" != 0 ] || fail "$mode: uninstalling ($quiet) while Zorbel runs ended with status 0"
    state | diff "$work/installed" - >&2 || fail "$mode: a refused install or uninstall changed the above"
    zorbel_kill

    if [ "$mode" = AllUsers ]; then
        wine_command "$quiet" || fail "$mode: the uninstaller ($quiet) ended with status $?"
    else
        wine "$folder/Uninstall.exe" /S || fail "$mode: the uninstaller ended with status $?"
    fi
    settled "$work/empty-files" "$work/empty" || fail "$mode: uninstalling left the above behind"
done

written=$(find "${home_menus[@]}" -newer "$work/before" 2>/dev/null | grep -i wine || true)
[ -z "$written" ] || fail "Wine wrote into the real home: $written"
echo "$(basename "$installer"): installed for all users and for one, refused while Zorbel ran, uninstalled without a trace"
