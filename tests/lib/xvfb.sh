# A private X server, no window manager: xvfb_start exports DISPLAY, XDG_RUNTIME_DIR and
# DBUS_SESSION_BUS_ADDRESS; or `bash xvfb.sh PROGRAM ARGS...` runs one program under it.
source "$(dirname "${BASH_SOURCE[0]}")/frame.sh"
XVFB_DIR= XVFB_PID=
xvfb_start() {
    on_exit xvfb_stop
    XVFB_DIR=$work/xvfb
    mkdir -p "$XVFB_DIR" && mkdir -m700 "$XVFB_DIR/xdg" || return 1
    # Qt warns without a runtime folder. With no bus address libdbus forks dbus-launch,
    # which can hang a sanitizer build; an address with nothing behind it fails at once.
    export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$XVFB_DIR/xdg}
    export DBUS_SESSION_BUS_ADDRESS=${DBUS_SESSION_BUS_ADDRESS:-unix:path=$XVFB_DIR/no-session-bus}
    # -displayfd: a free display, so parallel tests never collide. -noreset: a server resetting
    # as its last client (the probe) leaves drops whoever connects meanwhile. Loaded, it took 10 s+.
    Xvfb -displayfd 3 -noreset -screen 0 1280x1024x24 -nolisten tcp 3>"$XVFB_DIR/display" 2>"$XVFB_DIR/xvfb.log" &
    XVFB_PID=$!
    started_within 30 "xvfb.sh: the X server" "$XVFB_PID" "$XVFB_DIR/xvfb.log" xvfb_answers || return 1
    export DISPLAY=:$(tr -d '\n' <"$XVFB_DIR/display")
}
xvfb_answers() {
    [ -s "$XVFB_DIR/display" ] && DISPLAY=:$(tr -d '\n' <"$XVFB_DIR/display") xdotool getdisplaygeometry >/dev/null 2>&1
}
xvfb_stop() {
    end_pid "$XVFB_PID"
    [ -z "$XVFB_DIR" ] || rm -rf "$XVFB_DIR"
    XVFB_PID= XVFB_DIR=
}
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -euo pipefail
    xvfb_start
    "$@"
fi
