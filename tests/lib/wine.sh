# Running Windows programs under Wine in a private prefix. Source this file,
# then:
#
#   wine_prefix                # exports WINEPREFIX (a private one) and WINEDEBUG
#   wine PROGRAM.exe ARGS...   # runs it to the end; its exit status
#   wine_launcher PROGRAM.exe  # prints a command that starts it, for window.sh's zorbel_start
#   wine_command 'LINE'        # runs a Windows command line as written; its exit status
#                              # (needs WINE_COMMAND_LINE: tests/windows/command_line.exe)
#   wine_reg KEY [VALUE]       # prints a key's values, NAME=DATA a line (or one value's data); status 1 if none
#   wine_keys KEY...           # prints each key's values, or "no KEY" (needs WINE_COMMAND_LINE)
#
# Or run it: `bash wine.sh PROGRAM.exe ARGS...` runs one program in a private
# prefix and exits with its status (the cross build's test emulator).
#
# Creating a prefix takes Wine 10-15 s, so the first test of a run builds a
# template ($ZORBEL_WINE_TEMPLATE, by default in the temp folder) and every
# test then gets a hard-linked copy of it with a wineserver of its own: tests
# running side by side never share Wine's state, and wine_stop ends only the
# processes of its own prefix. Works beside xvfb.sh (DISPLAY) and pulse.sh
# (PULSE_SERVER): Wine's programs use whatever those exported.

source "$(dirname "${BASH_SOURCE[0]}")/frame.sh"

WINE_DIR=
# No Mono or Gecko (nothing asks to be installed), and no menu builder: it
# would write desktop entries, icons and menus for the prefix's Start menu
# into the real home, pointing at a prefix that is gone after the test.
WINE_DLL_OVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# Debian's Wine keeps a prefix's server socket in a temp folder that the
# prefix names, under the prefix's device and inode; nothing removes it.
wine_forget_server() {
    [ -f "$1/wineserver" ] &&
        rm -rf "${TMPDIR:-/tmp}/$(cat "$1/wineserver")/server-$(stat -c %D "$1")-$(printf %x "$(stat -c %i "$1")")"
}

# Builds the template once; a lock keeps parallel tests from building it twice.
wine_template() {
    local template=${ZORBEL_WINE_TEMPLATE:-${TMPDIR:-/tmp}/zorbel-wine-$(id -u)}
    mkdir -p "$(dirname "$template")"
    (
        flock 9
        # A template from another Wine version would be updated in every copy.
        local stamp
        stamp=$(wine --version 2>/dev/null)
        if [ ! -f "$template/.zorbel-stamp" ] || [ "$(cat "$template/.zorbel-stamp")" != "$stamp" ]; then
            rm -rf "$template"
            if ! env -u DISPLAY WINEPREFIX="$template" WINEDEBUG=-all WINEDLLOVERRIDES="$WINE_DLL_OVERRIDES" \
                wineboot --init >"$template.log" 2>&1 ||
                ! WINEPREFIX="$template" wineserver --wait; then
                echo "wine.sh: could not create a Wine prefix; wineboot said:" >&2
                cat "$template.log" >&2
                exit 1
            fi
            wine_forget_server "$template"
            echo "$stamp" >"$template/.zorbel-stamp"
        fi
    ) 9>"$template.lock" || return 1
    echo "$template"
}

wine_prefix() {
    on_exit wine_stop
    local template
    template=$(wine_template) || return 1
    WINE_DIR=$(mktemp -d) || return 1
    # The registry is rewritten while Wine runs, so it is copied; the rest
    # (mostly system DLLs, 700 MB) is only read or replaced, so it is linked.
    cp -al "$template" "$WINE_DIR/prefix" || return 1
    local hive
    for hive in "$WINE_DIR"/prefix/*.reg; do
        cp --remove-destination "$template/$(basename "$hive")" "$hive" || return 1
    done
    export WINEPREFIX=$WINE_DIR/prefix
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES=$WINE_DLL_OVERRIDES
}

# The command runs the program in this process (exec), so the PID the caller
# sees is the program's own, and its window carries that PID.
wine_launcher() {
    local launcher=$WINE_DIR/launch-$(basename "$1" .exe)
    printf '#!/bin/sh\nexec wine %q "$@"\n' "$1" >"$launcher"
    chmod +x "$launcher"
    echo "$launcher"
}

# `wine PROGRAM ARGS` quotes each argument that holds a space; a command line
# as Windows keeps it (an uninstall entry's, say) goes to CreateProcess as
# it is, as Windows runs it: no command interpreter reads its `&` or `%…%`.
wine_command() {
    ZORBEL_COMMAND_LINE=$1 wine "$WINE_COMMAND_LINE"
}

# Through `reg export`, whose file is in UTF-16: what `reg query` prints is
# in the console's code page, which loses the letters of other scripts.
wine_reg() {
    local file=$WINE_DIR/export.reg out
    rm -f "$file"
    wine reg export "$1" "Z:${file//\//\\}" /y >/dev/null 2>&1 || return 1
    out=$(wine_reg_values "$file")
    if [ -n "${2:-}" ]; then
        sed -n "s/^$2=//p" <<<"$out"
    else
        echo "$out"
    fi
}

# An exported key's values, NAME=DATA a line: strings unescaped, DWORDs 0x….
wine_reg_values() {
    iconv -f UTF-16 -t UTF-8 "$1" | tr -d '\r' |
        sed -n -e '/^"[^"]*"=dword:/{s/^"\([^"]*\)"=dword:\(.*\)/\1=0x\2/p;d}' \
            -e 's/^"\([^"]*\)"="\(.*\)"$/\1=\2/' -e 'T' -e 's/\\\(.\)/\1/g' -e 'p'
}

# Each key's values as wine_reg prints them, after a line naming the key, or
# "no KEY"; one Wine start for them all.
wine_keys() {
    local key lines= i=0
    for key; do
        rm -f "$WINE_DIR/export-$i.reg"
        lines+="reg export \"$key\" \"Z:${WINE_DIR//\//\\}\\export-$((i++)).reg\" /y"$'\n'
    done
    # A key that is not there fails its line, which is what the files say.
    ZORBEL_COMMAND_LINE=$lines wine "$WINE_COMMAND_LINE" >/dev/null 2>&1 || true
    i=0
    for key; do
        if [ -f "$WINE_DIR/export-$i.reg" ]; then
            echo "[$key]"
            wine_reg_values "$WINE_DIR/export-$i.reg"
        else
            echo "no $key"
        fi
        i=$((i + 1))
    done
}

# Ends what runs in this prefix and removes it; safe to call twice.
wine_stop() {
    if [ -n "$WINE_DIR" ]; then
        local prefix=$WINE_DIR/prefix
        WINEPREFIX=$prefix wineserver --kill 2>/dev/null
        WINEPREFIX=$prefix wineserver --wait 2>/dev/null
        wine_forget_server "$prefix"
        rm -rf "$WINE_DIR"
        WINE_DIR=
    fi
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    wine_prefix || exit 1
    wine "$@"
    exit
fi
