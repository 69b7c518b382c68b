# A private Dovecot POP3 and IMAP server on 127.0.0.1 for the mail library's system tests, the
# journeys and the benchmarks. Source it, then:
#   dovecot_setup                            own temp dir, test CA and certificate, free ports
#   dovecot_add_user NAME PASSWORD COUNT SIZE [SEEN]
#                                            a maildir user with COUNT messages of SIZE bytes,
#                                            the first SEEN of them (default none) already seen
#   dovecot_add_folder NAME WIRE COUNT       a maildir++ folder in NAME's maildir, named WIRE (its
#                                            modified UTF-7 name), with COUNT unseen messages
#   dovecot_deliver NAME [SUBJECT]           delivers one new message into NAME's INBOX, the
#                                            maildir way (written into tmp/, renamed into new/)
#   dovecot_idling NAME                      true while one of NAME's IMAP connections waits in
#                                            IDLE (from the mail process's title)
#   dovecot_oauth2 ISSUER                    before dovecot_start: XOAUTH2 and OAUTHBEARER too,
#                                            their bearer tokens checked at the OpenID provider
#                                            ISSUER (its userinfo, /me: the token's sub must be
#                                            the login name); passwords work as before
#   dovecot_start [no-tls]                   runs Dovecot, waits until its ports answer; no-tls:
#                                            neither STLS nor STARTTLS offered, no POP3S or
#                                            IMAPS port
#   dovecot_halt / dovecot_run               stops Dovecot and every process it started (its
#                                            clients see the connection close) / starts it again
#                                            as before, on the same ports
#   dovecot_stop                             halts it and removes the temp dir
# After dovecot_start: DOVECOT_POP3_PORT and DOVECOT_IMAP_PORT (plain, offering STLS and
# STARTTLS), DOVECOT_POP3S_PORT and DOVECOT_IMAPS_PORT (TLS from the first byte, the POP3S one
# also on 127.0.0.2 where the certificate's names do not match), DOVECOT_CA (PEM of the CA that
# signed the server certificate), DOVECOT_SERVER_CERT and DOVECOT_SERVER_KEY (the server's
# certificate for localhost and 127.0.0.1, and its key), DOVECOT_MAIL (the users' maildirs are
# DOVECOT_MAIL/NAME), DOVECOT_LOG and DOVECOT_CONF (for doveadm -c, e.g. a delivery into a
# folder that its indexes hear of: doveadm -c "$DOVECOT_CONF" save -u NAME -m FOLDER).
# Needs root (Dovecot switches users); installs its Debian packages when they are missing.

dovecot_master=
dovecot_dir=
dovecot_oauth2_issuer=

# Package installation is shared with the project's scripts.
source "$(dirname "${BASH_SOURCE[0]}")/../../../scripts/common.sh"

# Prints a TCP port on 127.0.0.1 that nobody listens on at the moment.
free_port() {
    /usr/bin/python3 -c 'import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])'
}

