# A private X server for end-to-end tests. Source this file, then:
#
#   trap xvfb_stop EXIT
#   xvfb_start          # exports DISPLAY, XDG_RUNTIME_DIR and DBUS_SESSION_BUS_ADDRESS
#
# Or run it: `bash xvfb.sh PROGRAM ARGS...` runs one program under a private
# X server and exits with its status.
#
# No window manager runs, so windows map at the size they ask for. Needs xvfb.

XVFB_DIR=
XVFB_PID=

xvfb_start() {
    XVFB_DIR=$(mktemp -d) || return 1
    mkdir -m700 "$XVFB_DIR/xdg"
    # Qt warns at start without a private runtime folder.
    export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$XVFB_DIR/xdg}
    # Without a session bus address, libdbus forks to run dbus-launch as Qt
    # starts; a fork in a threaded sanitizer build can hang before its exec.
    # An address with nothing behind it means no session bus, at once.
    export DBUS_SESSION_BUS_ADDRESS=${DBUS_SESSION_BUS_ADDRESS:-unix:path=$XVFB_DIR/no-session-bus}

    # -displayfd picks a free display number and writes it once the server
    # accepts connections, so parallel tests never collide.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$XVFB_DIR/display" 2>"$XVFB_DIR/xvfb.log" &
    XVFB_PID=$!
    server_wait_started "xvfb.sh: the X server" "$XVFB_PID" "$XVFB_DIR/xvfb.log" test -s "$XVFB_DIR/display" || return 1
    export DISPLAY=:$(tr -d '\n' <"$XVFB_DIR/display")
}

# Waits up to 5 s for the command after the first three arguments to succeed:
# the sign that a server just started (named $1, its PID $2, its log $3) is
# ready. Returns 1 with the log on stderr when it ended or never got ready.
server_wait_started() {
    local name=$1 pid=$2 log=$3 tries=500
    shift 3
    until "$@"; do
        tries=$((tries - 1))
        if [ "$tries" -le 0 ] || ! kill -0 "$pid" 2>/dev/null; then
            echo "$name did not start; its log:" >&2
            cat "$log" >&2
            return 1
        fi
        sleep 0.01
    done
}

xvfb_stop() {
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
        XVFB_PID=
    fi
    [ -n "$XVFB_DIR" ] && rm -rf "$XVFB_DIR"
    XVFB_DIR=
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    trap xvfb_stop EXIT
    xvfb_start || exit 1
    "$@"
    exit
fi
