#!/usr/bin/env bash
# The Windows packages of this tree: the zip holds Zorbel.exe alone; the
# installer installs silently under Wine, the installed program opens its
# window, and the uninstaller removes the program and its Start-menu entry.
# Wine's menu builder stays off: the real home gets no menus or icons.
# Usage: installer_test.sh BUILD/CPackConfig.cmake
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/e2e.sh"
source "$here/../lib/wine.sh"

if ! cpack --config "$1" -G "NSIS;ZIP" -B "$work" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    fail "cpack could not make the packages"
fi
installer=$(echo "$work"/*-setup.exe)
zip=$(echo "$work"/*.zip)
files=$(/usr/bin/python3 -c 'import sys, zipfile; print(*zipfile.ZipFile(sys.argv[1]).namelist())' "$zip")
[ "$files" = Zorbel.exe ] || fail "the zip holds '$files', not Zorbel.exe alone"

# Where Wine's menu builder would put the Start menu's entries.
home_menus=("$HOME/.local/share/applications" "$HOME/.local/share/icons" "$HOME/.local/share/desktop-directories" "$HOME/.config/menus")
touch "$work/before"

xvfb_start
wine_prefix
wine "$installer" /S || fail "the installer ended with status $?"
program="$WINEPREFIX/drive_c/Program Files/Zorbel/Zorbel.exe"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Zorbel/Zorbel.lnk"
[ -f "$program" ] || fail "no $program after installing"
[ -f "$shortcut" ] || fail "no Start-menu entry after installing: $(find "$WINEPREFIX/drive_c" -name '*.lnk')"

zorbel_start "$(wine_launcher "$program")" "$work/zorbel.err" || fail "the installed program opened no window"
zorbel_kill

# The uninstaller copies itself away and returns at once; the copy removes
# the files a moment later.
wine "$(dirname "$program")/Uninstall.exe" /S || fail "the uninstaller ended with status $?"
for _ in $(seq 200); do
    [ -e "$program" ] || [ -e "$shortcut" ] || break
    sleep 0.1
done
[ ! -e "$program" ] || fail "$program is still there after uninstalling"
[ ! -e "$shortcut" ] || fail "the Start-menu entry is still there after uninstalling"
written=$(find "${home_menus[@]}" -newer "$work/before" 2>/dev/null | grep -i wine || true)
[ -z "$written" ] || fail "Wine wrote into the real home: $written"
echo "installed, started and uninstalled $(basename "$installer")"
