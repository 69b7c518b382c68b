#!/usr/bin/python3
"""Prints the texts a window of a program shows, one label or text field a line, read as a screen
reader reads them (AT-SPI): the way to see what a box or the board says from outside, where X
knows only their titles.

    window_text.py PROGRAM TITLE

Needs the accessibility bus on the session bus (at-spi-bus-launcher) and the program started
with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1. Fails when no such window is found.
"""

import sys

import pyatspi


def texts(node):
    for child in node:
        if child is None:
            continue
        role = child.getRoleName()
        if role == "label" and child.name:
            yield child.name
        elif role == "text":
            text = child.queryText().getText(0, -1)
            if text:
                yield text
        yield from texts(child)


def main():
    program, title = sys.argv[1], sys.argv[2]
    for app in pyatspi.Registry.getDesktop(0):
        if app is None or app.name != program:
            continue
        for window in app:
            if window is not None and window.name == title:
                shown = list(texts(window))
                print("\n".join(shown))
                return 0 if shown else 1
    return 1


if __name__ == "__main__":
    sys.exit(main())
