#!/usr/bin/env bash
# Starts a private Dovecot with mailboxes box0, box3, box100 and box1000 (the number is the
# count of messages), mixed, pushed and folders for IMAP, runs a test executable against it and stops it.
# Usage: run_dovecot_tests.sh TEST_EXECUTABLE [gtest options]
set -euo pipefail
test_executable=$1
shift
here=$(dirname "$(readlink -f "$0")")
source "$here/dovecot.sh"
trap dovecot_stop EXIT
trap 'exit 143' TERM INT

export DOVECOT_PASSWORD=breezel-test-password
dovecot_setup
dovecot_add_user box0 "$DOVECOT_PASSWORD" 0 0
dovecot_add_user box3 "$DOVECOT_PASSWORD" 3 1500
dovecot_add_user box100 "$DOVECOT_PASSWORD" 100 2048
dovecot_add_user box1000 "$DOVECOT_PASSWORD" 1000 2048
# For IMAP: five messages, the first two seen; one message for push to add to.
dovecot_add_user mixed "$DOVECOT_PASSWORD" 5 600 2
dovecot_add_user pushed "$DOVECOT_PASSWORD" 1 600
# Several mailboxes: an old POP3 box of two messages, a work box with one unseen, an empty home.
dovecot_add_user old "$DOVECOT_PASSWORD" 2 600
dovecot_add_user work "$DOVECOT_PASSWORD" 2 600 1
dovecot_add_user home "$DOVECOT_PASSWORD" 0 0
dovecot_add_folder work '&TtVOiw-' 1
# One unseen message in INBOX and two in 「仕事」, whose modified UTF-7 name is &TtVOiw-.
dovecot_add_user folders "$DOVECOT_PASSWORD" 1 600
dovecot_add_folder folders '&TtVOiw-' 2
dovecot_start
"$test_executable" "$@"
