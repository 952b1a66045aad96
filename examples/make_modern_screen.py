#!/usr/bin/env python3
"""Draws the modern example screen and writes it as UTF-8 art for today's
terminals.

    make_modern_screen.py [OUTPUT]     (default: modern.ans beside this script)
    make_modern_screen.py --check FILE (exit status 1 when FILE is not the screen)

The picture is drawn first, as rows of at most 72 cells (glyph, text colour,
background colour, bold), then written as art made for a terminal of today
is: UTF-8, no SAUCE record, every row ended by CR LF after a reset, and SGR
sequences where the colours change. The art's own colours are 24-bit
(38;2 and 48;2) or xterm's colours 16-255 (38;5 and 48;5), never the
sixteen of 30-37 and 40-47, which each terminal shows in its own palette.
What the art leaves uncoloured (SGR 39 and 49) is the terminal's: the
sprite stands on its background, and plain text is in its colours.

The screen holds a band of xterm's colours, a sprite drawn with sextants and
half blocks, a line of fullwidth letters with one of them across columns 59
and 60 (counted from 0), so that a terminal 60 columns wide cuts it, a row of
Braille, plain text and bold text on the terminal's own foreground. The
tests compare what a terminal shows with intended_picture().
"""

import math
import pathlib
import sys

WIDTH = 72
# The cell right of a wide glyph in intended_picture(): it holds no glyph of
# its own, and has the wide glyph's colours.
RIGHT_HALF = ""
# The column (counted from 0) of the fullwidth letter that a 60-column
# terminal cuts in two.
CUT_COLUMN = 59

# A colour is None (the terminal's own), an xterm colour number from 16 to
# 255, or (r, g, b). Each colour of the band on the top row has a channel at
# 0, which no other colour here has, nor a blend of them with the terminal's
# black or white: the xterm test finds the cells by them.
CAP = (205, 42, 61)
SPOTS = (247, 241, 226)
STEM = (233, 203, 161)
EYES = (52, 33, 29)
LEAVES = (61, 163, 77)
DARK_LEAVES = (33, 111, 58)
TRUNK = (121, 77, 41)
GRASS = (97, 187, 62)
SOIL = (103, 69, 43)
WAVE = (118, 199, 251)
WORDS = [(37, 89, 161), (148, 47, 129), (191, 103, 21), (29, 131, 123), (173, 39, 51)]
LETTERS = (251, 247, 231)
ORANGE = (253, 151, 31)


