# The frame every shell test shares. Source it first; the helpers of the
# environments (xvfb.sh, pulse.sh, wm.sh, wine.sh, window.sh) bring it too:
#
#   source "$here/../lib/frame.sh"
#
#   $work                      a fresh folder of the script's own
#   on_exit CMD ARG...         runs at exit, the last registered first; the
#                              helpers register what they start
#   on_fail CMD ARG...         runs at exit before those, if the script failed
#                              (to show a log, say)
#   check NAME CMD ARG...      runs the command; if it fails, says
#                              "FAIL: NAME" and carries on (also under set -e)
#   fail MESSAGE               says "FAIL: MESSAGE" and ends the script
#   wait_until SECONDS CMD...  runs the command every 50 ms until it
#                              succeeds; after SECONDS (decimals allowed) says
#                              what it waited for and fails
#   started_within SECONDS NAME PID LOG CMD...
#                              waits for a server just started (NAME, its
#                              PID, its log) to be ready, as the command
#                              tells; fails with the log when it ends first
#                              or is not ready in time
#   end_pid PID...             ends processes the script started (SIGTERM,
#                              SIGKILL after 5 s) and waits for them
#
# At exit everything registered runs, the folder goes, and the script fails
# if any check did.

if [ -z "${FRAME_WORK:-}" ]; then
    work=$(mktemp -d)
    FRAME_WORK=$work
    FRAME_EXITS=()
    FRAME_FAILS=()
    FRAME_FAILED=0

    on_exit() { FRAME_EXITS+=("$(printf '%q ' "$@")"); }
    on_fail() { FRAME_FAILS+=("$(printf '%q ' "$@")"); }

    frame_exit() {
        local status=$? i
        set +e
        [ "$FRAME_FAILED" = 0 ] || [ "$status" != 0 ] || status=1
        if [ "$status" != 0 ]; then
            for i in "${FRAME_FAILS[@]}"; do
                eval "$i" >&2
            done
        fi
        for ((i = ${#FRAME_EXITS[@]} - 1; i >= 0; i--)); do
            eval "${FRAME_EXITS[i]}"
        done
        rm -rf "$FRAME_WORK"
        exit "$status"
    }
    trap frame_exit EXIT

    check() {
        local name=$1
        shift
        "$@" && return
        echo "FAIL: $name" >&2
        FRAME_FAILED=1
        return 0
    }

    fail() { echo "FAIL: $*" >&2; exit 1; }

    wait_until() {
        local limit=$1 whole=${1%%.*} fraction=000000000
        [ "$1" = "$whole" ] || fraction=${1#*.}000000000
        local deadline=$(($(date +%s%N) + whole * 1000000000 + 10#${fraction:0:9}))
        shift
        until "$@"; do
            if [ "$(date +%s%N)" -ge "$deadline" ]; then
                echo "gave up after $limit s waiting for: $*" >&2
                return 1
            fi
            sleep 0.05
        done
    }

    started_within() {
        local seconds=$1 name=$2 pid=$3 log=$4
        shift 4
        wait_until "$seconds" frame_ready_or_gone "$pid" "$@" && ! frame_ended "$pid" && return
        echo "$name did not start; its log:" >&2
        cat "$log" >&2
        return 1
    }

    frame_ready_or_gone() { frame_ended "$1" || "${@:2}"; }

    # A process that outlives SIGTERM by 5 s gets SIGKILL: a test never
    # hangs on what it started.
    end_pid() {
        local pid
        for pid in "$@"; do
            [ -n "$pid" ] || continue
            kill "$pid" 2>/dev/null || true
            wait_until 5 frame_ended "$pid" || kill -KILL "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
        done
        return 0
    }

    # Gone, or ended and not yet waited for.
    frame_ended() {
        case $(ps -o stat= -p "$1") in
        '' | Z*) return 0 ;;
        esac
        return 1
    }
fi
