#!/usr/bin/env bash
# Stops or starts again the private Dovecot that run_network_faults.sh set up, from inside a test.
# Usage: dovecot_ctl.sh stop|start   (FAULTS_DOVECOT_DIR and DOVECOT_POP3_PORT in the environment)
set -euo pipefail
dir=$FAULTS_DOVECOT_DIR
refuses() { ! timeout 1 bash -c 'exec 3<>/dev/tcp/127.0.0.1/$1' _ "$DOVECOT_POP3_PORT" 2>/dev/null; }
greets() {
    timeout 2 bash -c 'exec 3<>/dev/tcp/127.0.0.1/$1 && head -c 3 <&3' _ "$DOVECOT_POP3_PORT" \
        2>/dev/null | grep -q '^+OK'
}
# The processes holding the listening socket of the port.
listeners() {
    local port inode
    port=$(printf ':%04X' "$DOVECOT_POP3_PORT")
    for inode in $(awk -v p="$port" '$2 ~ p"$" && $4 == "0A" {print $10}' /proc/net/tcp); do
        find /proc/[0-9]*/fd -lname "socket:\[$inode\]" 2>/dev/null | cut -d/ -f3
    done | sort -u
}
case $1 in
stop)
    master=$(cat "$dir/run/master.pid")
    children=$(ps -o pid= --ppid "$master" || true)
    kill "$master"
    # Login processes may hold the listening socket: they go too.
    for pid in $children; do kill "$pid" 2>/dev/null || true; done
    for ((i = 0; i < 100; i++)); do
        refuses && exit 0
        # A process spawned while the master went down can outlive it with the listening socket.
        if ((i == 20)); then
            for pid in $(listeners); do
                echo "killing $(cat "/proc/$pid/comm" 2>/dev/null) ($pid), still listening" >&2
                kill -KILL "$pid" 2>/dev/null || true
            done
        fi
        sleep 0.05
    done
    echo "Dovecot still answers" >&2
    exit 1
    ;;
start)
    rm -f "$dir/run/master.pid"
    dovecot -c "$dir/dovecot.conf" >>"$dir/dovecot.out" 2>&1
    for ((i = 0; i < 100; i++)); do
        greets && exit 0
        sleep 0.05
    done
    echo "Dovecot did not start again" >&2
    exit 1
    ;;
esac
