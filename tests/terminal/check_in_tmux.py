#!/usr/bin/env python3
"""Runs a program in a tmux terminal that keeps 24-bit colours, and checks
what the terminal shows, cell by cell.

    check_in_tmux.py [--columns N] [--followed-by TEXT] GENERATOR PROGRAM [ARGUMENT...]
    check_in_tmux.py --like-cat FILE [--columns N] GENERATOR PROGRAM [ARGUMENT...]
    check_in_tmux.py --same-as-cat FILE [--columns N] PROGRAM [ARGUMENT...]

The pane is N columns wide (default 132) and 50 rows tall, and the program
runs with COLORTERM=truecolor.

In the first form GENERATOR is examples/make_classic_screen.py, whose
intended_picture() is the 80-column grid the screen was drawn as, in the VGA
colours. The pane must hold that grid clipped to N columns, glyph for glyph
and with each cell's text and background in the exact RGB colours of the
VGA card, beginning on the first row that matches its top row, with nothing
blinking or bold, nothing but the terminal's own blank right of column 80,
and no trace of the SAUCE record or its comment anywhere in the pane. Rows
are clipped, never wrapped: each row of the pane is the next row of the
picture, and the row after the screen is blank, or reads TEXT with
--followed-by (the example viewer's status line).

In the second form GENERATOR is examples/make_modern_screen.py and FILE the
screen it writes. `cat FILE` in a pane of 132 columns is the reference: it
must show intended_picture(). The program, in a pane of N columns, must show
what cat shows in the art's rows and the first N columns, cell for cell:
glyph, text and background colour (the terminal's own, or RGB; xterm's
colours 16-255 count as their RGB), bold and reverse. A wide glyph that the
pane's edge cuts in two must be a blank in its background. Wherever the art
leaves a colour to the terminal, both panes must show the terminal's own.

In the third form `cat FILE` and the program run in panes of the same
width, and tmux must write both panes' cells as the same text: glyphs,
colours as the art named them (31 and 38;5;1 apart), every attribute and
the underline's colour.
"""

import importlib.util
import os
import re
import shlex
import subprocess
import sys
import tempfile
import unicodedata

DEFAULT_COLUMNS, ROWS = 132, 50
ESCAPE_SEQUENCE = re.compile(r"\x1b\[([0-9;:]*)m")
DEFAULT = "default"
# The cell right of a wide glyph, which tmux writes once for both.
RIGHT_HALF = ""


