#!/usr/bin/env bash
# The real sound output against a real sound server: a private PulseAudio with a null sink
# becomes ALSA's default device, parec records the sink's monitor, and the tone program
# plays through start_audio(). Checks the tone's pitch and timing, exact silence when
# muted, the same sample on both channels, a thread that does not spin, and the quiet
# fallback when ALSA has no usable default device.
# $1: the pyrelle binary, $2 the folder of the helper programs; the tone program is
# $PYRELLE_TONE (set by CTest), else the one in $2.
set -euo pipefail

tone="${PYRELLE_TONE:-$2/play_tone}"
if [ ! -x "$tone" ]; then
    echo "audio_test: tone program not found at $tone" >&2
    exit 1
fi

work="$(mktemp -d)"
pulse_pid=""
parec_pid=""
cleanup() {
    [ -n "$pulse_pid" ] && kill -CONT "$pulse_pid" 2>/dev/null || true
    [ -n "$parec_pid" ] && kill "$parec_pid" 2>/dev/null || true
    [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null || true
    [ -n "$pulse_pid" ] && wait "$pulse_pid" 2>/dev/null || true
    [ -n "${AUDIO_TEST_KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

export HOME="$work/home"
export XDG_RUNTIME_DIR="$work/run"
export XDG_CONFIG_HOME="$work/config"
export PULSE_RUNTIME_PATH="$XDG_RUNTIME_DIR/pulse"
mkdir -p "$HOME" "$XDG_CONFIG_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset PULSE_SERVER ALSA_CONFIG_PATH

cat > "$work/default.pa" <<'PA'
load-module module-native-protocol-unix
load-module module-null-sink sink_name=testsink rate=48000 channels=2
set-default-sink testsink
PA
# ALSA's default device goes to the sound server.
cat > "$HOME/.asoundrc" <<'ASOUND'
pcm.!default { type pulse }
ctl.!default { type pulse }
ASOUND

start_pulse() {
    pulseaudio -n -F "$work/default.pa" --daemonize=no --system=false --exit-idle-time=-1 \
        --disallow-exit --use-pid-file=no --log-target=file:"$work/pulse.log" &
    pulse_pid=$!
    for _ in $(seq 100); do
        pactl info >/dev/null 2>&1 && break
        sleep 0.1
    done
    pactl info >/dev/null || { echo "audio_test: the sound server did not start" >&2; cat "$work/pulse.log" >&2; exit 1; }
}

# Waits until the recording $1 has grown by $2 bytes (48 000 frames of 4 bytes a second).
record_more() {  # file bytes
    local want=$(($(stat -c %s "$1") + $2))
    for _ in $(seq 300); do
        [ "$(stat -c %s "$1")" -ge "$want" ] && return 0
        sleep 0.1
    done
    echo "audio_test: parec records nothing" >&2
    exit 1
}

start_recording() {  # file
    parec --device=testsink.monitor --format=s16le --rate=48000 --channels=2 --raw \
        --latency-msec=10 --process-time-msec=10 >"$1" &
    parec_pid=$!
    # parec takes a moment to connect; what is tested starts once the recording flows.
    record_more "$1" 1
    record_more "$1" 9600
}

stop_recording() {
    kill "$parec_pid"
    wait "$parec_pid" 2>/dev/null || true
    parec_pid=""
}

start_pulse
start_recording "$work/rec.raw"

"$tone" play >"$work/play.out" 2>"$work/play.err"
record_more "$work/rec.raw" 57600  # 0.3 s past the program's end
stop_recording

cat "$work/play.out"
if [ -s "$work/play.err" ]; then
    echo "audio_test: unexpected messages on standard error:" >&2
    cat "$work/play.err" >&2
    exit 1
fi
value() { awk -v k="$1" '$1 == k { print $2 }' "${2:-$work/play.out}"; }
# Rendering 48 000 samples a second costs a few per cent; a spinning thread costs all of it.
no_spin() {
    awk -v c="$(value cpu_ms "$1")" -v w="$(value wall_ms "$1")" 'BEGIN {
        if (c > 0.5 * w) { print "audio_test: the playback thread spins (" c " ms of CPU in " w " ms)"; exit 1 }
    }'
}
no_spin "$work/play.out"

"$tone" analyse "$work/rec.raw" "$(value tone_ms)" "$(value mute_ms)" 48000

# A device that never blocks (ALSA's null device) must not make the thread spin either.
cat > "$work/null.conf" <<'ALSA'
pcm.!default { type null }
ALSA
ALSA_CONFIG_PATH="$work/null.conf" "$tone" play >"$work/null.out" 2>"$work/null.err"
if [ -s "$work/null.err" ]; then
    echo "audio_test: unexpected messages with the null device:" >&2
    cat "$work/null.err" >&2
    exit 1
fi
no_spin "$work/null.out"

# No usable default device: one message, then the game goes on silently.
cat > "$work/no-default.conf" <<'ALSA'
pcm.nothing { type null }
ALSA
ALSA_CONFIG_PATH="$work/no-default.conf" "$tone" silent >"$work/silent.out" 2>"$work/silent.err"
cat "$work/silent.out"
expected="son désactivé : aucune sortie audio"
if [ "$(cat "$work/silent.err")" != "$expected" ]; then
    echo "audio_test: want exactly \"$expected\" on standard error, got:" >&2
    cat "$work/silent.err" >&2
    exit 1
fi
# The sound server restarts (killed, then started again): sound comes back on its own, after
# one message.
# Every wait has a deadline, not a length: a loaded machine takes longer, never fails.
"$tone" beeps 60 >"$work/beeps.out" 2>"$work/beeps.err" &
beeps_pid=$!
start_recording "$work/before.raw"
heard_within() {  # recording seconds: records until the beeps are heard in it
    local deadline=$((SECONDS + $2))
    while [ "$SECONDS" -lt "$deadline" ]; do
        record_more "$1" 48000
        "$tone" heard "$1" >/dev/null && return 0
    done
    return 1
}
heard_within "$work/before.raw" 30 || { echo "audio_test: no beeps before the restart" >&2; exit 1; }
stop_recording
kill -KILL "$pulse_pid"
wait "$pulse_pid" 2>/dev/null || true
start_pulse
start_recording "$work/back.raw"
heard_within "$work/back.raw" 30 ||
    { echo "audio_test: no sound after the server restarted" >&2; exit 1; }
stop_recording
kill -TERM "$beeps_pid" 2>/dev/null || true  # (a background job ignores SIGINT)
wait "$beeps_pid" 2>/dev/null || true
if [ "$(grep -c '^erreur audio : ' "$work/beeps.err")" != 1 ] || [ "$(wc -l <"$work/beeps.err")" != 1 ]; then
    echo "audio_test: want one \"erreur audio\" line when the server goes away, got:" >&2
    cat "$work/beeps.err" >&2
    exit 1
fi

# A sound server that stops answering must not keep a closed game alive.
source "$(dirname "$0")/lib.sh"
export ASAN_OPTIONS=detect_leaks=0  # allocations the windowing libraries keep until exit
start_xvfb
trap 'cleanup; kill "$XVFB_PID" 2>/dev/null || true' EXIT
"$1" --seed 1 2>"$work/game.err" &
game_pid=$!
win=$(wait_window Pyrelle) || {
    echo "audio_test: no game window ($(kill -0 "$game_pid" 2>/dev/null && echo running || echo ended); stderr: $(cat "$work/game.err"))" >&2
    exit 1
}
sleep 1
kill -STOP "$pulse_pid"
sleep 0.5
closed_at=$(date +%s%N)
"$2/wm_close" "$win"
if ! wait_exit "$game_pid" 10; then
    kill -CONT "$pulse_pid"
    echo "audio_test: the game closed with a hung sound server does not end" >&2
    exit 1
fi
exit_ms=$(( ($(date +%s%N) - closed_at) / 1000000 ))
kill -CONT "$pulse_pid"
echo "game ended ${exit_ms} ms after the close request, sound server stopped"
wait "$game_pid" && status=0 || status=$?
[ "$status" = 0 ] || { echo "audio_test: status $status after closing" >&2; cat "$work/game.err" >&2; exit 1; }

# A sound server that does not answer when the game starts must not hold its window back
# (ALSA's pulse plugin waits about 30 s on it): the sound thread opens the device.
kill -STOP "$pulse_pid"
started_at=$(date +%s%N)
"$1" --seed 1 2>"$work/hung.err" &
game_pid=$!
win=$(wait_window Pyrelle) || {
    kill -CONT "$pulse_pid"
    echo "audio_test: no game window while the sound server hangs ($(cat "$work/hung.err"))" >&2
    exit 1
}
window_ms=$(( ($(date +%s%N) - started_at) / 1000000 ))
echo "game window shown ${window_ms} ms after start, sound server stopped"
"$2/wm_close" "$win"
wait_exit "$game_pid" 3 && ended=1 || ended=0
kill -CONT "$pulse_pid"
[ "$ended" = 1 ] || { echo "audio_test: the game started with a hung sound server does not end" >&2; exit 1; }
[ "$window_ms" -le 15000 ] || { echo "audio_test: the window took ${window_ms} ms to come" >&2; exit 1; }
echo "audio_test: ok"
