#!/usr/bin/env python3
"""Shows an example screen in a real xterm and checks the pixels of a
screenshot against the screen's picture: its own colours must be exact,
whatever xterm's palette says, and where it leaves a colour to the
terminal, the pixels must be the terminal's own. xterm shows bold text in
the normal colour, as GNOME Terminal does (boldColors: false), so nothing
may count on bold.

    check_in_xterm.py [--light] [--beside-cat FILE] [--save PNG [--around CELLS]]
                      GENERATOR PROGRAM [ARGUMENT...]

Runs on an X display (under xvfb-run). GENERATOR is
examples/make_classic_screen.py, whose picture is in the VGA colours, or
examples/make_modern_screen.py, whose picture gives RGB colours and None
for the terminal's own. PROGRAM shows the screen, and runs with
COLORTERM=truecolor, in an xterm of grey on black, or of black on white
with --light.

The colours of the picture's top row (the classic screen's frame, the
modern one's band of xterm's colours) tell where its cells lie. Then the
pixel in the middle of every blank cell must be its background, of every
full block its text colour, each half of a half block its colour, and the
ink of every letter and digit its text colour, to within anti-aliasing.
With --beside-cat, `cat FILE` shows the screen's bytes first, and the
program's rows below must pass the same checks and be the same pixels as
cat's inside every cell (its outermost pixels, where a glyph may be
smoothed into its neighbour's, left out). --save keeps a screenshot of the
program's screen, with --around that many cells of the terminal right of
it and below it.
"""

import importlib.util
import os
import shlex
import subprocess
import sys
import tempfile
import time

COLUMNS = 100
FULL_BLOCK = "█"
# Where in a cell (across, down, in fractions of the cell) a glyph shows its
# text colour (True) and its background (False).
SAMPLES = {
    " ": [(0.5, 0.5, False)],
    FULL_BLOCK: [(0.5, 0.5, True)],
    "▀": [(0.5, 0.25, True), (0.5, 0.75, False)],
    "▄": [(0.5, 0.25, False), (0.5, 0.75, True)],
    "▌": [(0.25, 0.5, True), (0.75, 0.5, False)],
    "▐": [(0.25, 0.5, False), (0.75, 0.5, True)],
}
# How far (in each channel) the ink of a letter may be from its text colour:
# anti-aliasing blends thin strokes with the background.
INK_TOLERANCE = 48
# The terminal's own text and background colours: X11's grey and black, or
# black and white.
DARK = ((190, 190, 190), (0, 0, 0))
LIGHT = ((0, 0, 0), (255, 255, 255))


