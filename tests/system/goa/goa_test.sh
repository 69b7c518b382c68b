#!/usr/bin/env bash
# The desktop's own accounts, with real parts on a private session bus and 127.0.0.1: first the
# bus with no account service; then the real goa-daemon (Debian's gnome-online-accounts) with an
# unlocked gnome-keyring and a scratch home, holding an "IMAP and SMTP" account added as the
# desktop's settings add one, in front of the private Dovecot; then a stand-in service with the
# same interfaces holding an OAuth2 account whose tokens come from the test's OpenID provider,
# which Dovecot's oauth2 passdb checks. For each account the adapter's tests run, then the
# program itself reaches the board with no password and no client ID of its own. No password or
# token may reach the test's output or the program's files.
# Usage: goa_test.sh TEST_EXECUTABLE PROGRAM
set -uo pipefail
test_program=$1
built=$(dirname "$2")
here=$(dirname "$(readlink -f "$0")")
systems=$(dirname "$here")
source "$systems/desktop.sh"
source "$systems/pop3/dovecot.sh"
source "$systems/oauth/oauth.sh"

stop_services() {
    local pid
    for pid in ${goa_pid:-} ${standin_pid:-}; do
        # A stopped process ignores TERM until resumed.
        kill -CONT "$pid" 2>/dev/null
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    oauth_stop
    dovecot_stop
}
begin_test stop_services
unset DBUS_SESSION_BUS_ADDRESS

# Debian's gnome-online-accounts recommends pipewire-pulse, which would remove pulseaudio.
ensure_packages --no-install-recommends gnome-online-accounts || exit 1
ensure_packages python3-dbus python3-gi wmctrl || exit 1
goa_daemon=/usr/libexec/goa-daemon
# Its own HOME and XDG_RUNTIME_DIR: goa-daemon's accounts.conf and the keyring go there.
start_desktop "$work/desktop" || exit 1
export XDG_CONFIG_HOME=$HOME/.config

# run_suite NAME FILTER [VAR=VALUE...]: the tests matching FILTER; at least one must run, all
# must pass.
run_suite() {
    local name=$1 filter=$2 status=0
    shift 2
    env "$@" "$test_program" --gtest_filter="$filter" >"$work/$name.log" 2>&1 || status=$?
    cat "$work/$name.log"
    [[ $status -eq 0 ]] && grep -q '^\[  PASSED  \] [1-9]' "$work/$name.log"
}

