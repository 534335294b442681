# The frame every end-to-end script shares. Source it first, then the helpers
# of the other environments the script needs (pulse.sh, wm.sh, wine.sh); it
# brings xvfb.sh and window.sh itself:
#
#   source "$here/../lib/e2e.sh"
#   source "$here/../lib/pulse.sh"
#
# It makes the work folder $work and, at exit, ends the program and every
# server a helper started, then removes the folder. fail MESSAGE ends the
# script; a script that has more to say on failure defines its own.

E2E_LIB=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$E2E_LIB/xvfb.sh"
source "$E2E_LIB/window.sh"

work=$(mktemp -d)

e2e_cleanup() {
    zorbel_kill
    local stop
    for stop in wine_stop wm_stop pulse_stop xvfb_stop; do
        if declare -F "$stop" >/dev/null; then "$stop"; fi
    done
    rm -rf "$work"
}
trap e2e_cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
