# Windows programs under Wine, in a prefix of the test's own in $work. Source this file, then
#   wine_prefix                # exports WINEPREFIX, WINEDEBUG and WINEDLLOVERRIDES
#   wine PROGRAM.exe ARGS...   # runs it to the end; its exit status
#   wine_launcher PROGRAM.exe  # prints a command that starts it, for window.sh's zorbel_start
# or run it, `bash wine.sh PROGRAM.exe ARGS...`: the cross build's emulator. Making a prefix takes
# wineboot 28 s on a busy machine, a copy 0.1 s: the first test makes a template in the temp folder
# (or $ZORBEL_WINE_TEMPLATE), each test a hard-linked copy with a wineserver of its own.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/frame.sh"

# No Mono or Gecko (nothing asks for them), nor menus and icons in the real home for a passing prefix.
WINE_DLL_OVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# Debian's Wine leaves a prefix's server socket in a temp folder named by the prefix's device and inode.
wine_forget_server() {
    [ -f "$1/wineserver" ] &&
        rm -rf "${TMPDIR:-/tmp}/$(cat "$1/wineserver")/server-$(stat -c %D "$1")-$(printf %x "$(stat -c %i "$1")")"
}

# Once per Wine version; the lock keeps parallel tests from making it twice.
wine_template() {
    local template=${ZORBEL_WINE_TEMPLATE:-${TMPDIR:-/tmp}/zorbel-wine-$(id -u)} stamp
    stamp=$(wine --version 2>/dev/null)
    mkdir -p "$(dirname "$template")"
    (
        flock 9
        [ "$(cat "$template/.zorbel-stamp" 2>/dev/null)" = "$stamp" ] && exit
        rm -rf "$template"
        if ! env -u DISPLAY WINEPREFIX="$template" WINEDEBUG=-all WINEDLLOVERRIDES="$WINE_DLL_OVERRIDES" \
            wineboot --init >"$template.log" 2>&1 || ! WINEPREFIX="$template" wineserver --wait; then
            echo "wine.sh: could not make a Wine prefix; wineboot said: $(cat "$template.log")" >&2
            exit 1
        fi
        wine_forget_server "$template"
        echo "$stamp" >"$template/.zorbel-stamp"
    ) 9>"$template.lock" && echo "$template"
}

# The registry is rewritten as Wine runs, so copied; the rest (700 MB) only read or replaced, so linked.
wine_prefix() {
    on_exit wine_stop
    local template
    template=$(wine_template) || return 1
    cp -al "$template" "$work/wine" && cp --remove-destination "$template"/*.reg "$work/wine/"
    export WINEPREFIX=$work/wine WINEDEBUG=-all WINEDLLOVERRIDES=$WINE_DLL_OVERRIDES
}

# Runs the program by exec, so the PID the caller sees, which its window carries, is the program's.
wine_launcher() {
    local launcher=$work/launch-$(basename "$1" .exe)
    printf '#!/bin/sh\nexec wine %q "$@"\n' "$1" >"$launcher" && chmod +x "$launcher" && echo "$launcher"
}

wine_stop() {
    [ -d "$work/wine" ] || return 0
    WINEPREFIX=$work/wine wineserver --kill 2>/dev/null
    WINEPREFIX=$work/wine wineserver --wait 2>/dev/null
    wine_forget_server "$work/wine"
    rm -rf "$work/wine"
}

[ "${BASH_SOURCE[0]}" != "$0" ] || { wine_prefix && wine "$@"; }
