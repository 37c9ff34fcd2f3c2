#!/usr/bin/env python3
"""Asks an X11 window to close the way a window manager's close button does: a WM_DELETE_WINDOW
client message. Under a bare Xvfb there is no window manager to turn Alt+F4 into that request.

    x11_close.py WINDOW_ID        (decimal or 0x hex; DISPLAY from the environment)
"""

import ctypes
import ctypes.util
import sys


class XClientMessageEvent(ctypes.Structure):
    _fields_ = [
        ("type", ctypes.c_int),
        ("serial", ctypes.c_ulong),
        ("send_event", ctypes.c_int),
        ("display", ctypes.c_void_p),
        ("window", ctypes.c_ulong),
        ("message_type", ctypes.c_ulong),
        ("format", ctypes.c_int),
        ("data", ctypes.c_long * 5),
    ]


class XEvent(ctypes.Union):
    _fields_ = [("xclient", XClientMessageEvent), ("pad", ctypes.c_long * 24)]


CLIENT_MESSAGE = 33
CURRENT_TIME = 0


def main():
    if len(sys.argv) != 2:
        raise SystemExit("usage: x11_close.py WINDOW_ID")
    window = int(sys.argv[1], 0)
    name = ctypes.util.find_library("X11") or "libX11.so.6"
    xlib = ctypes.CDLL(name)
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XInternAtom.restype = ctypes.c_ulong
    xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                ctypes.POINTER(XEvent)]
    xlib.XFlush.argtypes = [ctypes.c_void_p]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]

    display = xlib.XOpenDisplay(None)
    if not display:
        raise SystemExit("x11_close.py: cannot open the display")
    event = XEvent()
    event.xclient.type = CLIENT_MESSAGE
    event.xclient.window = window
    event.xclient.message_type = xlib.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.xclient.format = 32
    event.xclient.data[0] = xlib.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    event.xclient.data[1] = CURRENT_TIME
    if not xlib.XSendEvent(display, window, 0, 0, ctypes.byref(event)):
        raise SystemExit("x11_close.py: XSendEvent failed")
    xlib.XFlush(display)
    xlib.XCloseDisplay(display)
    return 0


if __name__ == "__main__":
    sys.exit(main())
