#!/usr/bin/env bash
# OAuth2 from outside, everything real and on 127.0.0.1: an OpenID provider (oidc-provider),
# Dovecot checking bearer tokens at it, Chromium as the user's browser, gnome-keyring on a
# private session bus. Over IMAP with the keyring: the first manual check opens the browser once
# and, signed in, shows the board with the count; the next check signs in silently with the
# token it has; once that token nears its end a check renews it without the browser; a withdrawn
# grant gives one box that says so, and the next manual check signs in again in the browser; the
# refresh token is in the keyring, always the newest. Over POP3 with no keyring: one sign-in and
# the board, the refresh token only in the owner's file; where the desktop's browser fails, the
# sign-in window says so and cancels, and $BROWSER is tried. No token or code anywhere else: not
# in a log, a box, a URL or another file.
set -uo pipefail
built=$(dirname "$1")
here=$(dirname "$(readlink -f "$0")")
source "$here/desktop.sh"
source "$here/pop3/dovecot.sh"
source "$here/oauth/oauth.sh"

begin_test oauth_stop dovecot_stop
# Nothing here may reach the session bus of whoever runs the test.
unset DBUS_SESSION_BUS_ADDRESS
# Seconds an access token lasts. The program uses a token until its last minute, a short-lived
# one until its last quarter: 12 s give nine of use, time for a second check, short to wait out.
ttl=${BREEZEL_OAUTH_TTL:-12}
renewal_margin=$((ttl / 4 < 60 ? ttl / 4 : 60))

ensure_packages wmctrl || exit 1
# Into the build folder, once: npm's cache stays in the real home.
oauth_install "$built/oauth-provider" || exit 1
start_desktop "$work/desktop" || exit 1
oauth_provider_start "$built/oauth-provider" "$work/provider" "$ttl" || exit 1
dovecot_setup || exit 1
# Three unseen messages; the password is never used.
dovecot_add_user alice "unused-$RANDOM$RANDOM" 3 800
dovecot_oauth2 "$OAUTH_ISSUER"
# The program trusts only the system's certificates: plain IMAP and POP3 here.
dovecot_start no-tls || exit 1
oauth_browser_start "$work/browser" alice any-password || exit 1

board_title=新着お知らせボード
box_title='^エラー$'
keyring_key=alice@127.0.0.1

count() { grep -c -e "$1" "$2" 2>/dev/null; }
opened() { count . "$OAUTH_URLS"; }
signed_in() { count '^signed in: ' "$OAUTH_RESULTS"; }
imap_logins() { count 'imap-login: Info: Login: user=<alice>, method=XOAUTH2' "$DOVECOT_LOG"; }
pop3_logins() { count 'pop3-login: Info: Login: user=<alice>, method=XOAUTH2' "$DOVECOT_LOG"; }
token_requests() { count "POST /token 200 grant_type=$1" "$OAUTH_PROVIDER_LOG"; }
refused_renewals() { count 'POST /token 400 grant_type=refresh_token .*error=invalid_grant' \
    "$OAUTH_PROVIDER_LOG"; }
above() { (($("$1") > $2)); }
board() { first_line xdotool search --onlyvisible --name "$board_title"; }
box() { first_line xdotool search --onlyvisible --name "$box_title"; }
no_box() { ! box >/dev/null; }
# The newest token of a kind the provider handed out (kept from the output).
newest() { awk -v kind="$1" '$1 == kind { value = $2 } END { print value }' "$OAUTH_ISSUED"; }
in_keyring() { secret-tool lookup server breezel user "$keyring_key" 2>/dev/null; }
keyring_holds_newest() { [[ -n $(newest refresh) && $(in_keyring) == "$(newest refresh)" ]]; }
# Fails when the text holds any token or code the provider handed out.
no_token_in() { ! grep -qF -f <(cut -d' ' -f2 "$OAUTH_ISSUED") <<<"$1"; }

# A program folder with the provider named for 127.0.0.1, the account with no password, checks
# by hand only; SERVER as the user writes it.
prepare() {
    local folder=$1 server=$2
    make_program_folder "$folder/program"
    mkdir -p "$folder/cwd"
    printf 'POP3=%s\r\n' "$server" >"$folder/cwd/vbmail.ini"
    printf '[EXEINI]\nNAME=alice\nNAME2=\n' >"$folder/program/★MailData/iniIdPass.ini"
    printf '[EXEINI]\nNUMBER2=0\n' >"$folder/program/★MailData/ini.ini"
    printf '%s\n' '[127.0.0.1]' "issuer=$OAUTH_ISSUER" 'client_id=breezel-test' \
        'scope=openid email offline_access' >"$folder/program/★MailData/oauth.ini"
}

