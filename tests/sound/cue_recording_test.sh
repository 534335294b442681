#!/usr/bin/env bash
# Plays the startup drop's cues through a private sound server and judges the
# recording (count_cues.py --judge): the cues in order, each at once and whole
# unless the next cuts it, the caller never held up, no wake-ups once idle.
# Also: one connection and one stream, listed under the program's desktop
# names, with a volume set for it back at the next start; and cues play again
# once a server that went away is back.
#
#   cue_recording_test.sh CUE_PLAYER_DRIVER pulseaudio|pipewire
set -euo pipefail

driver=$1 server=$2 here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/frame.sh"
source "$here/../lib/pulse.sh"

# The cues heard in recording $1, e.g. "R B B".
heard() { python3 "$here/count_cues.py" "$1" | head -n1; }

pulse_start "$server"
pulse_record_start "$work/recording.raw"
status=0 watch=()
for pid in "$PULSE_PID" "${PULSE_OTHER_PIDS[@]}"; do watch+=(--watch "$pid"); done
timeout 60 "$driver" play startup --rec-file "$work/recording.raw" --idle-check 2000 "${watch[@]}" \
    >"$work/driver.out" 2>"$work/driver.err" || status=$?
pulse_record_stop
cat "$work/driver.out" "$work/driver.err"
check "the driver exited with status $status" [ "$status" -eq 0 ]
check "the startup drop's cues (above)" python3 "$here/count_cues.py" "$work/recording.raw" --judge "$work/driver.out" "$work/driver.err"

# A short cue as the very first one sounds too, whole.
pulse_record_start "$work/bounce-first.raw"
timeout 30 "$driver" play 102@0,102@300 >"$work/bounce-first.out"
pulse_record_stop
bounce_first=$(heard "$work/bounce-first.raw")
# Asked for within 8 ms, as a driver held up past the first cue's moment
# does, the second replaces the first before it could be heard.
apart=$(awk '/^play / { at[n++] = $4 } END { printf "%d", at[1] - at[0] }' "$work/bounce-first.out")
echo "bounce cues first, asked $apart ms apart: $bounce_first"
[ "$apart" -ge 8 ] || [ "$bounce_first" != B ] || bounce_first="B B"
check "two bounce cues as the first cues were heard as \"$bounce_first\"" [ "$bounce_first" = "B B" ]

# The driver playing each cue written to it ($run names the run). A keeper
# holds the pipe open for reading and writing until driver_end, so opening it
# never waits, the driver never sees its end between cues, and a cue written
# after the driver is gone cannot wait for a reader.
driver_start() {
    fifo=$work/cues.$run
    mkfifo "$fifo"
    sleep infinity 3<>"$fifo" &
    keeper=$!
    on_exit end_pid "$keeper"
    wait_until 5 keeper_holds_pipe || fail "$run: the pipe's keeper did not open it in 5 s"
    "$driver" play - <"$fifo" >"$work/$run.out" 2>"$work/$run.err" &
    driver_pid=$!
    on_exit end_pid "$driver_pid"
}
keeper_holds_pipe() { [ "$(readlink "/proc/$keeper/fd/3")" = "$fifo" ]; }
cue() {
    timeout 5 bash -c 'echo "$1" >"$2"' cue "$1" "$fifo" || fail "$run: cue $1 not written into the driver's pipe in 5 s"
}
driver_end() {
    end_pid "$keeper"
    wait_until 10 frame_ended "$driver_pid" || fail "$run: the driver did not exit within 10 s of the end of its cues"
    local status=0
    wait "$driver_pid" || status=$?
    cat "$work/$run.out" "$work/$run.err"
    check "$run: the driver exited with status $status" [ "$status" = 0 ]
}
# What the mixer lists of the driver: $1 is clients or sink-inputs, and a
# stream is printed as "INDEX VOLUME NAMES...".
driver_listed() {
    timeout 10 pactl --format=json list "$1" | python3 -c '
import json, sys
for item in json.load(sys.stdin):
    p = item["properties"]
    if p.get("application.process.id") == sys.argv[1]:
        volume = next(iter(item.get("volume", {"": {"value_percent": "-"}}).values()))["value_percent"]
        print(item["index"], volume, *(p.get(key) for key in ("application.name", "application.id", "application.icon_name", "media.role")))
' "$driver_pid"
}
stream_listed() { [ -n "$(driver_listed sink-inputs)" ]; }

# The server goes away with the stream playing and comes back on the same
# socket: the cue without it stays silent, the next ones play.
run=server-restarted
driver_start
cue 103
sleep 0.5
pulse_server_stop
cue 102
sleep 1
pulse_server_start
pulse_record_start "$work/restarted.raw"
# The next cue looks for the server again and waits for the new connection,
# which a busy machine may hold up past the 2 s a cue may wait: then that cue
# alone is dropped. The cues after it find the stream there and play at once.
asked=$(date +%s%N)
cue 103
wait_until 10 stream_listed || fail "$run: the driver's stream was not back within 10 s of a cue"
reconnected_ms=$((($(date +%s%N) - asked) / 1000000))
cue 102
sleep 0.4
cue 102
sleep 0.4
driver_end
pulse_record_stop
after_restart=$(heard "$work/restarted.raw")
echo "after the server came back ($reconnected_ms ms to reconnect): $after_restart"
[ "$reconnected_ms" -lt 1500 ] || [ "$after_restart" != "B B" ] || after_restart="R B B"
check "after the server came back, heard \"$after_restart\", not R B B" [ "$after_restart" = "R B B" ]
check "more than one warning line" [ "$(wc -l <"$work/$run.err")" -le 1 ]

# One connection and one stream for all the cues, which the mixer shows
# under the program's desktop names and keeps a volume set for, for the next start.
for run in volume-set volume-restored; do
    driver_start
    cue 102
    wait_until 5 stream_listed || true
    cue 103
    sleep 0.1
    cue 102
    streams=$(driver_listed sink-inputs)
    clients=$(driver_listed clients | wc -l)
    check "the driver holds $clients connections with these streams: $streams" \
        [ "$(wc -l <<<"$streams") $clients" = "1 1" ]
    read -r index volume names <<<"$streams"
    echo "$run: stream listed at $volume as $names"
    check "the stream is listed as \"$names\"" [ "$names" = "Zorbel org.zorbel.Zorbel org.zorbel.Zorbel game" ]
    if [ "$run" = volume-set ]; then
        timeout 10 pactl set-sink-input-volume "$index" 40%
    else
        check "the next start played at $volume, not at the 40% set before" [ "$volume" = 40% ]
    fi
    driver_end
done