dovecot_setup() {
    ensure_packages dovecot-core dovecot-pop3d dovecot-imapd openssl python3 || return 1
    dovecot_dir=$(mktemp -d)
    dovecot_oauth2_issuer=
    # Dovecot's unprivileged processes must reach the configuration and the user list.
    chmod 0755 "$dovecot_dir"
    mkdir -p "$dovecot_dir"/{run,state,mail,tls}

    local tls=$dovecot_dir/tls
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
        -subj '/CN=Breezel Test CA' -keyout "$tls/ca.key" -out "$tls/ca.pem" \
        -addext 'basicConstraints=critical,CA:TRUE' \
        -addext 'keyUsage=critical,keyCertSign,cRLSign' >"$tls/openssl.log" 2>&1 &&
        openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes \
            -subj '/CN=localhost' -keyout "$tls/server.key" -out "$tls/server.csr" \
            >>"$tls/openssl.log" 2>&1 &&
        printf '%s\n' 'subjectAltName=DNS:localhost,IP:127.0.0.1' 'basicConstraints=CA:FALSE' \
            'extendedKeyUsage=serverAuth' >"$tls/server.ext" &&
        openssl x509 -req -in "$tls/server.csr" -CA "$tls/ca.pem" -CAkey "$tls/ca.key" \
            -CAcreateserial -days 2 -extfile "$tls/server.ext" -out "$tls/server.pem" \
            >>"$tls/openssl.log" 2>&1 || {
        echo "could not make the test certificates:"
        cat "$tls/openssl.log"
        return 1
    }

    : >"$dovecot_dir/passwd"
    chgrp dovecot "$dovecot_dir/passwd"
    chmod 0640 "$dovecot_dir/passwd"
    # Four different free ports.
    local ports=() port
    while [[ ${#ports[@]} -lt 4 ]]; do
        port=$(free_port)
        [[ " ${ports[*]} " == *" $port "* ]] || ports+=("$port")
    done
    DOVECOT_POP3_PORT=${ports[0]}
    DOVECOT_POP3S_PORT=${ports[1]}
    DOVECOT_IMAP_PORT=${ports[2]}
    DOVECOT_IMAPS_PORT=${ports[3]}
    DOVECOT_MAIL=$dovecot_dir/mail
    DOVECOT_CA=$tls/ca.pem
    DOVECOT_SERVER_CERT=$tls/server.pem
    DOVECOT_SERVER_KEY=$tls/server.key
    DOVECOT_LOG=$dovecot_dir/dovecot.log
    DOVECOT_CONF=$dovecot_dir/dovecot.conf
    export DOVECOT_CONF DOVECOT_POP3_PORT DOVECOT_POP3S_PORT DOVECOT_IMAP_PORT DOVECOT_IMAPS_PORT DOVECOT_CA
    export DOVECOT_SERVER_CERT DOVECOT_SERVER_KEY DOVECOT_MAIL DOVECOT_LOG
}

# Plaintext passwords, so that APOP works; the mail belongs to nobody, as root may not log in.
dovecot_add_user() {
    local name=$1 password=$2 count=$3 size=$4 seen=${5:-0}
    local maildir=$dovecot_dir/mail/$name
    printf '%s:{PLAIN}%s:65534:65534::%s::\n' "$name" "$password" "$maildir" \
        >>"$dovecot_dir/passwd"
    /usr/bin/python3 - "$maildir" "$count" "$size" "$seen" <<'EOF' || return 1
import os, sys

maildir, count, size, seen = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
for sub in ("cur", "new", "tmp"):
    os.makedirs(os.path.join(maildir, sub), exist_ok=True)
filler = "The quick brown fox jumps over the lazy dog; 0123456789 " * 2
for n in range(1, count + 1):
    head = (f"From: Sender {n} <sender{n}@example.org>\n"
            f"To: user@example.org\n"
            f"Subject: Test message {n}\n"
            f"Date: Mon, 1 Jan 2024 00:00:00 +0000\n"
            f"Message-ID: <{n}@breezel.test>\n\n")
    body = []
    left = size - len(head)
    while left > 0:
        line = filler[: min(len(filler), left) - 1] + "\n" if left > 1 else "\n"
        body.append(line)
        left -= len(line)
    # The maildir's flags are in the name: S is seen.
    name = f"{1700000000 + n}.M{n}P1.breezel:2," + ("S" if n <= seen else "")
    with open(os.path.join(maildir, "cur", name), "w") as f:
        f.write(head + "".join(body))
EOF
    chown -R 65534:65534 "$maildir"
}

dovecot_add_folder() {
    local name=$1 wire=$2 count=$3 n
    local folder=$dovecot_dir/mail/$name/.$wire
    mkdir -p "$folder"/{cur,new,tmp}
    for ((n = 1; n <= count; n++)); do
        printf 'From: Sender <sender@example.org>\nSubject: Folder message %s\n\nbody\n' "$n" \
            >"$folder/cur/$((1700000100 + n)).M${n}P2.breezel:2,"
    done
    chown -R 65534:65534 "$folder"
}

dovecot_deliver() {
    local name=$1 subject=${2:-New message}
    /usr/bin/python3 - "$dovecot_dir/mail/$name" "$subject" <<'EOF' || return 1
import os, sys, time

maildir, subject = sys.argv[1], sys.argv[2]
unique = f"{time.time_ns()}.P{os.getpid()}.breezel"
text = (f"From: Sender <sender@example.org>\nTo: user@example.org\nSubject: {subject}\n"
        f"Message-ID: <{unique}@breezel.test>\n\nDelivered by the test.\n")
tmp = os.path.join(maildir, "tmp", unique)
with open(tmp, "w") as f:
    f.write(text)
os.chown(tmp, 65534, 65534)
os.rename(tmp, os.path.join(maildir, "new", unique))
EOF
}

dovecot_idling() { pgrep -f "imap \\[$1 [^]]* IDLE\\]" >/dev/null; }

dovecot_oauth2() { dovecot_oauth2_issuer=$1; }

dovecot_start() {
    local tls=${1:-tls} mechanisms="plain login apop" oauth2_passdb=
    if [[ -n $dovecot_oauth2_issuer ]]; then
        mechanisms+=" xoauth2 oauthbearer"
        # Without tokeninfo_url a token the provider refuses is a temporary failure, not a
        # refusal. introspection_mode auth: the token goes in the Authorization header.
        printf '%s\n' "tokeninfo_url = $dovecot_oauth2_issuer/me?x=" \
            'introspection_mode = auth' "introspection_url = $dovecot_oauth2_issuer/me" \
            'username_attribute = sub' >"$dovecot_dir/oauth2.conf.ext"
        oauth2_passdb="passdb {
  driver = oauth2
  mechanisms = xoauth2 oauthbearer
  args = $dovecot_dir/oauth2.conf.ext
}"
    fi
    local ssl_settings="ssl = yes
ssl_cert = <$dovecot_dir/tls/server.pem
ssl_key = <$dovecot_dir/tls/server.key"
    local pop3s_listener="inet_listener pop3s {
    address = 127.0.0.1, 127.0.0.2
    port = $DOVECOT_POP3S_PORT
    ssl = yes
  }"
    local imaps_listener="inet_listener imaps {
    address = 127.0.0.1
    port = $DOVECOT_IMAPS_PORT
    ssl = yes
  }"
    if [[ $tls == no-tls ]]; then
        ssl_settings="ssl = no"
        pop3s_listener=
        imaps_listener=
        DOVECOT_POP3S_PORT=
        DOVECOT_IMAPS_PORT=
    fi
    local conf=$dovecot_dir/dovecot.conf
    cat >"$conf" <<EOF
instance_name = breezel-test-$$-$RANDOM
base_dir = $dovecot_dir/run
state_dir = $dovecot_dir/state
log_path = $DOVECOT_LOG
protocols = pop3 imap
listen = 127.0.0.1
$ssl_settings
auth_mechanisms = $mechanisms
first_valid_uid = 1
pop3_no_flag_updates = yes
# The mail processes name their command in their title: tests see a connection in IDLE.
verbose_proctitle = yes
mail_location = maildir:~
# NOTIFY (RFC 5465) comes with the mailbox list index.
mailbox_list_index = yes
$oauth2_passdb
passdb {
  driver = passwd-file
  args = $dovecot_dir/passwd
}
userdb {
  driver = passwd-file
  args = $dovecot_dir/passwd
}
service pop3-login {
  inet_listener pop3 {
    address = 127.0.0.1
    port = $DOVECOT_POP3_PORT
  }
  $pop3s_listener
}
service imap-login {
  inet_listener imap {
    address = 127.0.0.1
    port = $DOVECOT_IMAP_PORT
  }
  $imaps_listener
}
EOF
    dovecot_run
}

