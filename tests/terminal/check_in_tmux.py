#!/usr/bin/env python3
"""Runs a program in a tmux terminal 132 columns wide that keeps 24-bit
colours, and checks that the terminal shows the classic example screen as it
is meant to look.

    check_in_tmux.py [--followed-by TEXT] GENERATOR PROGRAM [ARGUMENT...]

GENERATOR is examples/make_classic_screen.py, whose intended_picture() is the
80-column grid the screen was drawn as, in the VGA colours. The program runs
with COLORTERM=truecolor. The pane must hold that grid, glyph for glyph and
with each cell's text and background in the exact RGB colours of the VGA
card, beginning on the first row that matches its top row, with nothing
blinking or bold, nothing but the terminal's own blank right of column 80,
and no trace of the SAUCE record or its comment anywhere in the pane. With
--followed-by, the row after the screen must read TEXT (the viewer's status
line).
"""

import importlib.util
import os
import re
import shlex
import subprocess
import sys
import tempfile

COLUMNS, ROWS = 132, 50
ESCAPE_SEQUENCE = re.compile(r"\x1b\[([0-9;:]*)m")
DEFAULT = "default"


def load_generator(path):
    spec = importlib.util.spec_from_file_location("make_classic_screen", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def run_in_tmux(command):
    """Returns the pane's text with escape sequences, once the command ended."""
    socket = f"tremlox-test-{os.getpid()}"
    with tempfile.NamedTemporaryFile("w", suffix=".conf") as configuration:
        # Tell tmux that its terminal shows 24-bit colours, as one does.
        configuration.write("set -as terminal-features ',*:RGB'\n")
        configuration.flush()
        tmux = ["tmux", "-L", socket, "-f", configuration.name]
        channel = f"done-{os.getpid()}"
        shell_command = "COLORTERM=truecolor " + " ".join(shlex.quote(part) for part in command)
        # The pane stays open after the program, so its screen can be taken.
        script = f"{shell_command}; tmux wait-for -S {channel}; exec sleep 600"
        environment = dict(os.environ, TERM="xterm-256color")
        environment.pop("TMUX", None)
        try:
            subprocess.run(tmux + ["new-session", "-d", "-x", str(COLUMNS), "-y", str(ROWS),
                                   script], check=True, env=environment)
            subprocess.run(tmux + ["wait-for", channel], check=True, timeout=120)
            # -N keeps the blanks at the end of a row, colours and all.
            captured = subprocess.run(tmux + ["capture-pane", "-p", "-e", "-N"], check=True,
                                      capture_output=True).stdout
        finally:
            subprocess.run(tmux + ["kill-server"], stderr=subprocess.DEVNULL)
    return captured.decode("utf-8")


class Rendition:
    """What tmux's SGR sequences set: colours as (r, g, b), ("index", n) for a
    palette colour, or DEFAULT for the terminal's own."""

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
                    colour = ("index", codes[at + 2])
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


def cells_of(captured):
    """The pane as rows of cells; tmux carries its colours from line to line."""
    rendition = Rendition()
    rows = []
    for line in captured.split("\n"):
        row = []
        position = 0
        while position < len(line):
            sequence = ESCAPE_SEQUENCE.match(line, position)
            if sequence:
                rendition.apply(sequence.group(1))
                position = sequence.end()
                continue
            row.append(rendition.cell(line[position]))
            position += 1
        rows.append(row)
    return rows


def terminal_blank():
    return {"glyph": " ", "foreground": DEFAULT, "background": DEFAULT, "bold": False,
            "blink": False, "reverse": False}


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


def main(arguments):
    followed_by = None
    if len(arguments) > 2 and arguments[1] == "--followed-by":
        followed_by = arguments[2]
        arguments = arguments[:1] + arguments[3:]
    if len(arguments) < 3:
        sys.exit(__doc__)
    generator = load_generator(arguments[1])
    picture = generator.intended_picture()
    palette = [tuple(rgb) for rgb in generator.VGA_PALETTE]
    pane = cells_of(run_in_tmux(arguments[2:]))
    width = len(picture[0])
    top_row = "".join(cell[0] for cell in picture[0])
    starts = [number for number, row in enumerate(pane)
              if "".join(cell["glyph"] for cell in row[:width]) == top_row]
    if not starts:
        text = "\n".join("".join(cell["glyph"] for cell in row).rstrip() for row in pane)
        sys.exit(f"the screen's top row is nowhere in the pane:\n{text}")

    failures = []
    for number, expected_row in enumerate(picture):
        pane_row = pane[starts[0] + number] if starts[0] + number < len(pane) else []
        pane_row = pane_row + [terminal_blank()] * (COLUMNS - len(pane_row))
        shown = "".join(cell["glyph"] for cell in pane_row[:width])
        meant = "".join(cell[0] for cell in expected_row)
        if shown != meant:
            failures.append(f"row {number}:\n  meant: {meant!r}\n  shown: {shown!r}")
            continue
        for column, meant_cell in enumerate(expected_row):
            failures += check_cell(number, column, meant_cell, pane_row[column], palette)
        if any(cell["glyph"] != " " or cell["background"] != DEFAULT
               for cell in pane_row[width:]):
            failures.append(f"row {number}: something right of column {width}")
    if followed_by is not None:
        after = starts[0] + len(picture)
        shown = "".join(cell["glyph"] for cell in pane[after]).strip() if after < len(pane) else ""
        if shown != followed_by:
            failures.append(f"the row after the screen:\n  meant: {followed_by!r}\n"
                            f"  shown: {shown!r}")
    text = "\n".join("".join(cell["glyph"] for cell in row) for row in pane)
    for trace in ("SAUCE", "COMNT", "IBM VGA"):
        if trace in text:
            failures.append(f"the record shows: {trace!r} is in the pane")
    if failures:
        sys.exit("\n".join(failures[:40]))
    print(f"the {COLUMNS}-column terminal shows the {width}-column picture, "
          f"{len(picture)} rows from row {starts[0]}, every cell in its VGA colours")


if __name__ == "__main__":
    main(sys.argv)
