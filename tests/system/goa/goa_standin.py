#!/usr/bin/python3
"""A stand-in for GNOME Online Accounts on the session bus, with one OAuth2 mail account.

It offers what goa-daemon 3.46 offers for a Google account, by the same names and signatures
(org.freedesktop.DBus.ObjectManager on /org/gnome/OnlineAccounts; Account, Mail and OAuth2Based
on the account's object), but its provider is the test's OpenID provider. At start it signs in
there once, as the desktop's settings do when the user adds the account (authorization code with
PKCE through the provider's own login and consent pages), and keeps the refresh token in memory.
GetAccessToken hands out the current access token, refreshed at the provider once it is near its
end; EnsureCredentials refreshes an expired or refused one.

For the test, StaleOnce() on invalid.breezel.Test (same object) makes the next GetAccessToken hand
out a token the provider never issued, as a desktop may still hold a token that its provider has
since withdrawn; EnsureCredentials then fetches a good one.

Its log names calls and events only, never a token.

    goa_standin.py --issuer URL --client-id ID --login NAME --password PASSWORD
                   --imap-host HOST[:PORT] --email ADDRESS [--user NAME] --log FILE
"""

import argparse
import base64
import hashlib
import html.parser
import http.cookiejar
import json
import secrets
import sys
import time
import urllib.error
import urllib.parse
import urllib.request

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

SERVICE = "org.gnome.OnlineAccounts"
ROOT = "/org/gnome/OnlineAccounts"
ACCOUNT_PATH = ROOT + "/Accounts/account_1700000000_0"
ACCOUNT = SERVICE + ".Account"
MAIL = SERVICE + ".Mail"
OAUTH2 = SERVICE + ".OAuth2Based"
TEST = "invalid.breezel.Test"
PROPERTIES = "org.freedesktop.DBus.Properties"
REDIRECT = "http://127.0.0.1:9/"
# Refreshed this long before the provider's end, as goa-daemon does a little before expiry.
MARGIN_S = 2

log_file = None


def log(line):
    log_file.write(f"{time.strftime('%H:%M:%S')} {line}\n")
    log_file.flush()


class FormReader(html.parser.HTMLParser):
    """The first form of a page: its action and the values of its inputs."""

    def __init__(self):
        super().__init__()
        self.action = None
        self.fields = {}
        self.done = False

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if self.done:
            return
        if tag == "form" and self.action is None:
            self.action = attrs.get("action", "")
        elif tag == "input" and self.action is not None and attrs.get("name"):
            self.fields[attrs["name"]] = attrs.get("value", "")

    def handle_endtag(self, tag):
        if tag == "form" and self.action is not None:
            self.done = True


class NoRedirect(urllib.request.HTTPRedirectHandler):
    def redirect_request(self, *args, **kwargs):
        return None


class Provider:
    def __init__(self, issuer, client_id):
        self.issuer = issuer.rstrip("/")
        self.client_id = client_id
        self.opener = urllib.request.build_opener(
            urllib.request.HTTPCookieProcessor(http.cookiejar.CookieJar()), NoRedirect())

    def _go(self, url, form=None):
        """Follows redirects within the provider; the location of one to the redirect URI."""
        data = urllib.parse.urlencode(form).encode() if form is not None else None
        while True:
            try:
                answer = self.opener.open(urllib.parse.urljoin(self.issuer + "/", url), data)
                return None, answer.read().decode()
            except urllib.error.HTTPError as redirect:
                if redirect.code not in (301, 302, 303, 307):
                    raise
                url = redirect.headers["Location"]
                data = None
                if url.startswith(REDIRECT):
                    return url, None

    def sign_in(self, login, password):
        verifier = secrets.token_urlsafe(48)
        challenge = base64.urlsafe_b64encode(
            hashlib.sha256(verifier.encode()).digest()).decode().rstrip("=")
        state = secrets.token_urlsafe(16)
        query = urllib.parse.urlencode({
            "client_id": self.client_id, "response_type": "code", "redirect_uri": REDIRECT,
            "scope": "openid email offline_access", "prompt": "consent", "state": state,
            "code_challenge": challenge, "code_challenge_method": "S256"})
        location, page = self._go("/auth?" + query)
        # The login page, then the consent page, each one form.
        for answers in ({"login": login, "password": password}, {}):
            if location is not None:
                break
            form = FormReader()
            form.feed(page)
            fields = dict(form.fields, **answers)
            location, page = self._go(form.action, fields)
        if location is None:
            raise RuntimeError("the provider's sign-in did not end on the redirect")
        params = urllib.parse.parse_qs(urllib.parse.urlsplit(location).query)
        if params.get("state") != [state] or "code" not in params:
            raise RuntimeError("the redirect carries no code for this sign-in")
        return self._token({"grant_type": "authorization_code", "code": params["code"][0],
                            "redirect_uri": REDIRECT, "code_verifier": verifier})

    def refresh(self, refresh_token):
        return self._token({"grant_type": "refresh_token", "refresh_token": refresh_token})

    def _token(self, form):
        form = dict(form, client_id=self.client_id)
        request = urllib.request.Request(self.issuer + "/token",
                                         urllib.parse.urlencode(form).encode())
        with urllib.request.urlopen(request) as answer:
            return json.loads(answer.read().decode())


