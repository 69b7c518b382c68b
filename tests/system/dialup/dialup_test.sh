#!/usr/bin/env bash
# Runs the dial-up adapter's test against three system buses: none at all, a private bus
# without NetworkManager, and the same bus with NetworkManager mocked by python3-dbusmock.
set -euo pipefail
test_program=$1
source "$(dirname "$(readlink -f "$0")")/../desktop.sh"

# The bus and the mock are stopped with the (here empty) desktop. A test may have left the mock
# stopped; a stopped process ignores TERM until resumed.
mock_pid=
resume_mock() { [[ -z $mock_pid ]] || kill -CONT "$mock_pid" 2>/dev/null || true; }
begin_test resume_mock

# run_suite NAME FILTER [VAR=VALUE...]: runs the tests matching FILTER in that environment;
# at least one must run, and all must pass.
run_suite() {
    local name=$1 filter=$2 status=0
    shift 2
    env "$@" "$test_program" --gtest_filter="$filter" >"$work/$name.log" 2>&1 || status=$?
    cat "$work/$name.log"
    [[ $status -eq 0 ]] && grep -q '^\[  PASSED  \] [1-9]' "$work/$name.log"
}

check "no system bus" run_suite no-bus 'NoSystemBus.*' \
    DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/missing-socket"

# A session-type bus, so that it may start services on demand as a real system bus can: this
# one would start a NetworkManager that only leaves a mark.
mkdir "$work/services"
cat >"$work/services/org.freedesktop.NetworkManager.service" <<SERVICE
[D-BUS Service]
Name=org.freedesktop.NetworkManager
Exec=/usr/bin/touch $work/activated
SERVICE
cat >"$work/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=$work</listen>
  <auth>EXTERNAL</auth>
  <servicedir>$work/services</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
dbus-daemon --config-file="$work/bus.conf" --fork --nopidfile --print-address=1 --print-pid=1 \
    >"$work/bus.out" 2>"$work/bus.log"
address=$(sed -n 1p "$work/bus.out")
desktop_pids+=("$(sed -n 2p "$work/bus.out")")

check "no NetworkManager" run_suite no-network-manager 'NoNetworkManager.*' \
    DBUS_SYSTEM_BUS_ADDRESS="$address" DIALUP_ACTIVATION_MARKER="$work/activated"

DBUS_SYSTEM_BUS_ADDRESS=$address /usr/bin/python3 -m dbusmock --system --template networkmanager \
    >"$work/mock.log" 2>&1 &
mock_pid=$!
desktop_pids+=("$mock_pid")
mock_on_bus() {
    dbus-send --bus="$address" --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.NetworkManager |
        grep -q 'boolean true'
}
wait_until 10 mock_on_bus ||
    { echo "FAILED: the NetworkManager mock did not appear on the bus"; cat "$work/mock.log"; exit 1; }

check "NetworkManager" run_suite network-manager 'NetworkManager.*' \
    DBUS_SYSTEM_BUS_ADDRESS="$address" DIALUP_MOCK_PID="$mock_pid"

[[ $failures -eq 0 ]] || { echo "--- mock log"; cat "$work/mock.log"; }
tally
