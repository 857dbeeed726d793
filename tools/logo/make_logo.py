#!/usr/bin/env python3
"""Draws the brand logo: "LM" in red LED dots on a dark panel, 160x64.

Writes a binary PPM (no libraries needed); the JPEG in data/ayuda/Archivos/logo.jpg was made
from it with Qt, which reads PPM and writes JPEG:

    python3 tools/logo/make_logo.py /tmp/logo.ppm
    # then QImage("/tmp/logo.ppm").save("logo.jpg", "JPG", 92) in a throwaway Qt program
"""
import math
import sys

WIDTH, HEIGHT = 160, 64
PITCH = 8            # distance between dot centres, in pixels
COLS, ROWS = 20, 7   # the panel: 20 columns of 7 dots, like the sign
TOP = (HEIGHT - ROWS * PITCH) / 2
RADIUS = 3.0
SAMPLES = 4          # supersampling per axis, for round dots

GLYPHS = {
    "L": ["X....", "X....", "X....", "X....", "X....", "X....", "XXXXX"],
    "M": ["X...X", "XX.XX", "X.X.X", "X.X.X", "X...X", "X...X", "X...X"],
}


def lit_dots(word, first_col):
    lit = set()
    col = first_col
    for letter in word:
        rows = GLYPHS[letter]
        for r, line in enumerate(rows):
            for c, mark in enumerate(line):
                if mark == "X":
                    lit.add((col + c, r))
        col += len(rows[0]) + 2
    return lit


def centre(col, row):
    return (col * PITCH + PITCH / 2, TOP + row * PITCH + PITCH / 2)


def main(out_path):
    word = "LM"
    used = sum(len(GLYPHS[ch][0]) for ch in word) + 2 * (len(word) - 1)
    lit = lit_dots(word, (COLS - used) // 2)
    background = (14, 10, 12)
    unlit = (58, 14, 14)
    on = (255, 44, 28)
    hot = (255, 200, 170)
    pixels = bytearray()
    for y in range(HEIGHT):
        for x in range(WIDTH):
            col = min(COLS - 1, max(0, int(x // PITCH)))
            row = min(ROWS - 1, max(0, int((y - TOP) // PITCH)))
            cx, cy = centre(col, row)
            is_lit = (col, row) in lit
            # Coverage of the nearest dot, supersampled.
            inside = 0
            core = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    px = x + (sx + 0.5) / SAMPLES
                    py = y + (sy + 0.5) / SAMPLES
                    d = math.hypot(px - cx, py - cy)
                    if d <= RADIUS:
                        inside += 1
                    if d <= RADIUS * 0.45:
                        core += 1
            a = inside / (SAMPLES * SAMPLES)
            k = core / (SAMPLES * SAMPLES)
            # Soft red glow around the lit dots nearby.
            glow = 0.0
            for dc in (-1, 0, 1):
                for dr in (-1, 0, 1):
                    if (col + dc, row + dr) in lit:
                        gx, gy = centre(col + dc, row + dr)
                        d = math.hypot(x + 0.5 - gx, y + 0.5 - gy)
                        glow += 0.55 * math.exp(-((d / 4.5) ** 2))
            glow = min(glow, 1.0)
            base = [background[i] + (on[i] - background[i]) * glow * 0.45 for i in range(3)]
            dot = on if is_lit else unlit
            colour = [base[i] * (1 - a) + dot[i] * a for i in range(3)]
            if is_lit:
                colour = [colour[i] * (1 - k) + hot[i] * k for i in range(3)]
            pixels += bytes(max(0, min(255, round(v))) for v in colour)
    with open(out_path, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (WIDTH, HEIGHT))
        f.write(pixels)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "logo.ppm")
