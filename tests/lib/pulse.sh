# A private headless sound server with a null sink, PulseAudio or PipeWire
# with pipewire-pulse (what Debian's GNOME runs), and recordings of it:
#   pulse_start [pulseaudio|pipewire]         exports PULSE_SERVER and friends
#   pulse_record_start REC / pulse_record_stop   REC: s16le, mono, 44100 Hz
#   pulse_freeze / pulse_thaw                 stop and resume the server (its socket stays)
#   pulse_server_stop [SIGNAL] / pulse_server_start   end it as a crash would, start it
#                                             again with its saved state (stream volumes)
# Processes end by their PID, the servers keep everything under $work
# (frame.sh), and pactl calls have limits: a stuck server fails its step.

source "$(dirname "${BASH_SOURCE[0]}")/frame.sh"

PULSE_KIND= PULSE_DIR= PULSE_BUS= PULSE_BUS_PID= PULSE_KEEPALIVE_PID= PULSE_RECORD_PID=
PULSE_PID=           # the process that serves the PulseAudio protocol
PULSE_OTHER_PIDS=()  # PipeWire and WirePlumber under pipewire-pulse

pulse_start() {
    on_exit pulse_stop
    PULSE_KIND=${1:-pulseaudio}
    # One folder per start (a subshell may start a server beside this one's),
    # HOME and the XDG folders in it too, or the servers write into the real ones.
    PULSE_DIR=$(mktemp -d "$work/pulse.XXXX") || return 1
    mkdir -m700 "$PULSE_DIR/run" "$PULSE_DIR/state" "$PULSE_DIR/home"
    export XDG_RUNTIME_DIR=$PULSE_DIR/run XDG_STATE_HOME=$PULSE_DIR/state XDG_CONFIG_HOME=$PULSE_DIR/config
    export PULSE_RUNTIME_PATH=$PULSE_DIR/run/pulse PULSE_STATE_PATH=$PULSE_DIR/state/pulse
    export PULSE_SERVER=unix:$PULSE_DIR/run/pulse/native PULSE_COOKIE=$PULSE_DIR/state/cookie
    case "$PULSE_KIND" in
    pulseaudio) ;;
    pipewire)
        mkdir -p "$XDG_CONFIG_HOME/pipewire/pipewire.conf.d"
        cat >"$XDG_CONFIG_HOME/pipewire/pipewire.conf.d/10-null-sink.conf" <<'CONF'
context.objects = [ { factory = adapter args = { factory.name = support.null-audio-sink
    node.name = "nullsink" media.class = "Audio/Sink" audio.position = [ FL FR ] monitor.channel-volumes = true } } ]
CONF
        PULSE_BUS=unix:path=$PULSE_DIR/run/bus
        pulse_run dbus-daemon --session --nofork --nopidfile --address="$PULSE_BUS" 2>"$PULSE_DIR/dbus.log" &
        PULSE_BUS_PID=$!
        wait_until 5 test -S "$PULSE_DIR/run/bus" || { echo "pulse.sh: no session bus" >&2; return 1; }
        ;;
    *) echo "pulse.sh: unknown sound server '$PULSE_KIND'" >&2 && return 1 ;;
    esac
    pulse_server_start
}

# Starts the server (again) on the sockets and state of pulse_start.
pulse_server_start() {
    if [ "$PULSE_KIND" = pulseaudio ]; then
        # -n skips the default script, which would load suspend-on-idle.
        pulse_run pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
            -L "module-null-sink sink_name=nullsink rate=44100" \
            -L "module-native-protocol-unix auth-anonymous=1" \
            -L "module-stream-restore" \
            2>>"$PULSE_DIR/server.log" &
        PULSE_PID=$!
    else
        pulse_run pipewire 2>>"$PULSE_DIR/server.log" &
        PULSE_OTHER_PIDS=($!)
        wait_until 5 test -S "$PULSE_DIR/run/pipewire-0" || { pulse_server_failed; return 1; }
        pulse_run wireplumber 2>>"$PULSE_DIR/server.log" &
        PULSE_OTHER_PIDS+=($!)
        pulse_run pipewire-pulse 2>>"$PULSE_DIR/server.log" &
        PULSE_PID=$!
    fi
    wait_until 10 pulse_answers || { pulse_server_failed; return 1; }
    if [ "$PULSE_KIND" = pipewire ]; then
        # WirePlumber links new streams to the default sink once it has chosen one.
        wait_until 10 pulse_default_is_nullsink || { pulse_server_failed; return 1; }
    else
        # Without a running stream the null sink works in 2-second blocks, so
        # the recording stays empty and the first sound starts up to 2 s late.
        pacat --playback --raw --format=s16le --channels=1 --rate=44100 --latency-msec=10 /dev/zero &
        PULSE_KEEPALIVE_PID=$!
    fi
}

