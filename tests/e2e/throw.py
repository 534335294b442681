#!/usr/bin/env python3
"""Throws the ball under the pointer with the real pointer, through XTest:
presses the left button, then carries the pointer STEPS times DY px up, one
step every PERIOD ms, and lets go while it moves. Prints the longest time in
microseconds between two of the moves and the release as the X server took
them: what the program's 10 ms samples of the hand had to work with.

    throw.py STEPS DY PERIOD
"""
import ctypes
import sys
import time

x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
xtest = ctypes.cdll.LoadLibrary("libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
display = ctypes.c_void_p(x11.XOpenDisplay(None))
steps, dy, period = int(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3]) / 1000


def taken():
    x11.XSync(display, 0)
    return time.monotonic()


xtest.XTestFakeButtonEvent(display, 1, 1, 0)
taken()
time.sleep(0.05)
times = []
for _ in range(steps):
    xtest.XTestFakeRelativeMotionEvent(display, 0, -dy, 0)
    times.append(taken())
    time.sleep(period)
xtest.XTestFakeButtonEvent(display, 1, 0, 0)
times.append(taken())
x11.XCloseDisplay(display)
print(round(max(b - a for a, b in zip(times, times[1:])) * 1e6))
