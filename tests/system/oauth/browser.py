#!/usr/bin/python3
"""The user at the browser, for the OAuth2 journey: Debian's Chromium, headless with a fresh
profile, driven over its DevTools protocol through the test provider's own sign-in pages.

    browser.py --profile DIR --urls FILE --results FILE --log FILE --login NAME --password WORD

Starts Chromium, then follows FILE: every line appended to it (by the BROWSER script that the
program's URL opener runs) is an authorization URL to open. The driver signs in there as NAME,
gives consent, and follows the redirect back to the program. For each URL it appends one line to
RESULTS: "signed in: " and the text of the page the redirect showed, or "stopped at " and where.
RESULTS exists, empty, once the browser is ready. Chromium's output goes to LOG; it ends when the
driver is stopped (SIGTERM).
No address with a query is written anywhere: the redirect carries the authorization code.
"""

import argparse
import json
import os
import signal
import subprocess
import sys
import time
import urllib.parse
import urllib.request

import websocket

# Flags that work on these machines: without the background-networking ones Chromium keeps
# reaching for the outside, which the closed network refuses. A basic password store keeps it
# away from the keyring the journey inspects.
CHROMIUM_FLAGS = [
    "--headless=new",
    "--no-sandbox",
    "--disable-gpu",
    "--disable-quic",
    "--no-first-run",
    "--no-default-browser-check",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    "--password-store=basic",
    "--remote-debugging-address=127.0.0.1",
    "--remote-debugging-port=0",
]

SIGN_IN_SECONDS = 30

# Runs in the page: reports where it is, and submits the provider's login or consent form once
# per page (a submitted page is marked, its successor is a new document).
STEP = """
(() => {
  if (document.readyState !== 'complete' || window.__breezelSubmitted)
    return JSON.stringify({busy: true});
  const prompt = document.querySelector('input[name=prompt]');
  const form = prompt && prompt.form;
  const seen = {origin: location.origin, path: location.pathname,
                prompt: prompt ? prompt.value : null,
                text: document.body ? document.body.innerText.trim() : ''};
  if (form && prompt.value === 'login') {
    form.querySelector('input[name=login]').value = %(login)s;
    form.querySelector('input[name=password]').value = %(password)s;
  }
  if (form && (prompt.value === 'login' || prompt.value === 'consent')) {
    window.__breezelSubmitted = true;
    form.submit();
  }
  return JSON.stringify(seen);
})()
"""


class Page:
    """One page target over DevTools."""

    def __init__(self, ws_url):
        self.ws = websocket.create_connection(ws_url, suppress_origin=True, timeout=10)
        self.next_id = 0

    def call(self, method, **params):
        self.next_id += 1
        self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.ws.recv())
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise RuntimeError(f"{method}: {message['error'].get('message')}")
                return message.get("result", {})

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True)
        return result.get("result", {}).get("value")


def start_chromium(profile, log):
    os.makedirs(profile, exist_ok=True)
    chromium = subprocess.Popen(
        ["chromium", *CHROMIUM_FLAGS, f"--user-data-dir={profile}", "about:blank"],
        stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
    # Chromium names the port it took, once it listens, in the profile.
    active = os.path.join(profile, "DevToolsActivePort")
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        if chromium.poll() is not None:
            sys.exit(f"chromium ended at start ({chromium.returncode})")
        try:
            with open(active) as f:
                port = f.readline().strip()
            if port:
                with urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list", timeout=5) as r:
                    pages = [t for t in json.load(r) if t.get("type") == "page"]
                if pages:
                    return chromium, pages[0]["webSocketDebuggerUrl"]
        except (OSError, ValueError):
            pass
        time.sleep(0.05)
    chromium.kill()
    sys.exit("chromium did not open its DevTools port within 30 s")


def sign_in(page, url, login, password):
    """Follows one authorization URL to its end; returns the result line."""
    provider = urllib.parse.urlsplit(url)
    provider_origin = f"{provider.scheme}://{provider.netloc}"
    page.call("Page.navigate", url=url)
    step = STEP % {"login": json.dumps(login), "password": json.dumps(password)}
    deadline = time.monotonic() + SIGN_IN_SECONDS
    last, still_since = None, time.monotonic()
    while time.monotonic() < deadline:
        try:
            seen = json.loads(page.evaluate(step) or "{}")
        except (RuntimeError, ValueError):
            seen = {"busy": True}  # between two documents
        if not seen.get("busy"):
            where = seen["origin"] + seen["path"]
            if seen["origin"] != provider_origin:
                verdict = "signed in" if seen["origin"].startswith("http") else "stopped at"
                return f"{verdict}: {where} {' '.join(seen['text'].split())}"
            if seen["prompt"] is None:
                # A provider page with no form to submit: an error, once it stays so.
                if where != last:
                    last, still_since = where, time.monotonic()
                elif time.monotonic() - still_since > 2:
                    return f"stopped at {where}: {' '.join(seen['text'].split())[:300]}"
        time.sleep(0.1)
    return f"stopped at {last}: no end within {SIGN_IN_SECONDS} s"


def main():
    parser = argparse.ArgumentParser()
    for option in ("profile", "urls", "results", "log", "login", "password"):
        parser.add_argument(f"--{option}", required=True)
    args = parser.parse_args()

    with open(args.log, "ab") as log:
        chromium, ws_url = start_chromium(args.profile, log)

    def stop(*_):
        os.killpg(chromium.pid, signal.SIGTERM)
        try:
            chromium.wait(timeout=10)
        except subprocess.TimeoutExpired:
            os.killpg(chromium.pid, signal.SIGKILL)
        sys.exit(0)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    page = Page(ws_url)
    page.call("Page.enable")

    open(args.urls, "a").close()
    open(args.results, "a").close()
    done = 0
    while True:
        with open(args.urls) as f:
            urls = [line.rstrip("\n") for line in f if line.endswith("\n")]
        for url in urls[done:]:
            result = sign_in(page, url, args.login, args.password)
            with open(args.results, "a") as f:
                f.write(result + "\n")
            done += 1
        time.sleep(0.05)


if __name__ == "__main__":
    main()
