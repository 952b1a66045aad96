#!/usr/bin/env python3
"""Runs a program in a tmux terminal 132 columns wide and checks that the
terminal shows the classic example screen as it is meant to look.

    check_in_tmux.py [--followed-by TEXT] GENERATOR PROGRAM [ARGUMENT...]

GENERATOR is examples/make_classic_screen.py, whose intended_picture() is the
80-column grid the screen was drawn as. The pane must hold that grid, glyph
for glyph and colour for colour (bold text counted bright, as a PC shows it),
beginning on the first row that matches its top row, with nothing blinking,
nothing right of column 80, and no trace of the SAUCE record or its
comment anywhere in the pane. With --followed-by, the row after the screen
must read TEXT (the viewer's status line).
"""

import importlib.util
import os
import re
import shlex
import subprocess
import sys

COLUMNS, ROWS = 132, 50
ESCAPE_SEQUENCE = re.compile(r"\x1b\[([0-9;]*)m")
# tmux numbers the colours as SGR does; the PC's order differs.
PC_COLOUR = [0, 4, 2, 6, 1, 5, 3, 7]
GREY, BLACK = 7, 0


def load_generator(path):
    spec = importlib.util.spec_from_file_location("make_classic_screen", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def run_in_tmux(command):
    """Returns the pane's text with escape sequences, once the command ended."""
    socket = f"tremlox-test-{os.getpid()}"
    tmux = ["tmux", "-L", socket, "-f", "/dev/null"]
    channel = f"done-{os.getpid()}"
    shell_command = " ".join(shlex.quote(part) for part in command)
    # The pane stays open after the program, so its screen can be taken.
    script = f"{shell_command}; tmux wait-for -S {channel}; exec sleep 600"
    environment = dict(os.environ, TERM="xterm-256color")
    environment.pop("TMUX", None)
    try:
        subprocess.run(tmux + ["new-session", "-d", "-x", str(COLUMNS), "-y", str(ROWS),
                               script], check=True, env=environment)
        subprocess.run(tmux + ["wait-for", channel], check=True, timeout=120)
        captured = subprocess.run(tmux + ["capture-pane", "-p", "-e"], check=True,
                                  capture_output=True).stdout
    finally:
        subprocess.run(tmux + ["kill-server"], stderr=subprocess.DEVNULL)
    return captured.decode("utf-8")


class Rendition:
    def __init__(self):
        self.reset()

    def reset(self):
        self.foreground, self.background = GREY, BLACK
        self.bold = self.blink = False

    def apply(self, parameters):
        for code in [int(code) if code else 0 for code in parameters.split(";")]:
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
            elif 30 <= code <= 37:
                self.foreground = PC_COLOUR[code - 30]
            elif code == 39:
                self.foreground = GREY
            elif 40 <= code <= 47:
                self.background = PC_COLOUR[code - 40]
            elif code == 49:
                self.background = BLACK
            elif 90 <= code <= 97:
                self.foreground = PC_COLOUR[code - 90] + 8
            elif 100 <= code <= 107:
                self.background = PC_COLOUR[code - 100] + 8

    def cell(self, glyph):
        foreground = self.foreground
        if self.bold and foreground < 8:
            foreground += 8
        return (glyph, foreground, self.background, self.blink)


def cells_of(captured):
    """The pane as rows of (glyph, foreground, background, blink)."""
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


def blank(cell):
    return cell[0] == " " and cell[2] == BLACK


def main(arguments):
    followed_by = None
    if len(arguments) > 2 and arguments[1] == "--followed-by":
        followed_by = arguments[2]
        arguments = arguments[:1] + arguments[3:]
    if len(arguments) < 3:
        sys.exit(__doc__)
    picture = load_generator(arguments[1]).intended_picture()
    pane = cells_of(run_in_tmux(arguments[2:]))
    width = len(picture[0])
    top_row = "".join(cell[0] for cell in picture[0])
    starts = [number for number, row in enumerate(pane)
              if "".join(cell[0] for cell in row[:width]) == top_row]
    if not starts:
        text = "\n".join("".join(cell[0] for cell in row).rstrip() for row in pane)
        sys.exit(f"the screen's top row is nowhere in the pane:\n{text}")

    failures = []
    for number, expected_row in enumerate(picture):
        pane_row = pane[starts[0] + number] if starts[0] + number < len(pane) else []
        pane_row = pane_row + [(" ", GREY, BLACK, False)] * (COLUMNS - len(pane_row))
        shown = "".join(cell[0] for cell in pane_row).rstrip()
        meant = "".join(cell[0] for cell in expected_row).rstrip()
        if shown != meant:
            failures.append(f"row {number}:\n  meant: {meant!r}\n  shown: {shown!r}")
            continue
        for column, (glyph, foreground, background) in enumerate(expected_row):
            shown_glyph, shown_foreground, shown_background, blink = pane_row[column]
            if blink:
                failures.append(f"row {number}, column {column}: blinks")
            if shown_background != background or (glyph != " " and
                                                  shown_foreground != foreground):
                failures.append(
                    f"row {number}, column {column} {glyph!r}: meant colours "
                    f"{foreground}/{background}, shown {shown_foreground}/{shown_background}")
        if not all(blank(cell) for cell in pane_row[width:]):
            failures.append(f"row {number}: something right of column {width}")
    if followed_by is not None:
        after = starts[0] + len(picture)
        shown = "".join(cell[0] for cell in pane[after]).strip() if after < len(pane) else ""
        if shown != followed_by:
            failures.append(f"the row after the screen:\n  meant: {followed_by!r}\n"
                            f"  shown: {shown!r}")
    text = "\n".join("".join(cell[0] for cell in row) for row in pane)
    for trace in ("SAUCE", "COMNT", "IBM VGA"):
        if trace in text:
            failures.append(f"the record shows: {trace!r} is in the pane")
    if failures:
        sys.exit("\n".join(failures[:40]))
    print(f"the {COLUMNS}-column terminal shows the {width}-column picture, "
          f"{len(picture)} rows from row {starts[0]}")


if __name__ == "__main__":
    main(sys.argv)