def load_generator(path):
    spec = importlib.util.spec_from_file_location(os.path.basename(path)[:-3], path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def run_in_tmux(panes):
    """Runs each (columns, command) in a pane of its own, and returns the
    panes' text with escape sequences, once every command ended."""
    socket = f"tremlox-test-{os.getpid()}"
    with tempfile.NamedTemporaryFile("w", suffix=".conf") as configuration:
        # Tell tmux that its terminal shows 24-bit colours, as one does.
        configuration.write("set -as terminal-features ',*:RGB'\n")
        configuration.flush()
        tmux = ["tmux", "-L", socket, "-f", configuration.name]
        environment = dict(os.environ, TERM="xterm-256color")
        environment.pop("TMUX", None)
        captures = []
        try:
            for number, (columns, command) in enumerate(panes):
                channel = f"done-{os.getpid()}-{number}"
                shell_command = ("COLORTERM=truecolor " +
                                 " ".join(shlex.quote(part) for part in command))
                # The pane stays open after the program, so its screen can be taken.
                script = f"{shell_command}; tmux wait-for -S {channel}; exec sleep 600"
                subprocess.run(tmux + ["new-session", "-d", "-s", f"pane{number}",
                                       "-x", str(columns), "-y", str(ROWS), script],
                               check=True, env=environment)
            for number in range(len(panes)):
                subprocess.run(tmux + ["wait-for", f"done-{os.getpid()}-{number}"], check=True,
                               timeout=120)
                # -N keeps the blanks at the end of a row, colours and all.
                captures.append(subprocess.run(
                    tmux + ["capture-pane", "-p", "-e", "-N", "-t", f"pane{number}"],
                    check=True, capture_output=True).stdout.decode("utf-8"))
        finally:
            subprocess.run(tmux + ["kill-server"], stderr=subprocess.DEVNULL)
    return captures


def xterm_rgb(number):
    """xterm's colours 16-255 as (r, g, b): a 6 x 6 x 6 cube, then 24 greys."""
    if number >= 232:
        return (8 + 10 * (number - 232),) * 3
    levels = (0, 95, 135, 175, 215, 255)
    number -= 16
    return (levels[number // 36], levels[number // 6 % 6], levels[number % 6])


class Rendition:
    """What tmux's SGR sequences set: colours as (r, g, b), ("index", n) for
    one of the terminal's sixteen colours, or DEFAULT for the terminal's own."""

    def __init__(self):
        self.reset()

    def reset(self):
        self.foreground = self.background = DEFAULT
        self.bold = self.blink = self.reverse = False

    def apply(self, parameters):
        codes = [int(code) if code else 0 for code in re.split("[;:]", parameters)]
        at = 0
        while at < len(codes):
            code = codes[at]
            if code in (38, 48) and at + 1 < len(codes):
                if codes[at + 1] == 2 and at + 4 < len(codes):
                    colour = tuple(codes[at + 2:at + 5])
                    at += 5
                elif codes[at + 1] == 5 and at + 2 < len(codes):
                    number = codes[at + 2]
                    colour = ("index", number) if number < 16 else xterm_rgb(number)
                    at += 3
                else:
                    at += 2
                    continue
                if code == 38:
                    self.foreground = colour
                else:
                    self.background = colour
                continue
            if code == 0:
                self.reset()
            elif code == 1:
                self.bold = True
            elif code == 22:
                self.bold = False
            elif code in (5, 6):
                self.blink = True
            elif code == 25:
                self.blink = False
            elif code == 7:
                self.reverse = True
            elif code == 27:
                self.reverse = False
            elif 30 <= code <= 37 or 90 <= code <= 97:
                self.foreground = ("index", code - 30 if code < 90 else code - 82)
            elif code == 39:
                self.foreground = DEFAULT
            elif 40 <= code <= 47 or 100 <= code <= 107:
                self.background = ("index", code - 40 if code < 100 else code - 92)
            elif code == 49:
                self.background = DEFAULT
            at += 1

    def cell(self, glyph):
        return {"glyph": glyph, "foreground": self.foreground, "background": self.background,
                "bold": self.bold, "blink": self.blink, "reverse": self.reverse}


def joins_the_glyph_before(character):
    return unicodedata.category(character) in ("Mn", "Me", "Cf")


def cells_of(captured, columns):
    """The pane as rows of `columns` cells; tmux carries its colours from
    line to line, writes a wide glyph once for its two cells, and leaves out
    the cells never written at the end of a row."""
    rendition = Rendition()
    rows = []
    for line in captured.split("\n")[:ROWS]:
        row = []
        position = 0
        while position < len(line):
            sequence = ESCAPE_SEQUENCE.match(line, position)
            if sequence:
                rendition.apply(sequence.group(1))
                position = sequence.end()
                continue
            character = line[position]
            position += 1
            if row and joins_the_glyph_before(character):
                row[-1]["glyph"] += character
                continue
            row.append(rendition.cell(character))
            if unicodedata.east_asian_width(character) in ("W", "F"):
                row.append(dict(row[-1], glyph=RIGHT_HALF))
        if len(row) > columns:
            sys.exit(f"a row of the pane holds {len(row)} cells in {columns} columns: tmux "
                     f"and this script disagree on the width of a glyph in {line!r}")
        rows.append(row + [terminal_blank()] * (columns - len(row)))
    return rows


def terminal_blank():
    return {"glyph": " ", "foreground": DEFAULT, "background": DEFAULT, "bold": False,
            "blink": False, "reverse": False}


def text_of(pane):
    return "\n".join("".join(cell["glyph"] for cell in row).rstrip() for row in pane)


# ---- The classic screen, against its picture in the VGA colours


def check_cell(number, column, meant, shown, palette):
    glyph, foreground, background = meant
    problems = []
    if shown["blink"] or shown["bold"] or shown["reverse"]:
        problems.append("blinks, or is bold or reversed")
    if shown["foreground"] != palette[foreground]:
        problems.append(f"text {shown['foreground']}, meant {palette[foreground]}")
    if shown["background"] != palette[background]:
        problems.append(f"background {shown['background']}, meant {palette[background]}")
    return [f"row {number}, column {column} {glyph!r}: {problem}" for problem in problems]


def check_classic(generator, program, columns, followed_by):
    picture = generator.intended_picture()
    palette = [tuple(rgb) for rgb in generator.VGA_PALETTE]
    pane = cells_of(run_in_tmux([(columns, program)])[0], columns)
    art_width = len(picture[0])
    width = min(art_width, columns)
    top_row = "".join(cell[0] for cell in picture[0][:width])
    starts = [number for number, row in enumerate(pane)
              if "".join(cell["glyph"] for cell in row[:width]) == top_row]
    if not starts:
        sys.exit(f"the screen's top row is nowhere in the pane:\n{text_of(pane)}")

    failures = []
    for number, expected_row in enumerate(picture):
        pane_row = pane[starts[0] + number] if starts[0] + number < len(pane) else []
        shown = "".join(cell["glyph"] for cell in pane_row[:width])
        meant = "".join(cell[0] for cell in expected_row[:width])
        if shown != meant:
            failures.append(f"row {number}:\n  meant: {meant!r}\n  shown: {shown!r}")
            continue
        for column, meant_cell in enumerate(expected_row[:width]):
            failures += check_cell(number, column, meant_cell, pane_row[column], palette)
        if any(cell != terminal_blank() for cell in pane_row[width:]):
            failures.append(f"row {number}: something right of column {width}")
    after = starts[0] + len(picture)
    shown = "".join(cell["glyph"] for cell in pane[after]).strip() if after < len(pane) else ""
    meant = followed_by[:columns].strip() if followed_by is not None else ""
    if shown != meant:
        failures.append(f"the row after the screen:\n  meant: {meant!r}\n  shown: {shown!r}")
    text = text_of(pane)
    for trace in ("SAUCE", "COMNT", "IBM VGA"):
        if trace in text:
            failures.append(f"the record shows: {trace!r} is in the pane")
    if failures:
        sys.exit("\n".join(failures[:40]))
    print(f"the {columns}-column terminal shows the {art_width}-column picture clipped to "
          f"{width} columns, {len(picture)} rows from row {starts[0]}, every cell in its VGA "
          f"colours")


# ---- The modern screen, against cat of its bytes


def described(cell):
    attributes = "".join(name for name in ("bold", "reverse", "blink") if cell[name])
    return (f"{cell['glyph']!r} text {cell['foreground']} on {cell['background']}"
            + (f", {attributes}" if attributes else ""))


def check_against_picture(picture, pane):
    """What cat shows must be the generator's picture, so that the picture is
    what a terminal makes of the bytes."""
    failures = []
    for number, picture_row in enumerate(picture):
        for column, (glyph, foreground, background) in enumerate(picture_row):
            shown = pane[number][column]
            meant = {"glyph": glyph, "foreground": foreground or DEFAULT,
                     "background": background or DEFAULT}
            if any(shown[key] != value for key, value in meant.items()):
                failures.append(f"cat: row {number}, column {column}: {described(shown)}, "
                                f"meant {glyph!r} text {meant['foreground']} on "
                                f"{meant['background']}")
    return failures


def check_like_cat(generator, screen, program, columns):
    picture = generator.intended_picture()
    reference, shown = (
        cells_of(capture, width) for capture, width in
        zip(run_in_tmux([(DEFAULT_COLUMNS, ["cat", screen]), (columns, program)]),
            (DEFAULT_COLUMNS, columns)))
    failures = check_against_picture(picture, reference)
    left_to_terminal = 0
    for number, picture_row in enumerate(picture):
        for column in range(columns):
            meant, cell = reference[number][column], shown[number][column]
            where = f"row {number}, column {column}"
            cut = (column == columns - 1 and column + 1 < DEFAULT_COLUMNS and
                   reference[number][column + 1]["glyph"] == RIGHT_HALF)
            if cut:
                if cell["glyph"] != " " or cell["background"] != meant["background"]:
                    failures.append(f"{where}: {described(cell)}, meant a blank on "
                                    f"{meant['background']} for {meant['glyph']!r}, which "
                                    f"the edge cuts")
            elif any(cell[key] != meant[key] for key in
                     ("glyph", "foreground", "background", "bold", "reverse", "blink")):
                failures.append(f"{where}: {described(cell)}, cat shows {described(meant)}")
            if column >= len(picture_row):
                continue
            _, foreground, background = picture_row[column]
            for layer, colour in (("foreground", foreground), ("background", background)):
                if colour is None:
                    left_to_terminal += 1
                    if cell[layer] != DEFAULT:
                        failures.append(f"{where}: {layer} {cell[layer]}, meant the "
                                        f"terminal's own")
    # Nothing of a row goes on to the next: after the art, the pane is blank.
    if any(cell != terminal_blank() for row in shown[len(picture):] for cell in row):
        failures.append(f"the pane holds more than the art's {len(picture)} rows:\n"
                        f"{text_of(shown)}")
    if failures:
        sys.exit("\n".join(failures[:40]))
    print(f"the {columns}-column terminal shows the art's {len(picture)} rows as cat does in "
          f"{DEFAULT_COLUMNS} columns, cell for cell, the {left_to_terminal} colours it leaves "
          f"to the terminal included")


def check_same_as_cat(screen, program, columns):
    """tmux writes what a pane holds from its cells: the same text for two
    panes means the same cells, every attribute included."""
    reference, shown = run_in_tmux([(columns, ["cat", screen]), (columns, program)])
    for number, (meant, line) in enumerate(zip(reference.split("\n"), shown.split("\n"))):
        if line != meant:
            sys.exit(f"row {number}:\n  cat shows {meant!r}\n  the program {line!r}")
    print(f"the {columns}-column terminal shows what cat shows, cell for cell, every "
          f"attribute included")


def main(arguments):
    columns = DEFAULT_COLUMNS
    followed_by = screen = same_as = None
    arguments = arguments[1:]
    while len(arguments) > 1 and arguments[0] in ("--columns", "--followed-by", "--like-cat",
                                                  "--same-as-cat"):
        option, value = arguments[:2]
        arguments = arguments[2:]
        if option == "--columns":
            columns = int(value)
        elif option == "--followed-by":
            followed_by = value
        elif option == "--like-cat":
            screen = value
        else:
            same_as = value
    if same_as is not None and arguments:
        return check_same_as_cat(same_as, arguments, columns)
    if len(arguments) < 2 or columns < 1:
        sys.exit(__doc__)
    generator = load_generator(arguments[0])
    if screen is None:
        check_classic(generator, arguments[1:], columns, followed_by)
    else:
        check_like_cat(generator, screen, arguments[1:], columns)


if __name__ == "__main__":
    main(sys.argv)
