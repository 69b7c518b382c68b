# The machine around Breezel for the sleep and network journeys and benches: a private system
# bus with logind and NetworkManager mocked by python3-dbusmock, and a proxy that can freeze
# the links made through it. Source it after desktop.sh, then:
#   scene_start DIR PORT       the bus (exported as DBUS_SYSTEM_BUS_ADDRESS), the mocks (the
#                              network up on link 1) and the proxy in front of 127.0.0.1:PORT
#                              (its port in SCENE_PORT); stopped with the desktop
#   scene_sleep / scene_wake   logind's PrepareForSleep(true) / (false)
#   scene_network STATE [LINK] NetworkManager's State (20 disconnected, 70 connected) and, with
#                              LINK, its PrimaryConnection (.../ActiveConnection/LINK) first
#   scene_freeze               every link open through the proxy stops forwarding, unclosed
#   scene_accepted             how many connections the proxy accepted so far
#   scene_lock_held            whether Breezel holds a delay lock on sleep

scene_start() {
    local dir=$1 port=$2
    mkdir -p "$dir"
    dbus-daemon --session --fork --nopidfile --print-address=1 --print-pid=1 \
        --address="unix:tmpdir=$dir" >"$dir/bus.out" 2>"$dir/bus.log" || return 1
    export DBUS_SYSTEM_BUS_ADDRESS=$(sed -n 1p "$dir/bus.out")
    desktop_pids+=("$(sed -n 2p "$dir/bus.out")")
    /usr/bin/python3 -m dbusmock --system --template logind >"$dir/logind.log" 2>&1 &
    desktop_pids+=($!)
    /usr/bin/python3 -m dbusmock --system --template networkmanager >"$dir/nm.log" 2>&1 &
    desktop_pids+=($!)
    wait_until 10 scene_owned org.freedesktop.login1 &&
        wait_until 10 scene_owned org.freedesktop.NetworkManager ||
        { echo "the mocks did not appear on the bus"; cat "$dir"/*.log; return 1; }
    scene_call org.freedesktop.NetworkManager /org/freedesktop/NetworkManager \
        org.freedesktop.DBus.Mock.AddProperty org.freedesktop.NetworkManager PrimaryConnection \
        "<objectpath '/org/freedesktop/NetworkManager/ActiveConnection/1'>" || return 1
    scene_log=$dir/proxy.log
    : >"$scene_log"
    /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/freezing_proxy.py" --target-port "$port" \
        --port-file "$dir/proxy.port" --log "$scene_log" >"$dir/proxy.out" 2>&1 &
    scene_proxy=$!
    desktop_pids+=("$scene_proxy")
    wait_until 10 test -s "$dir/proxy.port" || { echo "the proxy did not start"; return 1; }
    SCENE_PORT=$(cat "$dir/proxy.port")
}

scene_owned() {
    gdbus call --address "$DBUS_SYSTEM_BUS_ADDRESS" -d org.freedesktop.DBus -o /org/freedesktop/DBus \
        -m org.freedesktop.DBus.NameHasOwner "$1" | grep -q true
}

# scene_call SERVICE PATH METHOD ARGS...
scene_call() {
    local service=$1 path=$2
    shift 2
    gdbus call --address "$DBUS_SYSTEM_BUS_ADDRESS" -d "$service" -o "$path" -m "$@" >/dev/null
}

scene_prepare() {
    scene_call org.freedesktop.login1 /org/freedesktop/login1 org.freedesktop.DBus.Mock.EmitSignal \
        org.freedesktop.login1.Manager PrepareForSleep b "[<$1>]"
}
scene_sleep() { scene_prepare true; }
scene_wake() { scene_prepare false; }

scene_network() {
    local manager=(org.freedesktop.NetworkManager /org/freedesktop/NetworkManager)
    if [[ -n ${2:-} ]]; then
        scene_call "${manager[@]}" org.freedesktop.DBus.Properties.Set \
            org.freedesktop.NetworkManager PrimaryConnection \
            "<objectpath '/org/freedesktop/NetworkManager/ActiveConnection/$2'>" || return 1
    fi
    scene_call "${manager[@]}" org.freedesktop.DBus.Mock.SetGlobalConnectionState "$1"
}

scene_freeze() { kill -USR1 "$scene_proxy"; }
scene_accepted() { wc -l <"$scene_log"; }

scene_lock_held() {
    gdbus call --address "$DBUS_SYSTEM_BUS_ADDRESS" -d org.freedesktop.login1 \
        -o /org/freedesktop/login1 -m org.freedesktop.login1.Manager.ListInhibitors |
        grep -q "'sleep', 'Breezel'.*'delay'"
}