class Account(dbus.service.Object):
    def __init__(self, bus, provider, options):
        super().__init__(bus, ACCOUNT_PATH)
        self.provider = provider
        self.tokens = provider.sign_in(options.login, options.password)
        self.expires_at = time.time() + self.tokens["expires_in"]
        self.stale = False
        log("signed in at the provider")
        self.properties = {
            ACCOUNT: {
                "ProviderType": "google", "ProviderName": "Google",
                "ProviderIcon": ". GThemedIcon goa-account-google goa-account goa",
                "Id": ACCOUNT_PATH.rsplit("/", 1)[1], "IsLocked": False,
                "IsTemporary": False, "AttentionNeeded": False,
                "Identity": options.email, "PresentationIdentity": options.email,
                "MailDisabled": False, "CalendarDisabled": True, "ContactsDisabled": True,
                "ChatDisabled": False, "DocumentsDisabled": False, "MapsDisabled": False,
                "MusicDisabled": False, "PrintersDisabled": True, "PhotosDisabled": True,
                "FilesDisabled": True, "TicketingDisabled": False, "TodoDisabled": False,
                "ReadLaterDisabled": False},
            MAIL: {
                "EmailAddress": options.email, "Name": "", "ImapSupported": True,
                "ImapAcceptSslErrors": False, "ImapHost": options.imap_host,
                "ImapUseSsl": False, "ImapUseTls": False,
                "ImapUserName": options.user or options.email,
                "SmtpSupported": True, "SmtpAcceptSslErrors": False,
                "SmtpHost": "127.0.0.1:9", "SmtpUseAuth": True, "SmtpAuthLogin": False,
                "SmtpAuthPlain": False, "SmtpAuthXoauth2": True, "SmtpUseSsl": False,
                "SmtpUseTls": False, "SmtpUserName": options.user or options.email},
            OAUTH2: {"ClientId": options.client_id, "ClientSecret": ""},
        }

    def renew(self):
        # Refresh tokens rotate: the new one replaces the old before anything else.
        self.tokens = self.provider.refresh(self.tokens["refresh_token"])
        self.expires_at = time.time() + self.tokens["expires_in"]
        self.stale = False
        log("refreshed at the provider")

    def managed(self):
        return {iface: dbus.Dictionary(props, signature="sv")
                for iface, props in self.properties.items()}

    @dbus.service.method(OAUTH2, in_signature="", out_signature="si")
    def GetAccessToken(self):
        log("GetAccessToken")
        if self.stale:
            return "stale-" + secrets.token_urlsafe(16), 3600
        if time.time() > self.expires_at - MARGIN_S:
            self.renew()
        return self.tokens["access_token"], int(self.expires_at - time.time())

    @dbus.service.method(ACCOUNT, in_signature="", out_signature="i")
    def EnsureCredentials(self):
        log("EnsureCredentials")
        if self.stale or time.time() > self.expires_at - MARGIN_S:
            self.renew()
        return int(self.expires_at - time.time())

    @dbus.service.method(ACCOUNT, in_signature="", out_signature="")
    def Remove(self):
        raise dbus.exceptions.DBusException("not in the stand-in",
                                            name="org.freedesktop.Goa.Error.NotSupported")

    @dbus.service.method(TEST, in_signature="", out_signature="")
    def StaleOnce(self):
        log("StaleOnce")
        self.stale = True

    @dbus.service.method(PROPERTIES, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.properties[interface][name]

    @dbus.service.method(PROPERTIES, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return self.properties.get(interface, {})


class Root(dbus.service.Object):
    def __init__(self, bus, account):
        super().__init__(bus, ROOT)
        self.account = account

    @dbus.service.method("org.freedesktop.DBus.ObjectManager", in_signature="",
                         out_signature="a{oa{sa{sv}}}")
    def GetManagedObjects(self):
        log("GetManagedObjects")
        return {ROOT + "/Manager": {SERVICE + ".Manager": dbus.Dictionary({}, signature="sv")},
                ACCOUNT_PATH: self.account.managed()}


def main():
    global log_file
    parser = argparse.ArgumentParser()
    for name in ("--issuer", "--client-id", "--login", "--password", "--imap-host", "--email",
                 "--log"):
        parser.add_argument(name, required=True)
    parser.add_argument("--user", default="")
    options = parser.parse_args()
    log_file = open(options.log, "a")
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    account = Account(bus, Provider(options.issuer, options.client_id), options)
    root = Root(bus, account)
    # The name last: a client that sees it finds the account there.
    name = dbus.service.BusName(SERVICE, bus)
    log("on the bus")
    GLib.MainLoop().run()
    del root, name


if __name__ == "__main__":
    sys.exit(main())
