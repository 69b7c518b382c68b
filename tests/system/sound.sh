# Shared by the system tests: a private PulseAudio with a null sink whose monitor can be
# recorded. Source after desktop.sh (it uses XDG_RUNTIME_DIR set by start_desktop).

sound_pids=()

start_sound() {
    local dir=$1
    pulseaudio -D -n --exit-idle-time=-1 --disallow-exit --use-pid-file=yes \
        --log-target=file:"$dir/pulse.log" \
        --load="module-native-protocol-unix auth-anonymous=1" \
        --load="module-null-sink sink_name=test_sink" >"$dir/pulse.out" 2>&1 || return 1
    wait_until 5 pactl info || { echo "pulseaudio did not start"; return 1; }
    sound_pids+=("$(cat "$XDG_RUNTIME_DIR/pulse/pid")")
    pactl set-default-sink test_sink
    # A low-latency reader keeps the null sink's latency low, so recordings follow playback.
    pacat -r --latency-msec=20 -d test_sink.monitor >/dev/null 2>&1 &
    sound_pids+=($!)
    wait_until 5 eval "pactl list sinks | awk '/Latency/{exit !(\$2 < 100000)}'"
}

stop_sound() {
    local pid
    for pid in "${sound_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    sound_pids=()
}

# Records the sink's monitor for the given seconds into a WAV file.
record() {
    local file=$1 seconds=$2
    timeout "$seconds" parecord --latency-msec=20 -d test_sink.monitor --file-format=wav "$file" \
        2>/dev/null || true
}

# RMS amplitude of a recording (0 for silence).
rms() {
    sox "$1" -n stat 2>&1 | awk '/RMS +amplitude/{print $3}'
}

# True when the recording holds sound clearly above silence.
loud() {
    awk -v v="$(rms "$1")" 'BEGIN{exit !(v > 0.01)}'
}

# True when the recording is silent.
quiet() {
    awk -v v="$(rms "$1")" 'BEGIN{exit !(v < 0.001)}'
}

# Records SECONDS of the sink after letting what is already queued in it drain for 0.3 s:
# the first 0.3 s of the recording are cut off.
record_after_drain() {
    local file=$1 seconds=$2
    record "$file.full.wav" "$(awk -v s="$seconds" 'BEGIN{print s + 0.3}')"
    sox "$file.full.wav" "$file" trim 0.3
}
