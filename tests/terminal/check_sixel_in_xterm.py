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

from check_in_xterm import read_ppm, xterm_screenshot

CELL_WIDTH, CELL_HEIGHT = 6, 13  # the font "6x13"
# xterm takes colours in percent: 85 shows as 84, 170 as 171.
TOLERANCE = 2
# What the shell prints after the picture: a red cell (xterm's red).
MARK = (205, 0, 0)


def screenshot(command, rows, folder):
    """The shell command's screen in an xterm that is a VT340, with the
    red cell after it, as rows of pixels."""
    return read_ppm(xterm_screenshot(
        ["-ti", "vt340", "-xrm", "XTerm*decTerminalID: vt340",
         "-xrm", "XTerm*numColorRegisters: 256", "-fn", "6x13", "-b", "0", "+sb",
         "-geometry", f"130x{rows}+0+0", "-bg", "black", "-fg", "grey"],
        f"{command} && printf '\\033[41m  \\033[0m'", folder))


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
        _, _, shot = screenshot(command, rows, folder)
    # The picture starts at the cursor, at the window's top left, give or
    # take the border: where its first row is.
    spots = [(x, y) for y in range(8) for x in range(8)
             if all(close(shot[y][x + i], picture[0][i]) for i in range(width))]
    if not spots:
        sys.exit("the picture's first row is nowhere at the window's top left")
    left, top = spots[0]
    wrong = [(x, y) for y in range(height) for x in range(width)
             if not close(shot[top + y][left + x], picture[y][x])]
    if wrong:
        x, y = wrong[0]
        sys.exit(f"{len(wrong)} pixels differ from the picture, the first at ({x}, {y}): "
                 f"{shot[top + y][left + x]}, meant {picture[y][x]}")
    mark_top = top + -(-height // CELL_HEIGHT) * CELL_HEIGHT
    if shot[mark_top + CELL_HEIGHT // 2][left + CELL_WIDTH] != MARK:
        sys.exit("the cursor did not end at the start of the line below the picture")
    print(f"{width} x {height} pixels as painted, the cursor below them")


main()
