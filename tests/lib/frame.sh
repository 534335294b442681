# The frame every shell test shares; the environment helpers source it too.
#   $work                     a fresh folder, removed at exit
#   on_exit CMD... / on_fail CMD...   run at exit (last first) / before that if the script failed
#   check NAME CMD...         runs CMD; on failure says "FAIL: NAME", carries on, fails the script at exit
#   fail MESSAGE              says "FAIL: MESSAGE" and ends the script
#   wait_until SECONDS CMD... retries CMD every 50 ms; when SECONDS run out, says what it waited for, fails
#   started_within SECONDS NAME PID LOG CMD...  a server just started is ready (CMD) in time, or its log is shown
#   end_pid PID...            SIGTERM, SIGKILL after 5 s, and waits: a test never hangs on what it started
if [ -z "${FRAME_WORK:-}" ]; then
    work=$(mktemp -d)
    FRAME_WORK=$work FRAME_FAILED=0 FRAME_EXITS=() FRAME_FAILS=()
    on_exit() { FRAME_EXITS+=("$(printf '%q ' "$@")"); }
    on_fail() { FRAME_FAILS+=("$(printf '%q ' "$@")"); }
    frame_exit() {
        local status=$? i
        set +e
        [ "$FRAME_FAILED" = 0 ] || [ "$status" != 0 ] || status=1
        [ "$status" = 0 ] || for i in "${FRAME_FAILS[@]}"; do eval "$i" >&2; done
        for ((i = ${#FRAME_EXITS[@]} - 1; i >= 0; i--)); do eval "${FRAME_EXITS[i]}"; done
        rm -rf "$FRAME_WORK"
        exit "$status"
    }
    trap frame_exit EXIT
    check() { "${@:2}" || { echo "FAIL: $1" >&2 && FRAME_FAILED=1; }; }
    fail() { echo "FAIL: $*" >&2; exit 1; }
    wait_until() {
        local deadline=$(($(date +%s%N) + $(awk -v s="$1" 'BEGIN { printf "%.0f", s * 1e9 }')))
        until "${@:2}"; do
            [ "$(date +%s%N)" -lt "$deadline" ] || { echo "gave up after $1 s waiting for: ${*:2}" >&2 && return 1; }
            sleep 0.05
        done
    }
    started_within() {
        wait_until "$1" frame_ready_or_gone "$3" "${@:5}" && ! frame_ended "$3" && return
        echo "$2 did not start; its log:" >&2
        cat "$4" >&2
        return 1
    }
    frame_ready_or_gone() { frame_ended "$1" || "${@:2}"; }
    end_pid() {
        local pid
        for pid in "$@"; do
            [ -n "$pid" ] || continue
            kill "$pid" 2>/dev/null || true
            wait_until 5 frame_ended "$pid" || kill -KILL "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
        done
    }
    # Gone, or a zombie not yet waited for.
    frame_ended() { case $(ps -o stat= -p "$1") in '' | Z*) return 0 ;; esac && return 1; }
fi
