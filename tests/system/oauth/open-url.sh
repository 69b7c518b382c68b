#!/bin/sh
# The desktop's web browser in the OAuth2 journey: notes each URL it is asked to show, a line in
# $BREEZEL_TEST_URLS, where the browser driver picks it up (browser.py).
printf '%s\n' "$1" >>"$BREEZEL_TEST_URLS"
