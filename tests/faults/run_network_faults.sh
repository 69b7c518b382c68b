#!/usr/bin/env bash
# Starts a private Dovecot (no TLS, mailbox box100 of 100 messages) and runs the network fault
# test against it; the test stops and restarts Dovecot through dovecot_ctl.sh.
# Usage: run_network_faults.sh TEST_EXECUTABLE [gtest options]
set -euo pipefail
test_executable=$1
shift
here=$(dirname "$(readlink -f "$0")")
source "$here/../system/pop3/dovecot.sh"
cleanup() {
    # A master started again by the test is not the one dovecot.sh knows.
    if [[ -n $dovecot_dir && -f $dovecot_dir/run/master.pid ]]; then
        local master children
        master=$(cat "$dovecot_dir/run/master.pid")
        children=$(ps -o pid= --ppid "$master" 2>/dev/null || true)
        kill "$master" $children 2>/dev/null || true
    fi
    dovecot_stop
}
trap cleanup EXIT
trap 'exit 143' TERM INT

export DOVECOT_PASSWORD=breezel-test-password
dovecot_setup
dovecot_add_user box100 "$DOVECOT_PASSWORD" 100 2048
dovecot_start no-tls
export FAULTS_DOVECOT_DIR=$dovecot_dir FAULTS_DOVECOT_CTL=$here/dovecot_ctl.sh
"$test_executable" "$@"
