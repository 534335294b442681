# A window manager on the private X server, as on a real desktop. Source
# after xvfb.sh (once xvfb_start has run), then:
#
#   wm_start i3        # a tiling manager: one window fills the screen
#   wm_start openbox   # a stacking manager, told to maximise every window
#   wm_hide WINDOW     # takes the window off the screen the manager's way
#   wm_show WINDOW     # and brings it back, focused
#
# Each manager gets a minimal configuration of its own in the test's folder
# and a HOME there, so nothing is read from or written to the real home.
# Needs i3-wm and openbox.

WM_DIR=
WM_PID=
WM_NAME=

wm_start() {
    on_exit wm_stop
    WM_NAME=$1
    WM_DIR=$work/wm
    mkdir -p "$WM_DIR" || return 1
    case "$WM_NAME" in
    i3)
        cat >"$WM_DIR/config" <<CONF
# i3 config file (v4)
ipc-socket $WM_DIR/ipc
focus_follows_mouse no
CONF
        HOME=$WM_DIR i3 -c "$WM_DIR/config" --shmlog-size=0 >"$WM_DIR/wm.log" 2>&1 &
        ;;
    openbox)
        cat >"$WM_DIR/rc.xml" <<'CONF'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <desktops><number>2</number></desktops>
  <applications><application class="*"><maximized>yes</maximized></application></applications>
</openbox_config>
CONF
        HOME=$WM_DIR XDG_CONFIG_HOME=$WM_DIR XDG_CACHE_HOME=$WM_DIR \
            openbox --sm-disable --config-file "$WM_DIR/rc.xml" >"$WM_DIR/wm.log" 2>&1 &
        ;;
    *)
        echo "wm.sh: no window manager called '$WM_NAME'" >&2
        return 1
        ;;
    esac
    WM_PID=$!
    started_within 10 "wm.sh: $WM_NAME" "$WM_PID" "$WM_DIR/wm.log" wm_announced
}

# A manager announces itself on the root window once it manages the screen.
wm_announced() {
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}

# i3 has no minimised windows: its way off the screen is another workspace.
wm_hide() {
    case "$WM_NAME" in
    i3) i3-msg -s "$WM_DIR/ipc" workspace 2 >/dev/null ;;
    openbox) xdotool windowminimize --sync "$1" 2>/dev/null ;;
    esac
}

wm_show() {
    case "$WM_NAME" in
    i3) i3-msg -s "$WM_DIR/ipc" workspace 1 >/dev/null ;;
    openbox) xdotool windowactivate --sync "$1" 2>/dev/null ;;
    esac
}

wm_stop() {
    end_pid "$WM_PID"
    WM_PID=
    [ -z "$WM_DIR" ] || rm -rf "$WM_DIR"
    WM_DIR=
}
