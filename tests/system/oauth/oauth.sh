# The OAuth2 journey's real parts, all on 127.0.0.1: the OpenID provider (oidc-provider), the
# browser driven over DevTools (Chromium), and a private session bus with or without a keyring.
# Source it, then:
#   oauth_install DIR                        oidc-provider into DIR/node_modules (npm ci, from
#                                            the committed lock, only when DIR lacks it)
#   oauth_provider_start DIR WORK TTL        the provider (installed in DIR), its files in WORK,
#                                            access tokens lasting TTL seconds
#   oauth_browser_start WORK LOGIN PASSWORD  Chromium and its driver; the desktop's URL opener
#                                            (xdg-open, or Qt itself) then hands it every URL
#   session_bus_start WORK [keyring]         a private session bus with the accessibility bus
#                                            (window_text.py reads windows through it), and an
#                                            unlocked gnome-keyring (Secret Service) or none
#   oauth_stop                               stops whatever of these runs
# After oauth_provider_start: OAUTH_ISSUER, OAUTH_PROVIDER_LOG and OAUTH_ISSUED (every token and
# code the provider handed out, "kind value" a line: read it, never print it). After
# oauth_browser_start: OAUTH_URLS (each URL the program opened, a line) and OAUTH_RESULTS (each
# sign-in's end, a line: "signed in: " and the page the redirect showed, or "stopped at ...").
# Needs desktop.sh (wait_for).

oauth_here=$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")
oauth_pids=()

oauth_install() {
    local dir=$1
    ensure_packages nodejs chromium python3-websocket gnome-keyring libsecret-tools dbus \
        at-spi2-core python3-pyatspi || return 1
    # Debian's npm comes with Debian's nodejs; another nodejs carries its own.
    command -v npm >/dev/null || ensure_packages npm || return 1
    mkdir -p "$dir"
    if ! cmp -s "$oauth_here/package-lock.json" "$dir/package-lock.json" ||
        [[ ! -d $dir/node_modules/oidc-provider ]]; then
        cp "$oauth_here/package.json" "$oauth_here/package-lock.json" "$dir/"
        (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error) >"$dir/npm.log" 2>&1 || {
            echo "npm ci failed:"
            cat "$dir/npm.log"
            rm -f "$dir/package-lock.json"
            return 1
        }
    fi
    # ESM resolves packages from the script's own folder.
    cp "$oauth_here/provider.mjs" "$dir/"
}

oauth_provider_start() {
    local dir=$1 work=$2 ttl=$3
    mkdir -p "$work"
    OAUTH_PROVIDER_LOG=$work/provider.log
    OAUTH_ISSUED=$work/issued
    : >"$OAUTH_ISSUED"
    rm -f "$work/provider.port"
    node "$dir/provider.mjs" --port-file "$work/provider.port" --issued "$OAUTH_ISSUED" \
        --access-ttl "$ttl" >"$OAUTH_PROVIDER_LOG" 2>&1 &
    oauth_pids+=($!)
    local port
    port=$(wait_for 30 cat "$work/provider.port") || {
        echo "the OpenID provider did not start:"
        cat "$OAUTH_PROVIDER_LOG"
        return 1
    }
    OAUTH_ISSUER=http://127.0.0.1:$port
    export OAUTH_ISSUER OAUTH_PROVIDER_LOG OAUTH_ISSUED
}

oauth_browser_start() {
    local work=$1 login=$2 password=$3
    mkdir -p "$work"
    OAUTH_URLS=$work/urls
    OAUTH_RESULTS=$work/results
    : >"$OAUTH_URLS"
    rm -f "$OAUTH_RESULTS"
    # The user's browser, as the desktop knows it: $BROWSER, which xdg-open honours where no
    # desktop is known and Qt where there is no xdg-open, and the default handler of http(s)
    # that xdg-open asks for first (else Debian's chromium.desktop would be it).
    export BROWSER=$oauth_here/open-url.sh BREEZEL_TEST_URLS=$OAUTH_URLS
    local apps=${XDG_DATA_HOME:-$HOME/.local/share}/applications
    mkdir -p "$apps" "${XDG_CONFIG_HOME:-$HOME/.config}"
    printf '%s\n' '[Desktop Entry]' 'Type=Application' 'Name=Test browser' \
        "Exec=$BROWSER %u" 'MimeType=x-scheme-handler/http;x-scheme-handler/https;' \
        >"$apps/breezel-test-browser.desktop"
    printf '%s\n' '[Default Applications]' 'x-scheme-handler/http=breezel-test-browser.desktop' \
        'x-scheme-handler/https=breezel-test-browser.desktop' \
        >"${XDG_CONFIG_HOME:-$HOME/.config}/mimeapps.list"
    /usr/bin/python3 "$oauth_here/browser.py" --profile "$work/profile" --urls "$OAUTH_URLS" \
        --results "$OAUTH_RESULTS" --log "$work/chromium.log" --login "$login" \
        --password "$password" >"$work/browser.log" 2>&1 &
    oauth_pids+=($!)
    wait_until 40 test -e "$OAUTH_RESULTS" || {
        echo "the browser did not start:"
        cat "$work/browser.log" "$work/chromium.log"
        return 1
    }
    export OAUTH_URLS OAUTH_RESULTS
}

# The registered browser of http(s) fails at once, as a desktop's broken default does: Debian's
# xdg-open then gives up (exit 4) without trying $BROWSER.
oauth_registered_browser_fails() {
    sed -i 's|^Exec=.*|Exec=false %u|' \
        "${XDG_DATA_HOME:-$HOME/.local/share}/applications/breezel-test-browser.desktop"
}

# A bus of our own, with no services to activate: asked for a Secret Service it has none, it
# answers at once rather than after an activation's 25 s.
session_bus_start() {
    local work=$1 keyring=${2:-}
    mkdir -p "$work/bus"
    cat >"$work/bus/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$work/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
    dbus-daemon --config-file="$work/bus/bus.conf" --nofork --print-address=1 \
        >"$work/bus/address" 2>"$work/bus/bus.log" &
    oauth_pids+=($!)
    DBUS_SESSION_BUS_ADDRESS=$(wait_for 10 grep -m1 . "$work/bus/address") || {
        echo "dbus-daemon did not start:"
        cat "$work/bus/bus.log"
        return 1
    }
    export DBUS_SESSION_BUS_ADDRESS
    # Programs started with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 show their windows to it.
    /usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/bus/a11y.log" 2>&1 &
    oauth_pids+=($!)
    wait_until 10 bus_has org.a11y.Bus || {
        echo "at-spi-bus-launcher did not start:"
        cat "$work/bus/a11y.log"
        return 1
    }
    [[ $keyring == keyring ]] || return 0
    # --unlock reads the new login keyring's password from its input.
    printf 'breezel-test-keyring' | gnome-keyring-daemon --foreground --unlock \
        --components=secrets >"$work/bus/keyring.log" 2>&1 &
    oauth_pids+=($!)
    wait_until 10 bus_has org.freedesktop.secrets || {
        echo "gnome-keyring-daemon did not start:"
        cat "$work/bus/keyring.log"
        return 1
    }
}

# True when a service owns NAME on the session bus.
bus_has() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'
}

# Newest first: the browser before the bus it may talk on.
oauth_stop() {
    local i pid
    for ((i = ${#oauth_pids[@]} - 1; i >= 0; i--)); do
        pid=${oauth_pids[$i]}
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    oauth_pids=()
}