start_breezel() {
    local folder=$1
    (cd "$folder/cwd" && QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 exec "$folder/program/breezel") \
        >"$folder/breezel.log" 2>&1 &
    app_pid=$!
    main=$(wait_window Kazeyomi) || {
        check "main window opens" false
        cat "$folder/breezel.log"
        tally
        exit
    }
}

stop_breezel() {
    wmctrl -i -c "$main"
    wait_until 10 eval '! kill -0 $app_pid' || kill "$app_pid" 2>/dev/null
    wait "$app_pid" 2>/dev/null
    app_pid=
}

# What a window says, as a screen reader reads it.
window_text() { wait_for 5 /usr/bin/python3 "$here/window_text.py" breezel "$1"; }
box_text() { window_text エラー; }

# A manual check that ends on the board with the count of the three messages; the board is
# closed again. A box instead is named (unless it shows a token) and answered.
check_shows_board() {
    local what=$1 shown text said
    menu_command 0
    shown=$(wait_for 30 eval 'board || box') || shown=
    if [[ -n $shown && $(xdotool getwindowname "$shown") == "$board_title" ]]; then
        check "$what: the board shows the count" eval 'window_text "$board_title" | grep -qx 3'
        check "$what: no box" no_box
        wmctrl -i -c "$shown"
        wait_until 10 eval '! board'
    elif [[ -n $shown ]]; then
        text=$(box_text)
        no_token_in "$text" && said=$text || said="a token in it"
        check "$what: the board opens, not a box ($said)" false
        xdotool windowactivate --sync "$shown" key Return
        wait_until 10 no_box
    else
        check "$what: the board opens" false
    fi
}

# The redirect's port, from the last URL opened, is free again once the sign-in is over.
redirect_port_closed() {
    local port
    port=$(tail -n1 "$OAUTH_URLS" | sed 's/%3[Aa]/:/g; s/%2[Ff]/\//g' |
        grep -o 'redirect_uri=http://127.0.0.1:[0-9]*' | grep -o '[0-9]*$') || return 1
    ! timeout 2 bash -c 'exec 3<>/dev/tcp/127.0.0.1/$1' _ "$port" 2>/dev/null
}

# --- IMAP, with the keyring.
session_bus_start "$work/with-keyring" keyring || exit 1
a=$work/imap
prepare "$a" "imap://;AUTH=XOAUTH2@127.0.0.1:$DOVECOT_IMAP_PORT"
start_breezel "$a"
check "starting opens no browser" test "$(opened)" = 0

check_shows_board "first manual check"
first_signed_in=$(date +%s%N)
check "the first check opened the browser once ($(opened))" test "$(opened)" = 1
check "the sign-in ended on the program's page" \
    grep -q '^signed in: http://127.0.0.1:[0-9]*/ .*サインインが終わりました' "$OAUTH_RESULTS"
check "Dovecot took the token (XOAUTH2 over IMAP)" above imap_logins 0
check "the redirect's port is free again" redirect_port_closed
check "the refresh token is in the keyring" wait_until 5 keyring_holds_newest

logins=$(imap_logins)
check_shows_board "second manual check"
check "it opened no browser" test "$(opened)" = 1
check "it used the token it had (no token request)" \
    test "$(token_requests refresh_token)" = 0 -a "$(token_requests authorization_code)" = 1
check "it logged in" above imap_logins "$logins"

# Past the access token's use, measured from a moment after it was issued.
used_for=$((ttl - renewal_margin))
wait_until $((used_for + 5)) \
    eval '(($(date +%s%N) > first_signed_in + (used_for * 1000 + 300) * 1000000))'
logins=$(imap_logins)
check_shows_board "a check past the token's use"
check "it renewed the token once, without the browser" \
    test "$(token_requests refresh_token)" = 1 -a "$(opened)" = 1
check "the renewed token logged in" above imap_logins "$logins"
# Refresh tokens rotate: the one kept must be the new one, or the next renewal revokes all.
check "the keyring holds the new refresh token" wait_until 5 keyring_holds_newest

# The user withdraws Breezel's access at the provider.
check "the provider withdraws the grant" \
    eval '[[ $(curl -s -X POST "$OAUTH_ISSUER/test/revoke?account=alice") == 1 ]]'
menu_command 0
if shown=$(wait_for 30 box); then
    text=$(box_text)
    check "a withdrawn grant: one box" test "$(xdotool search --onlyvisible --name "$box_title" |
        wc -l)" = 1
    check "the box says something, and no token" eval '[[ -n $text ]] && no_token_in "$text"'
    no_token_in "$text" && said=$text || said="withheld"
    check "the box says to sign in again ($said)" grep -q 'サインイン' <<<"$text"
    xdotool windowactivate --sync "$shown" key Return
    wait_until 10 no_box