def xterm_rgb(number):
    """The red, green and blue of xterm's colour 16-255: a 6 x 6 x 6 cube,
    then a ramp of 24 greys."""
    if number >= 232:
        grey = 8 + 10 * (number - 232)
        return (grey, grey, grey)
    levels = [0, 95, 135, 175, 215, 255]
    number -= 16
    return (levels[number // 36], levels[number // 6 % 6], levels[number % 6])


def hue_ring():
    """The 30 saturated colours on the edges of xterm's cube, red to red."""
    corner = [5, 0, 0]
    ring = []
    # Each edge raises or lowers one channel from one corner to the next.
    for channel, step in [(1, 1), (0, -1), (2, 1), (1, -1), (0, 1), (2, -1)]:
        for _ in range(5):
            ring.append(16 + 36 * corner[0] + 6 * corner[1] + corner[2])
            corner[channel] += step
    return ring


def takes_two_cells(glyph):
    """Whether a glyph of this screen is wide: U+3000 and the fullwidth forms."""
    return glyph == "\u3000" or "\uff01" <= glyph <= "\uff60"


class Picture:
    """Rows of cells (glyph, foreground, background, bold); a blank in the
    terminal's own colours where nothing is drawn."""

    BLANK = (" ", None, None, False)

    def __init__(self):
        self.rows = []

    def new_row(self):
        self.rows.append([self.BLANK] * WIDTH)
        return len(self.rows) - 1

    def put(self, row, column, text, foreground=None, background=None, bold=False):
        for glyph in text:
            self.rows[row][column] = (glyph, foreground, background, bold)
            column += 1
            if takes_two_cells(glyph):
                self.rows[row][column] = (RIGHT_HALF, foreground, background, bold)
                column += 1
        return column


def sextant(pattern):
    """The glyph of a cell of 2 x 3 pixels, the lit ones bits 1 (top left),
    2 (top right), 4, 8, 16 and 32 (bottom right). Unicode's sextants leave out
    the blank, the full block and the left and right halves, which have
    glyphs of their own."""
    whole = {0: " ", 21: "\u258c", 42: "\u2590", 63: "\u2588"}
    if pattern in whole:
        return whole[pattern]
    return chr(0x1FB00 + pattern - 1 - (pattern > 21) - (pattern > 42))


def sextant_cell(pixels):
    """A cell (glyph, foreground, background) for six pixels. A cell with a
    transparent pixel (None) has the terminal's own background; else the
    more frequent of its colours is the background. A pixel of a third
    colour takes the foreground, so that the outline stays whole."""
    counts = {}
    for pixel in pixels:
        counts[pixel] = counts.get(pixel, 0) + 1
    ranked = sorted(counts, key=lambda colour: (colour is not None, -counts[colour]))
    if len(ranked) == 1:
        return (" ", None, None) if ranked[0] is None else ("\u2588", ranked[0], None)
    background, foreground = ranked[0], ranked[1]
    pattern = sum(1 << index for index, pixel in enumerate(pixels) if pixel != background)
    return sextant(pattern), foreground, background


def half_block_cell(top, bottom):
    if top == bottom:
        return (" ", None, None) if top is None else ("\u2588", top, None)
    if top is None:
        return "\u2584", bottom, None
    return "\u2580", top, bottom


# The mushroom, 24 x 18 pixels standing on its bottom row, drawn with sextants
# (2 x 3 pixels a cell).
MUSHROOM = """
........................
........RRRRRRRR........
.....RRRRRWWRRRRRRR.....
...RRRWWWWRRRRRRWWWRR...
..RRRWWWWWWRRRRWWWWWRR..
.RRRRWWWWWWRRRRWWWWWRRR.
.RRRRRWWWWRRRRRRWWWRRRR.
RRRWWRRRRRRRRRRRRRRRRRRR
RRWWWWRRRRRRRRRRRWWWRRRR
RRWWWWRRRRRRRRRRWWWWWRRR
RRRRRRRRRRRRRRRRRWWWRRRR
..RRRRRRRRRRRRRRRRRRRR..
......SSSSSSSSSSSS......
......SSSEESSEESSS......
......SSSEESSEESSS......
......SSSSSSSSSSSS......
.......SSSSSSSSSS.......
........SSSSSSSS........
"""

# The tree, 12 x 12 pixels, drawn with half blocks (1 x 2 pixels a cell).
TREE = """
....LLLL....
..LLLLLLLL..
.LLLDLLLLLL.
LLLLLLLLDLLL
LLDLLLLLLLLL
LLLLLLDLLLLL
.LLLLLLLLLL.
..LLLLLLLL..
.....TT.....
.....TT.....
.....TT.....
.....TT.....
"""

PIXEL_COLOURS = {".": None, "R": CAP, "W": SPOTS, "S": STEM, "E": EYES, "L": LEAVES,
                 "D": DARK_LEAVES, "T": TRUNK}


def bitmap(text):
    lines = text.strip().split("\n")
    assert all(len(line) == len(lines[0]) for line in lines), text
    return [[PIXEL_COLOURS[pixel] for pixel in line] for line in lines]


def put_sextants(picture, top_row, left, pixels):
    for row in range(len(pixels) // 3):
        for column in range(len(pixels[0]) // 2):
            cell = [pixels[3 * row + y][2 * column + x] for y in range(3) for x in range(2)]
            glyph, foreground, background = sextant_cell(cell)
            picture.put(top_row + row, left + column, glyph, foreground, background)


def put_half_blocks(picture, top_row, left, pixels):
    for row in range(len(pixels) // 2):
        for column in range(len(pixels[0])):
            glyph, foreground, background = half_block_cell(pixels[2 * row][column],
                                                            pixels[2 * row + 1][column])
            picture.put(top_row + row, left + column, glyph, foreground, background)


def braille_wave(columns):
    """A sine wave in Braille dots, 2 x 4 dots a cell, one dot a column of dots."""
    dot_bits = [[0x01, 0x08], [0x02, 0x10], [0x04, 0x20], [0x40, 0x80]]
    text = ""
    for column in range(columns):
        bits = 0
        for x in range(2):
            phase = (2 * column + x) * 2 * math.pi / 36
            bits |= dot_bits[round(1.5 - 1.5 * math.sin(phase))][x]
        text += chr(0x2800 + bits)
    return text


def draw():
    picture = Picture()

    # A band of xterm's cube colours, a hue circle, and its ramp of greys.
    ring = hue_ring()
    row = picture.new_row()
    for column in range(WIDTH):
        picture.put(row, column, " ", background=ring[column * len(ring) // WIDTH])
    row = picture.new_row()
    for column in range(WIDTH):
        picture.put(row, column, "\u2588", foreground=232 + column // 3)

    picture.new_row()
    picture.put(picture.new_row(), 2, "Modern screen: UTF-8 art for the terminals of today")
    picture.new_row()

    # The mushroom and the tree stand on the terminal's own background,
    # with its background between them, and on a strip of grass.
    sprite_top = len(picture.rows)
    for _ in range(6):
        picture.new_row()
    put_sextants(picture, sprite_top, 8, bitmap(MUSHROOM))
    put_half_blocks(picture, sprite_top, 30, bitmap(TREE))
    put_half_blocks(picture, sprite_top, 48, bitmap(TREE))
    row = picture.new_row()
    for column in range(4, 64):
        in_pond = 24 <= column < 28 or 44 <= column < 47
        if not in_pond:
            picture.put(row, column, "\u2580", GRASS, SOIL)

    # Fullwidth words on backgrounds of their own, ideographic spaces between
    # them on the terminal's: a letter stands across columns 59 and 60.
    picture.new_row()
    row = picture.new_row()
    words = ["ＦＵＬＬＷＩＤＴＨ", "ＬＥＴＴＥＲＳ", "ＴＡＫＥ", "ＴＷＯ", "ＣＥＬＬＳ"]
    column = 1
    for number, word in enumerate(words):
        if number > 0:
            column = picture.put(row, column, "\u3000")
        column = picture.put(row, column, word, LETTERS, WORDS[number])
    assert picture.rows[row][CUT_COLUMN][0] == "Ｌ"
    assert picture.rows[row][CUT_COLUMN + 1][0] == RIGHT_HALF

    picture.new_row()
    picture.put(picture.new_row(), 0, braille_wave(WIDTH), WAVE)

    picture.new_row()
    row = picture.new_row()
    column = picture.put(row, 2, "Plain text in the terminal's own colours, ")
    column = picture.put(row, column, "24-bit orange", ORANGE)
    picture.put(row, column, ", and back.")
    row = picture.new_row()
    column = picture.put(row, 2, "Bold text on the terminal's own foreground", bold=True)
    picture.put(row, column, ", then plain.")
    return picture


def rgb(colour):
    return xterm_rgb(colour) if isinstance(colour, int) else colour


def intended_picture():
    """The screen as it is meant to look: rows of (glyph, foreground,
    background), each colour (r, g, b) or None for the terminal's own, and
    RIGHT_HALF as the glyph of the cell right of a wide glyph."""
    return [[(glyph, None if foreground is None else rgb(foreground),
              None if background is None else rgb(background))
             for glyph, foreground, background, _ in row] for row in draw().rows]


def colour_codes(layer, colour):
    """SGR's codes for a text (38) or background (48) colour."""
    if colour is None:
        return [str(layer + 1)]
    if isinstance(colour, int):
        return [str(layer), "5", str(colour)]
    return [str(layer), "2"] + [str(channel) for channel in colour]


def encode(rows):
    out = bytearray()
    for row in rows:
        length = WIDTH
        while length > 0 and row[length - 1] == Picture.BLANK:
            length -= 1
        foreground = background = None
        bold = False
        for glyph, cell_foreground, cell_background, cell_bold in row[:length]:
            if glyph == RIGHT_HALF:
                continue
            codes = []
            if cell_bold != bold:
                codes.append("1" if cell_bold else "22")
            if cell_foreground != foreground:
                codes += colour_codes(38, cell_foreground)
            if cell_background != background:
                codes += colour_codes(48, cell_background)
            if codes:
                out += b"\x1b[" + ";".join(codes).encode() + b"m"
            foreground, background, bold = cell_foreground, cell_background, cell_bold
            out += glyph.encode("utf-8")
        if (foreground, background, bold) != (None, None, False):
            out += b"\x1b[0m"
        out += b"\r\n"
    return bytes(out)


def screen_bytes():
    return encode(draw().rows)


def main(arguments):
    if len(arguments) == 3 and arguments[1] == "--check":
        if pathlib.Path(arguments[2]).read_bytes() != screen_bytes():
            sys.exit(f"{arguments[2]} is not what make_modern_screen.py draws: regenerate it")
        return
    if len(arguments) > 2:
        sys.exit(__doc__)
    output = pathlib.Path(arguments[1] if len(arguments) == 2 else
                          pathlib.Path(__file__).with_name("modern.ans"))
    output.write_bytes(screen_bytes())


if __name__ == "__main__":
    main(sys.argv)