def load_generator(path):
    spec = importlib.util.spec_from_file_location(os.path.basename(path)[:-3], path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def picture_of(generator):
    """The generator's picture as rows of (glyph, foreground, background),
    each colour (r, g, b), or None for the terminal's own."""
    picture = generator.intended_picture()
    if not hasattr(generator, "VGA_PALETTE"):
        return picture
    palette = [tuple(rgb) for rgb in generator.VGA_PALETTE]
    return [[(glyph, palette[foreground], palette[background])
             for glyph, foreground, background in row] for row in picture]


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


def xterm_screenshot(options, command, folder):
    """Runs the shell command in an xterm of the options given and returns
    the screen's pixels as a PPM, once the command is done."""
    done = os.path.join(folder, "done")
    xterm = subprocess.Popen(
        ["xterm", *options, "-e", "sh", "-c",
         # The cursor is hidden, so that a screenshot shows only the program.
         f"{command}; printf '\\033[?25l'; touch {shlex.quote(done)}; exec sleep 600"],
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


def screenshot(command, rows, terminal, folder):
    """Runs the shell command in an xterm of DejaVu Sans Mono, dark or
    light, and returns the screen's pixels as a PPM."""
    foreground, background = ("black", "white") if terminal == LIGHT else ("grey", "black")
    return xterm_screenshot(
        ["-geometry", f"{COLUMNS}x{rows}+0+0", "-fa", "DejaVu Sans Mono", "-fs", "11",
         "-b", "0", "+sb", "-u8", "-bg", background, "-fg", foreground,
         "-xrm", "XTerm*boldColors: false"], command, folder)


def bounding_box(points):
    xs = [x for x, _ in points]
    ys = [y for _, y in points]
    return min(xs), min(ys), max(xs) + 1, max(ys) + 1


class Cells:
    """Where the cells of the screen lie in the screenshot: found by the
    colours of the picture's top row, which fill the box of the cells that
    use them and appear nowhere else."""

    def __init__(self, rows, picture, terminal):
        landmark = {colour for _, foreground, background in picture[0]
                    for colour in (foreground, background)} - {None, *terminal}
        cells = [(column, number) for number, row in enumerate(picture)
                 for column, cell in enumerate(row) if landmark & set(cell[1:])]
        pixels = [(x, y) for y, row in enumerate(rows) for x, pixel in enumerate(row)
                  if pixel in landmark]
        if not pixels:
            sys.exit("no pixel of the colours of the screen's top row anywhere: the terminal "
                     "was not told its colours")
        first_column, first_row, end_column, end_row = bounding_box(cells)
        left, top, right, bottom = bounding_box(pixels)
        self.width = (right - left) / (end_column - first_column)
        self.height = (bottom - top) / (end_row - first_row)
        if max(abs(self.width - round(self.width)), abs(self.height - round(self.height))) > 0.01:
            sys.exit(f"the colours of the top row fill {right - left} x {bottom - top} pixels, "
                     f"no whole number of cells: they show elsewhere, or are not the screen's")
        self.width, self.height = round(self.width), round(self.height)
        self.left = left - first_column * self.width
        self.top = top - first_row * self.height

    def pixel(self, rows, number, column, across=0.5, down=0.5):
        return rows[int(self.top + (number + down) * self.height)][
            int(self.left + (column + across) * self.width)]

    def area(self, rows, number, column, border=0):
        return [rows[self.top + number * self.height + y][self.left + column * self.width + x]
                for y in range(border, self.height - border)
                for x in range(border, self.width - border)]

    def inside(self, rows, number, column):
        """The cell's pixels but its outermost ones."""
        return self.area(rows, number, column, border=1)


def hex_colour(rgb):
    return "#%02X%02X%02X" % rgb


def check_cells(rows, cells, picture, first_row, terminal, name):
    """Checks each cell of the picture shown from first_row; returns the
    failures and how many cells were checked."""
    failures = []
    checked = 0
    own_foreground, own_background = terminal
    for number, picture_row in enumerate(picture):
        for column, (glyph, foreground, background) in enumerate(picture_row):
            foreground = foreground or own_foreground
            background = background or own_background
            where = f"{name}: row {number}, column {column} {glyph!r}"
            if glyph in SAMPLES:
                checked += 1
                for across, down, is_text in SAMPLES[glyph]:
                    meant = foreground if is_text else background
                    shown = cells.pixel(rows, first_row + number, column, across, down)
                    if shown != meant:
                        failures.append(f"{where}: pixel at ({across:g}, {down:g}) "
                                        f"{hex_colour(shown)}, meant {hex_colour(meant)}")
            elif glyph.isascii() and glyph.isalnum():
                checked += 1
                area = cells.area(rows, first_row + number, column)
                ink = max(area, key=lambda pixel: sum(abs(a - b)
                                                      for a, b in zip(pixel, background)))
                if any(abs(a - b) > INK_TOLERANCE for a, b in zip(ink, foreground)):
                    failures.append(f"{where}: ink {hex_colour(ink)}, meant "
                                    f"{hex_colour(foreground)}")
    return failures, checked


def main(arguments):
    save = cat = None
    around = 0
    terminal = DARK
    arguments = arguments[1:]
    while arguments and arguments[0] in ("--light", "--beside-cat", "--save", "--around"):
        option = arguments.pop(0)
        if option == "--light":
            terminal = LIGHT
        elif option == "--beside-cat" and arguments:
            cat = arguments.pop(0)
        elif option == "--around" and arguments:
            around = int(arguments.pop(0))
        elif option == "--save" and arguments:
            save = arguments.pop(0)
    if len(arguments) < 2:
        sys.exit(__doc__)
    generator = load_generator(arguments[0])
    picture = picture_of(generator)
    height = len(picture)
    command = "COLORTERM=truecolor " + " ".join(shlex.quote(part) for part in arguments[1:])
    # cat's copy comes first, the program's right below it.
    copies = 1
    if cat is not None:
        command = f"cat {shlex.quote(cat)}; {command}"
        copies = 2
    margin = 3
    with tempfile.TemporaryDirectory() as folder:
        ppm = screenshot(command, copies * height + margin, terminal, folder)
    _, _, rows = read_ppm(ppm)
    cells = Cells(rows, picture * copies, terminal)
    program_row = (copies - 1) * height
    if save:
        saved_columns = min(len(picture[0]) + around, COLUMNS)
        saved_rows = height + min(around, margin)
        subprocess.run(["convert", "ppm:-", "-crop",
                        f"{saved_columns * cells.width}x{saved_rows * cells.height}+{cells.left}"
                        f"+{cells.top + program_row * cells.height}", "+repage", save],
                       input=ppm, check=True)

    failures, checked = check_cells(rows, cells, picture, program_row, terminal, "shown")
    if cat is not None:
        cat_failures, _ = check_cells(rows, cells, picture, 0, terminal, "cat")
        failures += cat_failures
        # Where one cell's glyph is smoothed into its neighbour's edge depends
        # on how xterm's reads split the text, so only the cells' insides are
        # compared.
        for number in range(height):
            for column in range(COLUMNS):
                cat_cell = cells.inside(rows, number, column)
                shown_cell = cells.inside(rows, height + number, column)
                if cat_cell != shown_cell:
                    at = next(index for index, pixel in enumerate(cat_cell)
                              if pixel != shown_cell[index])
                    failures.append(f"row {number}, column {column}: "
                                    f"{sum(a != b for a, b in zip(cat_cell, shown_cell))} "
                                    f"pixels differ from cat's, e.g. "
                                    f"{hex_colour(shown_cell[at])} where cat shows "
                                    f"{hex_colour(cat_cell[at])}")
    if failures:
        sys.exit("\n".join(failures[:40]))

    def middle(number, column):
        return hex_colour(cells.pixel(rows, program_row + number, column))

    print(f"cells of {cells.width} x {cells.height} pixels from ({cells.left}, {cells.top}); "
          f"{checked} cells in their colours" +
          (", the same pixels as cat's inside every cell" if cat is not None else "") +
          f"; the terminal's own background right of the screen: {middle(0, len(picture[0]) + 2)}")
    if hasattr(generator, "VGA_PALETTE"):
        print(f"brown {middle(4, 62)}, dark grey {middle(5, 5)} (bold black in the art), white "
              f"{middle(5, 68)}, dark grey background {middle(9, 33)}, black {middle(6, 1)}")


if __name__ == "__main__":
    main(sys.argv)
