# A private X server for end-to-end tests. Source this file, then:
#
#   xvfb_start          # exports DISPLAY, XDG_RUNTIME_DIR and DBUS_SESSION_BUS_ADDRESS
#
# Or run it: `bash xvfb.sh PROGRAM ARGS...` runs one program under a private
# X server and exits with its status.
#
# No window manager runs, so windows map at the size they ask for. Needs xvfb
# and xdotool.

source "$(dirname "${BASH_SOURCE[0]}")/frame.sh"

XVFB_DIR=
XVFB_PID=

xvfb_start() {
    on_exit xvfb_stop
    XVFB_DIR=$work/xvfb
    mkdir -p "$XVFB_DIR" && mkdir -m700 "$XVFB_DIR/xdg" || return 1
    # Qt warns at start without a private runtime folder.
    export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$XVFB_DIR/xdg}
    # Without a session bus address, libdbus forks to run dbus-launch as Qt
    # starts; a fork in a threaded sanitizer build can hang before its exec.
    # An address with nothing behind it means no session bus, at once.
    export DBUS_SESSION_BUS_ADDRESS=${DBUS_SESSION_BUS_ADDRESS:-unix:path=$XVFB_DIR/no-session-bus}

    # -displayfd picks a free display number and writes it once the server
    # accepts connections, so parallel tests never collide. -noreset: by
    # default the server resets when its last client leaves (the readiness
    # probe below is one), and a client connecting during that reset is
    # dropped unanswered ("Cannot open display").
    Xvfb -displayfd 3 -noreset -screen 0 1280x1024x24 -nolisten tcp 3>"$XVFB_DIR/display" 2>"$XVFB_DIR/xvfb.log" &
    XVFB_PID=$!
    started_within 10 "xvfb.sh: the X server" "$XVFB_PID" "$XVFB_DIR/xvfb.log" xvfb_answers || return 1
    export DISPLAY=:$(tr -d '\n' <"$XVFB_DIR/display")
}

# Once the server has written its number, a client gets an answer from it.
xvfb_answers() {
    [ -s "$XVFB_DIR/display" ] && DISPLAY=:$(tr -d '\n' <"$XVFB_DIR/display") xdotool getdisplaygeometry >/dev/null 2>&1
}

xvfb_stop() {
    end_pid "$XVFB_PID"
    XVFB_PID=
    [ -z "$XVFB_DIR" ] || rm -rf "$XVFB_DIR"
    XVFB_DIR=
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -euo pipefail
    xvfb_start
    "$@"
fi