else
    check "a withdrawn grant: a box" false
fi
check "it opened no browser" test "$(opened)" = 1
check "it tried the withdrawn refresh token once" test "$(refused_renewals)" = 1
check "the keyring forgot the withdrawn token" wait_until 5 eval '[[ -z $(in_keyring) ]]'

check_shows_board "the next manual check"
check "it opened the browser again" test "$(opened)" = 2
check "and signed in" test "$(signed_in)" = 2
check "no more tries of the withdrawn token" test "$(refused_renewals)" = 1
check "the keyring holds the newest refresh token" wait_until 5 keyring_holds_newest
check "no token file beside the keyring" test ! -e "$a/program/★MailData/oauth-tokens.ini"
stop_breezel

# --- POP3, with no keyring: a bus with no Secret Service on it. The desktop's registered browser
# fails from here on.
session_bus_start "$work/without-keyring" || exit 1
b=$work/pop3
prepare "$b" "pop3://;AUTH=XOAUTH2@127.0.0.1:$DOVECOT_POP3_PORT"
oauth_registered_browser_fails
sign_in_window() { first_line xdotool search --onlyvisible --name '^サインイン$'; }

# No browser opens at all ($BROWSER fails too): the sign-in window says so at once, and its
# cancel ends the sign-in, with a box that says so.
BROWSER=false start_breezel "$b"
menu_command 0
if shown=$(wait_for 30 sign_in_window); then
    check "the sign-in window says the browser did not open" \
        wait_until 3 eval 'window_text サインイン | grep -q 開けません'
    check "it shows the page's address" \
        wait_until 5 eval 'window_text サインイン | grep -q "^$OAUTH_ISSUER/"'
    xdotool windowactivate --sync "$shown" key Escape
    check "cancel closes the window" wait_until 5 eval '! sign_in_window'
    if shown=$(wait_for 10 box); then
        check "a box says the sign-in was cancelled" \
            eval 'box_text | grep -q サインインをキャンセルしました'
        xdotool windowactivate --sync "$shown" key Return
        wait_until 10 no_box
    else
        check "a box after the cancel" false
    fi
else
    check "a sign-in window" false
fi
check "no browser was asked" test "$(opened)" = 2
stop_breezel

# xdg-open fails, $BROWSER works: the sign-in goes through it.
start_breezel "$b"
check_shows_board "POP3, first manual check"
check "it opened the browser once more, through \$BROWSER" test "$(opened)" = 3
check "the sign-in window closed with the sign-in" eval '! sign_in_window'
check "Dovecot took the token (XOAUTH2 over POP3)" above pop3_logins 0
tokens=$b/program/★MailData/oauth-tokens.ini
check "without a keyring the refresh token is in oauth-tokens.ini, under the account" \
    eval '[[ -n $(newest refresh) ]] && grep -qxF "refresh=$(newest refresh)" "$tokens" &&
        grep -qxF "[$keyring_key]" "$tokens"'
check "oauth-tokens.ini is the owner's alone (mode $(stat -c %a "$tokens" 2>/dev/null))" \
    test "$(stat -c %a "$tokens" 2>/dev/null)" = 600
check "it holds no access token or code" \
    eval '[[ -e $tokens ]] && ! grep -qF -f <(awk "\$1 != \"refresh\" { print \$2 }" "$OAUTH_ISSUED") "$tokens"'
stop_breezel

# --- Every token and code the provider handed out, looked for in every file of the test: the
# logs (the program's, Dovecot's, the provider's, the browser driver's and Chromium's), the URLs
# the program opened, the program folders and the home folder. Allowed only in the list itself,
# the 0600 file and the browser's own profile (its history holds the redirect, as any browser's).
leaks=$(grep -rlF -f <(cut -d' ' -f2 "$OAUTH_ISSUED") "$work" "$DOVECOT_LOG" 2>/dev/null |
    grep -vxF -e "$OAUTH_ISSUED" -e "$tokens" | grep -v "^$work/browser/profile/")
check "no token or code in any other file ($(wc -l <"$OAUTH_ISSUED") issued)${leaks:+: $leaks}" \
    test -s "$OAUTH_ISSUED" -a -z "$leaks"
if ((failures > 0)); then
    echo "--- the provider's log"
    grep -v 'oidc-provider \(WARNING\|NOTICE\)' "$OAUTH_PROVIDER_LOG" | tail -n 40
    echo "--- the browser's sign-ins"
    cat "$OAUTH_RESULTS"
    echo "--- Dovecot's log"
    tail -n 20 "$DOVECOT_LOG"
    # The program's own output, unless it is where a token leaked.
    [[ -n $leaks ]] || tail -n 20 "$a/breezel.log" "$b/breezel.log" 2>/dev/null
fi
tally
