#!/usr/bin/env python3
"""Shows the classic screen as sixel images in a real xterm (-ti vt340) with
`tremlox-view --graphics=sixel`, and checks a screenshot: the picture must
appear whole, one unbroken block of its own pixels where the bands meet,
and the cursor must end at the start of the line below it.

    check_sixel_in_xterm.py COPIES SCREEN VIEW...

Runs on an X display (under xvfb-run). The screen shown is the art of
SCREEN COPIES times over, one below the other; the viewer asks xterm for
the height of its cells, and the picture it must show is the one `VIEW -o`
paints.
"""

import os
import subprocess
import sys
import tempfile
import time

CELL_WIDTH, CELL_HEIGHT = 6, 13  # the font "6x13"
# xterm takes colours in percent: 85 shows as 84, 170 as 171.
TOLERANCE = 2
# What the shell prints after the picture: a red cell (xterm's red).
MARK = (205, 0, 0)


def read_ppm(data):
    """Width, height and the pixels, row by row, as (r, g, b)."""
    magic, width, height, depth, pixels = data.split(maxsplit=4)
    if magic != b"P6" or depth != b"255":
        sys.exit("no 8-bit PPM")
    width, height = int(width), int(height)
    return width, height, [tuple(pixels[at:at + 3]) for at in range(0, width * height * 3, 3)]


def screenshot(command, rows, folder):
    done = os.path.join(folder, "done")
    xterm = subprocess.Popen(
        ["xterm", "-ti", "vt340", "-xrm", "XTerm*decTerminalID: vt340",
         "-xrm", "XTerm*numColorRegisters: 256", "-fn", "6x13", "-b", "0", "+sb",
         "-geometry", f"130x{rows}+0+0", "-bg", "black", "-fg", "grey", "-e", "sh", "-c",
         f"{command} && printf '\\033[41m  \\033[0m\\033[?25l'; touch {done}; exec sleep 600"],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        for _ in range(600):
            if os.path.exists(done) or xterm.poll() is not None:
                break
            time.sleep(0.1)
        if not os.path.exists(done):
            sys.exit("xterm did not show the picture within a minute")
        time.sleep(1)  # xterm draws what it was sent a moment later
        return subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                              check=True, capture_output=True).stdout
    finally:
        xterm.kill()
        xterm.wait()


def close(a, b):
    return all(abs(x - y) <= TOLERANCE for x, y in zip(a, b))


def main():
    copies, screen, view = int(sys.argv[1]), sys.argv[2], sys.argv[3:]
    with tempfile.TemporaryDirectory() as folder:
        art = os.path.join(folder, "art.ans")
        with open(screen, "rb") as source, open(art, "wb") as copy:
            copy.write(source.read().split(b"\x1a")[0] * copies)
        expected = os.path.join(folder, "picture.png")
        subprocess.run([*view, "-o", expected, art], check=True)
        width, height, picture = read_ppm(subprocess.run(
            ["convert", expected, "-depth", "8", "ppm:-"], check=True,
            capture_output=True).stdout)
        command = " ".join(f"'{part}'" for part in [*view, "--graphics=sixel", art])
        rows = -(-height // CELL_HEIGHT) + 4
        shot_width, _, shot = read_ppm(screenshot(command, rows, folder))
    # The picture starts at the cursor, at the window's top left, give or
    # take the border: where its first row is.
    spots = [(x, y) for y in range(8) for x in range(8)
             if all(close(shot[(y * shot_width) + x + i], picture[i]) for i in range(width))]
    if not spots:
        sys.exit("the picture's first row is nowhere at the window's top left")
    left, top = spots[0]
    wrong = [(x, y) for y in range(height) for x in range(width)
             if not close(shot[(top + y) * shot_width + left + x], picture[y * width + x])]
    if wrong:
        x, y = wrong[0]
        sys.exit(f"{len(wrong)} pixels differ from the picture, the first at ({x}, {y}): "
                 f"{shot[(top + y) * shot_width + left + x]}, meant {picture[y * width + x]}")
    mark_top = top + -(-height // CELL_HEIGHT) * CELL_HEIGHT
    if shot[(mark_top + CELL_HEIGHT // 2) * shot_width + left + CELL_WIDTH] != MARK:
        sys.exit("the cursor did not end at the start of the line below the picture")
    print(f"{width} x {height} pixels as painted, the cursor below them")


main()