# Runs a server process as itself (for $!), with its own HOME and session bus.
pulse_run() {
    HOME=$PULSE_DIR/home DBUS_SESSION_BUS_ADDRESS=${PULSE_BUS:-${DBUS_SESSION_BUS_ADDRESS:-}} exec "$@"
}

pulse_answers() { timeout 5 pactl info >/dev/null 2>&1; }
pulse_default_is_nullsink() { [ "$(timeout 5 pactl get-default-sink 2>/dev/null)" = nullsink ]; }

pulse_server_failed() {
    echo "pulse.sh: the $PULSE_KIND server did not start; its log:" >&2
    cat "$PULSE_DIR/server.log" >&2
}

# Records the null sink's monitor into $1 and returns once samples flow: on
# PipeWire a fresh recording hands over a first block and may then stall
# while its stream settles, losing the start of a cue played at once.
pulse_record_start() {
    local file=$1 first
    : >"$file"
    parec -d nullsink.monitor --raw --format=s16le --channels=1 --rate=44100 --latency-msec=10 >"$file" &
    PULSE_RECORD_PID=$!
    if [ "$PULSE_KIND" = pulseaudio ]; then
        # Suspending and resuming makes the sink pick up the low latency the streams asked for.
        timeout 10 pactl suspend-sink nullsink 1 && timeout 10 pactl suspend-sink nullsink 0 || {
            echo "pulse.sh: the server did not suspend and resume its sink within 10 s" >&2
            return 1
        }
    fi
    wait_until 10 pulse_recorded "$file" 1 || { echo "pulse.sh: the recording stays empty" >&2 && return 1; }
    first=$(stat -c %s "$file")
    # A quarter of a second more than that first block.
    wait_until 10 pulse_recorded "$file" $((first + 22050)) ||
        { echo "pulse.sh: the recording does not go on after its first $first bytes" >&2 && return 1; }
}

# Whether recording $1 holds at least $2 bytes.
pulse_recorded() { [ "$(stat -c %s "$1" 2>/dev/null || echo 0)" -ge "$2" ]; }

pulse_record_stop() { end_pid "$PULSE_RECORD_PID" && PULSE_RECORD_PID=; }

pulse_freeze() { kill -STOP "$PULSE_PID"; }
pulse_thaw() { kill -CONT "$PULSE_PID"; }

# Leaves the socket file and the saved state; $1 is the signal the main
# process gets first (KILL, say).
pulse_server_stop() {
    # Runs from EXIT traps too: nothing here may end a `set -e` script early.
    local - pid
    set +e
    [ -n "${1:-}" ] && [ -n "$PULSE_PID" ] && kill -"$1" "$PULSE_PID" 2>/dev/null
    pulse_record_stop
    for pid in "$PULSE_KEEPALIVE_PID" "$PULSE_PID" "${PULSE_OTHER_PIDS[@]}"; do
        kill -CONT "$pid" 2>/dev/null
        end_pid "$pid"
    done
    PULSE_KEEPALIVE_PID= PULSE_PID= PULSE_OTHER_PIDS=()
}

# Stops everything pulse_start and pulse_record_start began; safe to call twice.
pulse_stop() {
    local -
    set +e
    pulse_server_stop
    end_pid "$PULSE_BUS_PID"
    [ -z "$PULSE_DIR" ] || rm -rf "$PULSE_DIR"
    PULSE_BUS_PID= PULSE_BUS= PULSE_DIR=
}