board_title=新着お知らせボード
# The program in a folder of its own for SERVER and ID, with no password, no oauth.ini and checks
# by hand only: a check by hand, and what the board then says (the count); "no board" without.
program_count() {
    local folder=$1 server=$2 id=$3 said=
    make_program_folder "$folder/program"
    mkdir -p "$folder/cwd"
    printf 'POP3=%s\r\n' "$server" >"$folder/cwd/vbmail.ini"
    printf '[EXEINI]\nNAME=%s\nNAME2=\n' "$id" >"$folder/program/★MailData/iniIdPass.ini"
    printf '[EXEINI]\nNUMBER2=0\n' >"$folder/program/★MailData/ini.ini"
    (cd "$folder/cwd" && QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 exec "$folder/program/breezel") \
        >"$folder/breezel.log" 2>&1 &
    app_pid=$!
    if main=$(wait_window Kazeyomi) && menu_command 0 &&
        wait_until 20 first_line xdotool search --onlyvisible --name "$board_title"; then
        said=$(wait_for 5 /usr/bin/python3 "$systems/window_text.py" breezel "$board_title")
    fi
    kill "$app_pid" 2>/dev/null
    wait "$app_pid" 2>/dev/null
    said=${said//$'\n'/ }
    echo "${said:-no board}"
}

# Nothing of the desktop's credential stays with the program: no token file, no keyring item.
keeps_nothing() {
    local folder=$1
    local data=$folder/program/★MailData
    [[ ! -e $data/oauth-tokens.ini && ! -e $data/oauth.ini ]] &&
        [[ -z $(secret-tool search --all server breezel 2>&1) ]]
}

oauth_install "$(dirname "$test_program")/oauth-provider" || exit 1
oauth_provider_start "$(dirname "$test_program")/oauth-provider" "$work/provider" 3600 || exit 1
password="goa-$RANDOM$RANDOM"
# The stand-in's account is a Google-like one: the user name at the server is the address.
email=alice@breezel.test
dovecot_setup || exit 1
dovecot_add_user alice "$password" 3 800
dovecot_add_user "$email" "unused-$RANDOM$RANDOM" 3 800
dovecot_oauth2 "$OAUTH_ISSUER"
# The program trusts only the system's certificates: plain IMAP here, for goa-daemon too.
dovecot_start no-tls || exit 1
imap_host=127.0.0.1:$DOVECOT_IMAP_PORT

# A bus with no service files: nothing there can be started on demand.
session_bus_start "$work/bus" keyring || exit 1
check "no account service: no account, at once" run_suite none 'NoDesktopAccounts.*'

"$goa_daemon" --replace >"$work/goa-daemon.log" 2>&1 &
goa_pid=$!
check "goa-daemon is on the bus" wait_until 10 bus_has org.gnome.OnlineAccounts
# What the desktop's settings send for an "IMAP and SMTP" account: the passwords go into the
# keyring, the rest into accounts.conf.
added=$(gdbus call --session -d org.gnome.OnlineAccounts -o /org/gnome/OnlineAccounts/Manager \
    -m org.gnome.OnlineAccounts.Manager.AddAccount imap_smtp alice@example.org alice@example.org \
    "{'imap-password': <'$password'>, 'smtp-password': <'$password'>}" \
    "{'Enabled': 'true', 'EmailAddress': 'alice@example.org', 'Name': 'Alice',
      'ImapHost': '$imap_host', 'ImapUserName': 'alice', 'ImapUseSsl': 'false',
      'ImapUseTls': 'false', 'ImapAcceptSslErrors': 'false', 'SmtpHost': '127.0.0.1:9',
      'SmtpUseAuth': 'false', 'SmtpUserName': 'alice', 'SmtpUseSsl': 'false',
      'SmtpUseTls': 'false', 'SmtpAcceptSslErrors': 'true', 'MailEnabled': 'true'}" \
    2>"$work/add.log")
check "goa-daemon added the account" grep -q Accounts/account_ <<<"$added"
check "the password is in the keyring, not in accounts.conf" \
    eval '! grep -qF "$password" "$XDG_CONFIG_HOME/goa-1.0/accounts.conf"'
check "goa-daemon's account: found, and its password logs in" run_suite goa 'GoaDaemon.*' \
    DOVECOT_LOG="$DOVECOT_LOG"
said=$(program_count "$work/password" "imap://$imap_host" alice)
check "the program reaches the board with goa-daemon's password ($said)" \
    grep -qE '(^| )3$' <<<"$said"
check "and keeps nothing of it" keeps_nothing "$work/password"
kill "$goa_pid" && wait "$goa_pid" 2>/dev/null
goa_pid=
wait_until 10 eval '! bus_has org.gnome.OnlineAccounts'

/usr/bin/python3 "$here/goa_standin.py" --issuer "$OAUTH_ISSUER" --client-id breezel-test \
    --login "$email" --password any --imap-host "$imap_host" --email "$email" \
    --log "$work/standin-service.log" >"$work/standin.out" 2>&1 &
standin_pid=$!
check "the stand-in is on the bus" wait_until 20 bus_has org.gnome.OnlineAccounts ||
    cat "$work/standin.out"
check "the stand-in's OAuth2 account: found, its token logs in and is renewed once" \
    run_suite standin 'StandIn.*' GOA_TEST_EMAIL="$email"
check "the token was renewed once, at the stand-in's word" \
    test "$(grep -c EnsureCredentials "$work/standin-service.log")" = 1
check "a stopped account service: no account, after seconds" run_suite silent \
    'SilentDesktopAccounts.*' GOA_STANDIN_PID="$standin_pid"

# The desktop still holds a token its provider has withdrawn: the program's first login is
# refused, the desktop renews the token once, and the second login goes through.
gdbus call --session -d org.gnome.OnlineAccounts \
    -o /org/gnome/OnlineAccounts/Accounts/account_1700000000_0 -m invalid.breezel.Test.StaleOnce \
    >/dev/null
xoauth2_logins() {
    grep -c "imap-login: Info: Login: user=<$email>, method=XOAUTH2" "$DOVECOT_LOG"
}
logins=$(xoauth2_logins)
said=$(program_count "$work/token" "imap://;AUTH=XOAUTH2@$imap_host" "$email")
check "the program reaches the board with the stand-in's token ($said)" \
    grep -qE '(^| )3$' <<<"$said"
check "and keeps nothing of it" keeps_nothing "$work/token"
check "the program logged in by XOAUTH2 as the address" test "$(xoauth2_logins)" -gt "$logins"
check "after one refusal, which the desktop renewed" \
    test "$(grep -c EnsureCredentials "$work/standin-service.log")" = 2

# Nothing of the password or of any token the provider issued in the tests' output, the
# services' logs or the program's folders and logs.
outputs=("$work"/{none,goa,standin,silent}.log "$work"/standin-service.log "$work"/standin.out
    "$work"/{password,token})
check "no password or token in any output or program file" \
    eval '! grep -rqF -e "$password" -f <(cut -d" " -f2 "$OAUTH_ISSUED") "${outputs[@]}"'
((failures > 0)) &&
    tail -n 20 "$DOVECOT_LOG" "$work/goa-daemon.log" "$work/standin-service.log" "$work/standin.out"
tally
