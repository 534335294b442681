#!/usr/bin/env python3
"""ball_on_screen.py SHOT.png [LEFT RIGHT | --centre]: the ball element's top and bottom rows in
columns LEFT..RIGHT (default: where it rests at start), or its centre on a 4 px grid; or "none".
Orange to dark brown, unlike the paler line and the red button; its picture's empty corners are
measured the same way."""
import os
import subprocess
import sys


def pixels(path):
    width, height = map(int, subprocess.run(["identify", "-format", "%w %h", path], check=True,
                                            capture_output=True, text=True).stdout.split())
    raw = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
    return width, height, lambda x, y: (lambda r, g, b: r >= 30 and 0.3 * r < g < 0.7 * r and b < 0.45 * r)(
        *raw[3 * (y * width + x):3 * (y * width + x) + 3])


def rows(path, left=0, right=None):
    width, height, ball = pixels(path)
    return [y for y in range(height) if any(ball(x, y) for x in range(max(left, 0), min(right or width, width)))], height


shot, args = sys.argv[1], sys.argv[2:]
if args == ["--centre"]:
    width, height, ball = pixels(shot)
    found = [(x, y) for y in range(0, height, 4) for x in range(0, width, 4) if ball(x, y)]
    print(f"{(min(x for x, _ in found) + max(x for x, _ in found)) // 2} {(min(y for _, y in found) + max(y for _, y in found)) // 2}"
          if found else "none")
    sys.exit()
found, _ = rows(shot, *(map(int, args) if args else (399, 479)))
if not found:
    sys.exit(print("none"))
art, art_height = rows(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "assets", "ball.bmp"))
print(f"{found[0] - art[0]} {found[-1] + art_height - 1 - art[-1]}")
