# A private headless PulseAudio server with a null sink, and a recording of
# what it plays. Source this file, then:
#
#   trap pulse_stop EXIT
#   pulse_start                  # exports PULSE_SERVER and friends
#   pulse_record_start rec.raw   # s16le, mono, 44100 Hz
#   ... run the program ...
#   pulse_record_stop
#
# Every process is started here and stopped by its PID; nothing is left in the
# real home or runtime folders. Needs pulseaudio and pulseaudio-utils.

PULSE_DIR=
PULSE_PID=
PULSE_KEEPALIVE_PID=
PULSE_RECORD_PID=

# Waits until the command succeeds, for at most $1 tenths of a second.
pulse_wait_for() {
    local tenths=$1
    shift
    local tries=$((tenths * 10))
    until "$@"; do
        tries=$((tries - 1))
        if [ "$tries" -le 0 ]; then
            return 1
        fi
        sleep 0.01
    done
}

pulse_start() {
    PULSE_DIR=$(mktemp -d) || return 1
    mkdir -m700 "$PULSE_DIR/run" "$PULSE_DIR/state" "$PULSE_DIR/xdg"
    export PULSE_RUNTIME_PATH=$PULSE_DIR/run
    export PULSE_STATE_PATH=$PULSE_DIR/state
    export PULSE_SERVER=unix:$PULSE_DIR/run/native
    export PULSE_COOKIE=$PULSE_DIR/state/cookie
    export XDG_RUNTIME_DIR=$PULSE_DIR/xdg

    # HOME points into the temp folder too, or the server writes into the real one.
    # -n skips the default script, which would load suspend-on-idle.
    HOME=$PULSE_DIR pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
        -L "module-null-sink sink_name=nullsink rate=44100" \
        -L "module-native-protocol-unix auth-anonymous=1" \
        2>"$PULSE_DIR/pa.log" &
    PULSE_PID=$!
    if ! pulse_wait_for 100 pactl info >/dev/null 2>&1; then
        echo "pulse.sh: the sound server did not start; its log:" >&2
        cat "$PULSE_DIR/pa.log" >&2
        return 1
    fi

    # Without a running stream the null sink works in 2-second blocks, so the
    # recording stays empty and the first sound starts up to 2 s late.
    pacat --playback --raw --format=s16le --channels=1 --rate=44100 --latency-msec=10 /dev/zero &
    PULSE_KEEPALIVE_PID=$!
}

# Records the null sink's monitor into $1 (raw s16le, mono, 44100 Hz) and
# returns once the first samples have arrived.
pulse_record_start() {
    local file=$1
    : >"$file"
    parec -d nullsink.monitor --raw --format=s16le --channels=1 --rate=44100 --latency-msec=10 >"$file" &
    PULSE_RECORD_PID=$!
    # Suspending and resuming makes the sink pick up the low latency the streams asked for.
    pactl suspend-sink nullsink 1 && pactl suspend-sink nullsink 0 || return 1
    if ! pulse_wait_for 100 test -s "$file"; then
        echo "pulse.sh: the recording stays empty" >&2
        return 1
    fi
}

pulse_record_stop() {
    if [ -n "$PULSE_RECORD_PID" ]; then
        kill "$PULSE_RECORD_PID" 2>/dev/null
        wait "$PULSE_RECORD_PID" 2>/dev/null
        PULSE_RECORD_PID=
    fi
}

# A frozen server: its socket still accepts connections, nothing answers.
pulse_freeze() {
    kill -STOP "$PULSE_PID"
}

pulse_thaw() {
    kill -CONT "$PULSE_PID"
}

# Stops everything pulse_start and pulse_record_start began; safe to call twice.
pulse_stop() {
    pulse_record_stop
    if [ -n "$PULSE_KEEPALIVE_PID" ]; then
        kill "$PULSE_KEEPALIVE_PID" 2>/dev/null
        wait "$PULSE_KEEPALIVE_PID" 2>/dev/null
        PULSE_KEEPALIVE_PID=
    fi
    if [ -n "$PULSE_PID" ]; then
        kill -CONT "$PULSE_PID" 2>/dev/null
        kill "$PULSE_PID" 2>/dev/null
        wait "$PULSE_PID" 2>/dev/null
        PULSE_PID=
    fi
    if [ -n "$PULSE_DIR" ]; then
        rm -rf "$PULSE_DIR"
        PULSE_DIR=
    fi
}
