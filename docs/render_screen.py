#!/usr/bin/python3
"""Renders an ANSI screen to a PNG picture, as a terminal shows it.

    render_screen.py OUTPUT.png [SCREEN]

Reads SCREEN, or standard input, as UTF-8 text with SGR escape sequences
(ESC [ ... m: reset, bold, reverse, the eight colours and their bright forms
for text and background), such as `tmux capture-pane -p -e` prints. Bold text is drawn bright and in the bold face, as xterm
does. Other escape sequences are skipped. Needs Debian's python3-pil and
fonts-dejavu-core.
"""

import re
import sys

from PIL import Image, ImageDraw, ImageFont

FONT_FOLDER = "/usr/share/fonts/truetype/dejavu/"
FONT_SIZE = 18
MARGIN = 12

# The VGA palette: eight normal colours, then their bright forms.
PALETTE = [
    (0, 0, 0), (170, 0, 0), (0, 170, 0), (170, 85, 0),
    (0, 0, 170), (170, 0, 170), (0, 170, 170), (170, 170, 170),
    (85, 85, 85), (255, 85, 85), (85, 255, 85), (255, 255, 85),
    (85, 85, 255), (255, 85, 255), (85, 255, 255), (255, 255, 255),
]
DEFAULT_FOREGROUND = 7
DEFAULT_BACKGROUND = 0

ESCAPE_SEQUENCE = re.compile(r"\x1b\[([0-9;?]*)([@-~])")


class Style:
    def __init__(self):
        self.reset()

    def reset(self):
        self.foreground = DEFAULT_FOREGROUND
        self.background = DEFAULT_BACKGROUND
        self.bold = False
        self.reverse = False

    def apply(self, parameters):
        codes = [int(code) if code else 0 for code in parameters.split(";")]
        for code in codes:
            if code == 0:
                self.reset()
            elif code == 1:
                self.bold = True
            elif code == 22:
                self.bold = False
            elif code == 7:
                self.reverse = True
            elif code == 27:
                self.reverse = False
            elif 30 <= code <= 37:
                self.foreground = code - 30
            elif code == 39:
                self.foreground = DEFAULT_FOREGROUND
            elif 40 <= code <= 47:
                self.background = code - 40
            elif code == 49:
                self.background = DEFAULT_BACKGROUND
            elif 90 <= code <= 97:
                self.foreground = code - 90 + 8
            elif 100 <= code <= 107:
                self.background = code - 100 + 8

    def colours(self):
        foreground = self.foreground
        if self.bold and foreground < 8:
            foreground += 8
        if self.reverse:
            return PALETTE[self.background], PALETTE[foreground]
        return PALETTE[foreground], PALETTE[self.background]


def lay_out(text):
    """Returns the screen as rows of cells (character, foreground, background, bold)."""
    rows = [[]]
    column = 0
    style = Style()
    position = 0
    while position < len(text):
        sequence = ESCAPE_SEQUENCE.match(text, position)
        if sequence:
            if sequence.group(2) == "m":
                style.apply(sequence.group(1))
            position = sequence.end()
            continue
        character = text[position]
        position += 1
        if character == "\r":
            column = 0
        elif character == "\n":
            rows.append([])
            column = 0
        elif character >= " ":
            row = rows[-1]
            while len(row) <= column:
                row.append((" ",) + style.colours() + (False,))
            row[column] = (character,) + style.colours() + (style.bold,)
            column += 1
    while rows and not rows[-1]:
        rows.pop()
    return rows


def render(rows, output):
    regular = ImageFont.truetype(FONT_FOLDER + "DejaVuSansMono.ttf", FONT_SIZE)
    bold = ImageFont.truetype(FONT_FOLDER + "DejaVuSansMono-Bold.ttf", FONT_SIZE)
    ascent, descent = regular.getmetrics()
    cell_width = round(regular.getlength("M"))
    cell_height = ascent + descent
    columns = max(len(row) for row in rows)
    size = (columns * cell_width + 2 * MARGIN, len(rows) * cell_height + 2 * MARGIN)
    picture = Image.new("RGB", size, PALETTE[DEFAULT_BACKGROUND])
    draw = ImageDraw.Draw(picture)
    for row_number, row in enumerate(rows):
        top = MARGIN + row_number * cell_height
        for column, (character, foreground, background, is_bold) in enumerate(row):
            left = MARGIN + column * cell_width
            draw.rectangle(
                [left, top, left + cell_width - 1, top + cell_height - 1], fill=background)
            if character != " ":
                draw.text((left, top), character, font=bold if is_bold else regular,
                          fill=foreground)
    picture.save(output)


def main(arguments):
    if len(arguments) not in (2, 3):
        sys.exit(__doc__)
    if len(arguments) == 3:
        with open(arguments[2], "rb") as screen:
            data = screen.read()
    else:
        data = sys.stdin.buffer.read()
    rows = lay_out(data.decode("utf-8", errors="replace"))
    if not rows:
        sys.exit("render_screen.py: the screen is empty")
    render(rows, arguments[1])


if __name__ == "__main__":
    main(sys.argv)
