"""Starts a program and prints the milliseconds from its exec to its window being mapped.

Usage: startup_probe.py TITLE_PART TIMEOUT_S COMMAND...   (DISPLAY must name a window manager
that keeps _NET_CLIENT_LIST). The program runs in the current directory with output to its
inherited descriptors, and is stopped once its window shows. Exit 1 if no window appeared.

Talks to the X server through libX11 with ctypes, so it needs no python module beyond the
standard library, and asks every 2 ms: far finer than spawning xdotool or xwininfo each time.
"""

import ctypes
import ctypes.util
import os
import signal
import subprocess
import sys
import time

x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
Window = ctypes.c_ulong
Atom = ctypes.c_ulong
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XDefaultRootWindow.restype = Window
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XInternAtom.restype = Atom
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XGetWindowProperty.argtypes = [
    ctypes.c_void_p, Window, Atom, ctypes.c_long, ctypes.c_long, ctypes.c_int, Atom,
    ctypes.POINTER(Atom), ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong),
    ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_void_p)]
x11.XFree.argtypes = [ctypes.c_void_p]
x11.XSetErrorHandler.restype = ctypes.c_void_p
ErrorHandler = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)


class XWindowAttributes(ctypes.Structure):
    # Only map_state is read; the layout up to it must be exact, the tail is padding.
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("border_width", ctypes.c_int),
                ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", Window), ("c_class", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int),
                ("backing_planes", ctypes.c_ulong), ("backing_pixel", ctypes.c_ulong),
                ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong),
                ("map_installed", ctypes.c_int), ("map_state", ctypes.c_int),
                ("pad", ctypes.c_char * 128)]


x11.XGetWindowAttributes.argtypes = [ctypes.c_void_p, Window,
                                     ctypes.POINTER(XWindowAttributes)]
IS_VIEWABLE = 2
ANY_PROPERTY_TYPE = 0


def get_property(display, window, atom):
    """The raw bytes and item count of a window property, or (b"", 0)."""
    actual_type, actual_format = Atom(), ctypes.c_int()
    count, after, data = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_void_p()
    status = x11.XGetWindowProperty(display, window, atom, 0, 65536, 0, ANY_PROPERTY_TYPE,
                                    ctypes.byref(actual_type), ctypes.byref(actual_format),
                                    ctypes.byref(count), ctypes.byref(after),
                                    ctypes.byref(data))
    if status != 0 or not data.value:
        return b"", 0, 0
    # Format 32 items are longs in Xlib's memory, whatever their wire size.
    size = {8: 1, 16: ctypes.sizeof(ctypes.c_short), 32: ctypes.sizeof(ctypes.c_long)}
    raw = ctypes.string_at(data.value, count.value * size.get(actual_format.value, 1))
    x11.XFree(data)
    return raw, count.value, actual_format.value


def longs(raw, count):
    return list((ctypes.c_ulong * count).from_buffer_copy(raw)) if count else []


def main():
    title, timeout, command = sys.argv[1].encode(), float(sys.argv[2]), sys.argv[3:]
    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("cannot open the display")
    # A window can vanish between listing and asking about it: ignore those errors.
    handler = ErrorHandler(lambda d, e: 0)
    x11.XSetErrorHandler(handler)
    root = x11.XDefaultRootWindow(display)
    client_list = x11.XInternAtom(display, b"_NET_CLIENT_LIST", 0)
    wm_pid = x11.XInternAtom(display, b"_NET_WM_PID", 0)
    wm_name = x11.XInternAtom(display, b"_NET_WM_NAME", 0)

    start = time.monotonic_ns()
    child = subprocess.Popen(command)
    shown = None
    deadline = start + int(timeout * 1e9)
    attributes = XWindowAttributes()
    while shown is None and time.monotonic_ns() < deadline and child.poll() is None:
        for window in longs(*get_property(display, root, client_list)[:2]):
            pids = longs(*get_property(display, window, wm_pid)[:2])
            if pids != [child.pid] or title not in get_property(display, window, wm_name)[0]:
                continue
            if (x11.XGetWindowAttributes(display, window, ctypes.byref(attributes))
                    and attributes.map_state == IS_VIEWABLE):
                shown = time.monotonic_ns()
                break
        else:
            time.sleep(0.002)
    if child.poll() is None:
        child.send_signal(signal.SIGTERM)
        try:
            child.wait(5)
        except subprocess.TimeoutExpired:
            child.kill()
            child.wait()
    if shown is None:
        sys.exit(1)
    print(f"{(shown - start) / 1e6:.1f}")


if __name__ == "__main__":
    main()
