#!/usr/bin/env python3
"""throw.py STEPS DY PERIOD PID: through XTest, left button down, STEPS moves DY px up every
PERIOD ms, let go moving. Prints how late the path's end was (us): the longest gap of the last
moves and release as the server took them, plus PID's wait for a processor; then the release (ns)."""
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


def waited():
    with open(f"/proc/{sys.argv[4]}/schedstat") as stat:
        return int(stat.read().split()[1]) / 1e9


xtest.XTestFakeButtonEvent(display, 1, 1, 0)
taken()
time.sleep(0.05)
times, waits = [], []
for _ in range(steps):
    waits.append(waited())
    xtest.XTestFakeRelativeMotionEvent(display, 0, -dy, 0)
    times.append(taken())
    time.sleep(period)
xtest.XTestFakeButtonEvent(display, 1, 0, 0)
times.append(taken())
released = time.time_ns()
time.sleep(0.02)
end = times[-4:]
print(round((max(b - a for a, b in zip(end, end[1:])) + waited() - waits[-3]) * 1e6), released)
x11.XCloseDisplay(display)
