# Driving the real Zorbel window under a private X server. Source after
# xvfb.sh; needs xdotool and ImageMagick.

ZORBEL_PID=
ZORBEL_WINDOW=
ZORBEL_STATUS=

# Starts the program ($1) with stderr into $2 and waits for its window.
zorbel_start() {
    "$1" 2>"$2" &
    ZORBEL_PID=$!
    ZORBEL_WINDOW=$(timeout 20 xdotool search --sync --onlyvisible --pid "$ZORBEL_PID" 2>/dev/null | head -n 1)
    if [ -z "$ZORBEL_WINDOW" ]; then
        echo "window.sh: no window appeared for $1; its stderr:" >&2
        cat "$2" >&2
        return 1
    fi
}

zorbel_title() {
    xdotool getwindowname "$ZORBEL_WINDOW" 2>/dev/null
}

# Waits up to $2 seconds for the title to read $1.
zorbel_wait_title() {
    local want=$1 tries=$(($2 * 20))
    until [ "$(zorbel_title)" = "$want" ]; do
        tries=$((tries - 1))
        if [ "$tries" -le 0 ]; then
            echo "window.sh: title is '$(zorbel_title)', expected '$want'" >&2
            return 1
        fi
        sleep 0.05
    done
}

zorbel_screenshot() {
    import -window "$ZORBEL_WINDOW" "png:$1"
}

# Waits up to $1 seconds for the program to end and sets ZORBEL_STATUS to its
# exit status. Call it in this shell, not in $(...): a subshell cannot wait
# for the program.
zorbel_wait_exit() {
    local tries=$(($1 * 20))
    while kill -0 "$ZORBEL_PID" 2>/dev/null; do
        tries=$((tries - 1))
        [ "$tries" -le 0 ] && return 1
        sleep 0.05
    done
    wait "$ZORBEL_PID"
    ZORBEL_STATUS=$?
    ZORBEL_PID=
}

zorbel_kill() {
    [ -n "$ZORBEL_PID" ] && kill "$ZORBEL_PID" 2>/dev/null
    ZORBEL_PID=
}
