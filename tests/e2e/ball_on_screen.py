#!/usr/bin/env python3
"""Finds the ball in a screenshot of the window and prints the rows of its
element's top and bottom edges (Top and Top + 73), or with --centre the
centre of its coloured pixels on a 4 px grid; or "none".

    ball_on_screen.py SHOT.png [LEFT RIGHT | --centre]

Only the columns LEFT..RIGHT are searched (by default the ball's own column
at rest; with --centre, all). The ball is told apart by colour: orange to dark brown, red well
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


def pixels(path):
    size = subprocess.run(["identify", "-format", "%w %h", path], check=True,
                          capture_output=True, text=True).stdout.split()
    raw = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True,
                         capture_output=True).stdout
    return int(size[0]), int(size[1]), raw


# The ball's pixels on a grid of step px.
def coloured_pixels(path, step):
    width, height, raw = pixels(path)
    return [(x, y) for y in range(0, height, step) for x in range(0, width, step)
            if is_ball(*raw[3 * (y * width + x):3 * (y * width + x) + 3])]


def coloured_rows(path, left=0, right=None):
    width, height, raw = pixels(path)
    right = width if right is None else min(right, width)
    rows = []
    for y in range(height):
        line = raw[y * width * 3:(y + 1) * width * 3]
        if any(is_ball(*line[3 * x:3 * x + 3]) for x in range(max(left, 0), right)):
            rows.append(y)
    return rows, height


def centre(path):
    found = coloured_pixels(path, 4)
    if not found:
        return "none"
    xs, ys = zip(*found)
    return f"{(min(xs) + max(xs)) // 2} {(min(ys) + max(ys)) // 2}"


def main():
    shot = sys.argv[1]
    if sys.argv[2:] == ["--centre"]:
        print(centre(shot))
        return
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