dovecot_run() {
    dovecot -F -c "$dovecot_dir/dovecot.conf" >"$dovecot_dir/dovecot.out" 2>&1 &
    dovecot_master=$!
    local i
    for ((i = 0; i < 100; i++)); do
        if ! kill -0 "$dovecot_master" 2>/dev/null; then
            echo "Dovecot did not start:"
            cat "$dovecot_dir/dovecot.out" "$DOVECOT_LOG" 2>/dev/null
            dovecot_master=
            return 1
        fi
        if dovecot_greets "$DOVECOT_POP3_PORT" && dovecot_greets "$DOVECOT_IMAP_PORT" &&
            { [[ -z $DOVECOT_POP3S_PORT ]] || dovecot_listens "$DOVECOT_POP3S_PORT"; } &&
            { [[ -z $DOVECOT_IMAPS_PORT ]] || dovecot_listens "$DOVECOT_IMAPS_PORT"; }; then
            return 0
        fi
        sleep 0.1
    done
    echo "Dovecot does not answer on port $DOVECOT_POP3_PORT"
    return 1
}

# POP3 greets with +OK, IMAP with * OK.
dovecot_greets() {
    timeout 2 bash -c 'exec 3<>/dev/tcp/127.0.0.1/$1 && head -c 4 <&3' _ "$1" 2>/dev/null |
        grep -q '^+OK\|^\* OK'
}

dovecot_listens() {
    timeout 2 bash -c 'exec 3<>/dev/tcp/127.0.0.1/$1' _ "$1" 2>/dev/null
}

dovecot_stop() {
    dovecot_halt
    if [[ -n $dovecot_dir ]]; then
        rm -rf "$dovecot_dir"
        dovecot_dir=
    fi
}

# The master leaves its children running while clients are connected: stop them as well.
dovecot_halt() {
    if [[ -n $dovecot_master ]]; then
        local children pid i
        children=$(ps -o pid= --ppid "$dovecot_master" 2>/dev/null || true)
        kill "$dovecot_master" 2>/dev/null || true
        wait "$dovecot_master" 2>/dev/null || true
        for pid in $children; do
            kill "$pid" 2>/dev/null || true
        done
        for pid in $children; do
            for ((i = 0; i < 50; i++)); do
                kill -0 "$pid" 2>/dev/null || break
                sleep 0.02
            done
        done
        dovecot_master=
    fi
}
