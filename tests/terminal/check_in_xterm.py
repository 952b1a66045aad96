#!/usr/bin/env python3
"""Shows the classic example screen in a real xterm and checks the pixels of
a screenshot: each colour must be the VGA card's, whatever xterm's own
palette says, and with GNOME Terminal's habit of showing bold text in the
normal colour (boldColors: false), so nothing may count on bold.

    check_in_xterm.py [--save PNG] GENERATOR PROGRAM [ARGUMENT...]

Runs on an X display (under xvfb-run). GENERATOR is
examples/make_classic_screen.py; PROGRAM shows the screen, and runs with
COLORTERM=truecolor. The screen's frame (light cyan on blue) tells where
its 80 x 12 cells lie; then the pixel in the middle of every blank cell
must be its background, and of every full block its text colour. --save
keeps the screenshot of the terminal's window.
"""

import importlib.util
import os
import shlex
import subprocess
import sys
import tempfile
import time

COLUMNS, ROWS = 100, 16
FULL_BLOCK = "█"


def load_generator(path):
    spec = importlib.util.spec_from_file_location("make_classic_screen", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def read_ppm(data):
    """Width, height and rows of (r, g, b) of a binary PPM (P6, 8 bits)."""
    fields = []
    at = 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at)
            continue
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    if fields[0] != b"P6" or fields[3] != b"255":
        sys.exit("the screenshot is no 8-bit PPM")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[at + 1:]
    rows = [[tuple(pixels[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
            for y in range(height)]
    return width, height, rows


def screenshot(program, folder):
    """Runs PROGRAM in an xterm and returns the screen's pixels as a PPM."""
    done = os.path.join(folder, "done")
    command = ("COLORTERM=truecolor " + " ".join(shlex.quote(part) for part in program) +
               f"; touch {shlex.quote(done)}; exec sleep 600")
    xterm = subprocess.Popen(
        ["xterm", "-geometry", f"{COLUMNS}x{ROWS}+0+0", "-fa", "DejaVu Sans Mono", "-fs", "11",
         "-b", "0", "+sb", "-u8", "-bg", "black", "-fg", "grey",
         "-xrm", "XTerm*boldColors: false", "-e", "sh", "-c", command],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        for _ in range(600):
            if os.path.exists(done) or xterm.poll() is not None:
                break
            time.sleep(0.1)
        if not os.path.exists(done):
            sys.exit("xterm did not show the screen within a minute")
        time.sleep(1)  # xterm draws what it was sent a moment later
        return subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                              check=True, capture_output=True).stdout
    finally:
        xterm.kill()
        xterm.wait()


def frame_box(rows, colours):
    """The smallest box around the pixels of the given colours."""
    found = [(x, y) for y, row in enumerate(rows) for x, pixel in enumerate(row)
             if pixel in colours]
    if not found:
        return None
    xs = [x for x, _ in found]
    ys = [y for _, y in found]
    return min(xs), min(ys), max(xs) + 1, max(ys) + 1


def hex_colour(rgb):
    return "#%02X%02X%02X" % rgb


def main(arguments):
    save = None
    if len(arguments) > 2 and arguments[1] == "--save":
        save = arguments[2]
        arguments = arguments[:1] + arguments[3:]
    if len(arguments) < 3:
        sys.exit(__doc__)
    generator = load_generator(arguments[1])
    picture = generator.intended_picture()
    palette = [tuple(rgb) for rgb in generator.VGA_PALETTE]
    with tempfile.TemporaryDirectory() as folder:
        ppm = screenshot(arguments[2:], folder)
    _, _, rows = read_ppm(ppm)

    # The frame is the first 12 rows: light cyan lines on blue to its edges.
    frame_rows = 12
    box = frame_box(rows, {palette[generator.BLUE], palette[generator.BRIGHT + generator.CYAN]})
    if box is None:
        sys.exit("no pixel of the frame's blue #0000AA or light cyan #55FFFF anywhere: "
                 "the terminal was not told the VGA colours")
    left, top, right, bottom = box
    cell_width = (right - left) / len(picture[0])
    cell_height = (bottom - top) / frame_rows
    if save:
        subprocess.run(["convert", "ppm:-", "-crop",
                        f"{right - left}x{round(cell_height * len(picture))}+{left}+{top}",
                        "+repage", save], input=ppm, check=True)

    failures = []
    checked = 0
    for number, picture_row in enumerate(picture):
        for column, (glyph, foreground, background) in enumerate(picture_row):
            if glyph not in (" ", FULL_BLOCK):
                continue
            meant = palette[background if glyph == " " else foreground]
            x = int(left + (column + 0.5) * cell_width)
            y = int(top + (number + 0.5) * cell_height)
            shown = rows[y][x]
            checked += 1
            if shown != meant:
                failures.append(f"row {number}, column {column} {glyph!r}: pixel "
                                f"{hex_colour(shown)}, meant {hex_colour(meant)}")
    if failures:
        sys.exit("\n".join(failures[:40]))

    def middle(number, column):
        return hex_colour(rows[int(top + (number + 0.5) * cell_height)]
                          [int(left + (column + 0.5) * cell_width)])

    print(f"cells of {cell_width:g} x {cell_height:g} pixels from ({left}, {top}); "
          f"{checked} cells in their VGA colours, among them brown {middle(4, 62)}, "
          f"dark grey {middle(5, 5)} (bold black in the art), white {middle(5, 68)}, "
          f"dark grey background {middle(9, 33)}")


if __name__ == "__main__":
    main(sys.argv)
