#!/usr/bin/env python3
"""Finds the ball in a screenshot of the window and prints the rows of its
element's top and bottom edges (Top and Top + 73), or "none".

    ball_on_screen.py SHOT.png [LEFT RIGHT]

Only the columns LEFT..RIGHT are searched (by default the ball's own column
at rest). The ball is told apart by colour: orange to dark brown, red well
above green and green well above blue. The instruction line is a paler orange
and the close button's disc a red with almost no green, so neither passes.
The round ball does not fill its picture's corners, so the picture itself is
searched the same way to learn how far its coloured rows lie from its edges.
"""
import os
import subprocess
import sys

PICTURE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "assets", "ball.bmp")


def is_ball(r, g, b):
    return r >= 30 and 0.3 * r < g < 0.7 * r and b < 0.45 * r


def coloured_rows(path, left=0, right=None):
    size = subprocess.run(["identify", "-format", "%w %h", path], check=True,
                          capture_output=True, text=True).stdout.split()
    width, height = int(size[0]), int(size[1])
    right = width if right is None else min(right, width)
    raw = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True,
                         capture_output=True).stdout
    rows = []
    for y in range(height):
        line = raw[y * width * 3:(y + 1) * width * 3]
        if any(is_ball(*line[3 * x:3 * x + 3]) for x in range(max(left, 0), right)):
            rows.append(y)
    return rows, height


def main():
    shot = sys.argv[1]
    left, right = (int(sys.argv[2]), int(sys.argv[3])) if len(sys.argv) > 3 else (399, 479)
    rows, _ = coloured_rows(shot, left, right)
    if not rows:
        print("none")
        return
    picture_rows, picture_height = coloured_rows(PICTURE)
    top = rows[0] - picture_rows[0]
    bottom = rows[-1] + (picture_height - 1 - picture_rows[-1])
    print(f"{top} {bottom}")


if __name__ == "__main__":
    main()
