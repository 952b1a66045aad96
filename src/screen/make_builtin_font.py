#!/usr/bin/env python3
"""Writes builtin_font_table.c, the built-in 8x16 font, from Debian's VGA16 console fonts.

    make_builtin_font.py [--fonts DIR] [OUTPUT]   (default: builtin_font_table.c beside this script)
    make_builtin_font.py [--fonts DIR] --check FILE
        exit status 1 when FILE is not what the fonts give, 77 when DIR
        lacks them

DIR holds the PSF1 fonts of Debian's console-setup-linux package (default:
/usr/share/consolefonts): Uni1-VGA16.psf.gz, Uni2-VGA16.psf.gz,
FullGreek-VGA16.psf.gz, FullCyrSlav-VGA16.psf.gz, Lat15-VGA16.psf.gz and the
others named in SOURCE_FONTS. console-setup makes all of them from one BDF
font, u_vga16.bdf, whose license the package states in
/usr/share/doc/keyboard-configuration/copyright.fonts.gz (and console-setup's
copyright says that "all console fonts are public domain by nature"):

    Copyright (c) 2000, 2001 by Dmitry Bolkhovityanov.  All Rights Reserved.

    Permission is hereby granted, free of charge, to any person obtaining a
    copy of this software and associated documentation files (the
    "Software"), to deal in the Software without restriction, including
    without limitation the rights to use, copy, modify, merge, publish,
    distribute, sublicense, and/or sell copies of the Software, and to permit
    persons to whom the Software is furnished to do so, subject to the
    following conditions:

    The above copyright notice and this permission notice shall be included
    in all copies or substantial portions of the Software.

    THE SOFTWARE IS PROVIDED "AS IS", WITHOUT WARRANTY OF ANY KIND, EXPRESS
    OR IMPLIED, INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF
    MERCHANTABILITY, FITNESS FOR A PARTICULAR PURPOSE AND NONINFRINGEMENT. IN
    NO EVENT SHALL THE XFREE86 PROJECT BE LIABLE FOR ANY CLAIM, DAMAGES OR
    OTHER LIABILITY, WHETHER IN AN ACTION OF CONTRACT, TORT OR OTHERWISE,
    ARISING FROM, OUT OF OR IN CONNECTION WITH THE SOFTWARE OR THE USE OR
    OTHER DEALINGS IN THE SOFTWARE.

    Except as contained in this notice, the name of Dmitry Bolkhovityanov
    shall not be used in advertising or otherwise to promote the sale, use or
    other dealings in this Software without prior written authorization from
    the Dmitry Bolkhovityanov.

No one of these fonts holds every glyph of CP437, so the table takes the
union of their glyphs. Where they differ on a code point, one of them shows
it with another code point's glyph (the 256-glyph fonts show ═ as ─, ▲ as
↑): the glyph fewest code points share is the font's own.

Drawn here, over the fonts' glyphs, from geometry alone: the block elements
(U+2580-U+259F), the box drawing block (U+2500-U+257F, its lines where the
VGA16 fonts put ─ │ ═ ║, so that CP437's line graphics are the VGA card's and
join each other), the sextants (U+1FB00-U+1FB3B) and Braille (U+2800-U+28FF);
and the two CP437 pictures no font holds, ► and ◄.
"""

import argparse
import gzip
import pathlib
import sys
import unicodedata

WIDTH, HEIGHT = 8, 16
BYTES_PER_GLYPH = HEIGHT

# Made from u_vga16.bdf alone; the Terminus fonts are another design, and
# Arabic and Hebrew draw on other sources too.
SOURCE_FONTS = ("Uni1", "Uni2", "Lat15", "Lat2", "Lat7", "Lat38", "FullGreek", "FullCyrSlav",
                "Greek", "CyrSlav", "CyrKoi")

PSF1_MAGIC = b"\x36\x04"
PSF1_MODE_512 = 0x01
PSF1_MODE_HAS_TABLE = 0x06
PSF1_SEPARATOR, PSF1_SEQUENCE_START = 0xFFFF, 0xFFFE

# The IBM PC's pictures in 0x01-0x1F, and 0x7F.
CP437_PICTURES = "☺☻♥♦♣♠•◘○◙♂♀♪♫☼►◄↕‼¶§▬↨↑↓→←∟↔▲▼"
CP437_HOUSE = "⌂"
BLANKS = {0x00, 0x20, 0xFF}

# Where the VGA16 fonts draw their lines (read from their ─ │ ═ ║ and
# checked below): light lines on row 7 and columns 3-4, double lines on rows
# 6 and 8 and columns 2-3 and 5-6. The fonts have no heavy lines (they show
# ━ ┃ as ─ │): heavy lines are three rows and four columns about the light.
LIGHT, HEAVY, DOUBLE = 1, 2, 3
HORIZONTAL_STROKES = {LIGHT: [(7, 7)], HEAVY: [(6, 8)], DOUBLE: [(6, 6), (8, 8)]}
VERTICAL_STROKES = {LIGHT: [(3, 4)], HEAVY: [(2, 5)], DOUBLE: [(2, 3), (5, 6)]}
WEIGHTS = {"LIGHT": LIGHT, "SINGLE": LIGHT, "HEAVY": HEAVY, "DOUBLE": DOUBLE}
DIRECTIONS = {"UP": ["up"], "DOWN": ["down"], "LEFT": ["left"], "RIGHT": ["right"],
              "HORIZONTAL": ["left", "right"], "VERTICAL": ["up", "down"]}
OPPOSITE = {"up": "down", "down": "up", "left": "right", "right": "left"}

SEXTANT_ROWS = [(0, 5), (5, 11), (11, 16)]  # 16 rows as 5, 6, 5
BRAILLE_DOT_ROWS = [1, 5, 9, 13]  # each dot 2x2, 4 pixels apart
BRAILLE_DOT_COLUMNS = [1, 5]
# Dots 1-8 as bits 0-7: (column, row) of each.
BRAILLE_DOTS = [(0, 0), (0, 1), (0, 2), (1, 0), (1, 1), (1, 2), (0, 3), (1, 3)]

DEFAULT_FONTS = pathlib.Path("/usr/share/consolefonts")
DEFAULT_OUTPUT = pathlib.Path(__file__).resolve().with_name("builtin_font_table.c")
CANNOT_CHECK = 77
MAPPINGS_PER_LINE = 6


class FontError(Exception):
    pass


class Glyph:
    """An 8x16 bitmap as rows of pixels, True where ink is."""

    def __init__(self, rows=None):
        self.rows = [list(row) for row in rows] if rows else [[False] * WIDTH
                                                               for _ in range(HEIGHT)]

    @classmethod
    def from_bytes(cls, data):
        return cls([[bool(byte & 0x80 >> x) for x in range(WIDTH)] for byte in data])

    def to_bytes(self):
        return bytes(sum(0x80 >> x for x in range(WIDTH) if row[x]) for row in self.rows)

    def fill(self, left, top, right, bottom):
        """Inks columns left..right of rows top..bottom, both ends included."""
        for y in range(max(top, 0), min(bottom, HEIGHT - 1) + 1):
            for x in range(max(left, 0), min(right, WIDTH - 1) + 1):
                self.rows[y][x] = True
        return self

    def mirrored(self, across, down):
        """Flipped left to right when `across`, and about row 7 when `down`
        (where box drawing's horizontal lines lie, not the cell's middle)."""
        glyph = Glyph()
        for y in range(HEIGHT):
            for x in range(WIDTH):
                source_y = 14 - y if down else y
                if 0 <= source_y < HEIGHT:
                    glyph.rows[y][x] = self.rows[source_y][WIDTH - 1 - x if across else x]
        return glyph


def glyph_from_art(art):
    """A glyph from lines of '#' and '.', the first line row 0."""
    rows = [[pixel == "#" for pixel in line.strip()] for line in art.strip().splitlines()]
    return Glyph(rows + [[False] * WIDTH for _ in range(HEIGHT - len(rows))])


# ---- The VGA16 fonts ----

def read_psf1(path):
    """The font's glyphs, and for each code point its glyph and how many code
    points share that glyph."""
    try:
        with gzip.open(path) as font:
            data = font.read()
    except OSError as error:
        raise FontError(f"{path}: {error.strerror or error}") from error
    if data[:2] != PSF1_MAGIC or data[3] != BYTES_PER_GLYPH or not data[2] & PSF1_MODE_HAS_TABLE:
        raise FontError(f"{path}: not an 8x16 PSF1 font with a Unicode table")
    count = 512 if data[2] & PSF1_MODE_512 else 256
    glyphs = [data[4 + i * 16:4 + (i + 1) * 16] for i in range(count)]
    table = data[4 + count * 16:]
    code_points = {}
    glyph, in_sequences = 0, False
    for offset in range(0, len(table) - 1, 2):
        if glyph >= count:
            break
        value = table[offset] | table[offset + 1] << 8
        if value == PSF1_SEPARATOR:
            glyph, in_sequences = glyph + 1, False
        elif value == PSF1_SEQUENCE_START:
            in_sequences = True
        elif not in_sequences:
            code_points.setdefault(value, glyph)
    shared = {}
    for glyph in code_points.values():
        shared[glyph] = shared.get(glyph, 0) + 1
    return {code_point: (glyphs[glyph], shared[glyph]) for code_point, glyph in code_points.items()}


def source_glyphs(folder):
    """Each code point's glyph in the union of the fonts, the font's own
    glyph winning over another code point's it lends (fewest sharers)."""
    best = {}
    for name in SOURCE_FONTS:
        for code_point, (bitmap, sharers) in read_psf1(folder / f"{name}-VGA16.psf.gz").items():
            if code_point not in best or sharers < best[code_point][1]:
                best[code_point] = (bitmap, sharers)
    return {code_point: Glyph.from_bytes(bitmap) for code_point, (bitmap, _) in best.items()}


# ---- Box drawing ----

def box_arms(name):
    """The weight of each arm of a box drawing glyph, from its Unicode name:
    "DOWN LIGHT AND RIGHT HEAVY", "DOUBLE UP AND HORIZONTAL", ... A part of
    the name without a weight takes the name's other one."""
    parts = []
    for part in name.split(" AND "):
        words = part.split()
        weight = next((WEIGHTS[word] for word in words if word in WEIGHTS), None)
        sides = [side for word in words for side in DIRECTIONS.get(word, [])]
        parts.append((weight, sides))
    known = [weight for weight, _ in parts if weight]
    arms = {}
    for weight, sides in parts:
        for side in sides:
            arms[side] = weight or known[0]
    return arms


def arm_reach(arms, side, weight, stroke_faces):
    """Where an arm's stroke ends toward the far edge: the last column or
    row a left or up arm inks, the first a right or down arm inks.
    `stroke_faces` is the side a double stroke lies toward (a left arm's
    upper stroke faces up), else None."""
    toward_start = side in ("left", "up")
    across = ("up", "down") if side in ("left", "right") else ("left", "right")
    strokes = VERTICAL_STROKES if side in ("left", "right") else HORIZONTAL_STROKES
    crossing = [arms[s] for s in across if s in arms]
    if not crossing:
        # Half a line: the arm fills its half of the cell.
        middle = (WIDTH if side in ("left", "right") else HEIGHT) // 2
        return middle - 1 if toward_start else middle
    if DOUBLE not in crossing:
        # Over a single line: the arm covers it.
        edges = [edge for w in crossing for stroke in strokes[w] for edge in stroke]
        return max(edges) if toward_start else min(edges)
    near, far = strokes[DOUBLE] if toward_start else reversed(strokes[DOUBLE])
    if weight != DOUBLE:
        # A single line meets a double one: it stops at the near stroke
        # where the double line runs on past it and the single one does
        # not, else it reaches the far stroke.
        double_through = all(arms.get(s) == DOUBLE for s in across)
        stroke = near if double_through and OPPOSITE[side] not in arms else far
    else:
        # Two double lines: the inner stroke of each corner stops at the
        # other line's inner stroke, the outer one runs to its outer stroke.
        stroke = near if arms.get(stroke_faces) == DOUBLE else far
    return stroke[1] if toward_start else stroke[0]


def box_glyph(arms):
    glyph = Glyph()
    for side, weight in arms.items():
        horizontal = side in ("left", "right")
        strokes = HORIZONTAL_STROKES[weight] if horizontal else VERTICAL_STROKES[weight]
        faces = ("up", "down") if horizontal else ("left", "right")
        for (first, last), stroke_faces in zip(strokes, faces):
            reach = arm_reach(arms, side, weight, stroke_faces)
            size = WIDTH if horizontal else HEIGHT
            start, end = (0, reach) if side in ("left", "up") else (reach, size - 1)
            if horizontal:
                glyph.fill(start, first, end, last)
            else:
                glyph.fill(first, start, last, end)
    return glyph


def dashed(weight, dashes, horizontal):
    glyph = Glyph()
    size = WIDTH if horizontal else HEIGHT
    for dash in range(dashes):
        start, stop = dash * size // dashes, (dash + 1) * size // dashes - 1
        for first, last in (HORIZONTAL_STROKES if horizontal else VERTICAL_STROKES)[weight]:
            if horizontal:
                glyph.fill(start, first, stop - 1, last)
            else:
                glyph.fill(first, start, last, stop - 1)
    return glyph


# ╭: the light line turns from the bottom to the right in two steps.
ARC_DOWN_AND_RIGHT = glyph_from_art("""
    ........
    ........
    ........
    ........
    ........
    ........
    ........
    .....###
    ....##..
    ...##...
    ...##...
    ...##...
    ...##...
    ...##...
    ...##...
    ...##...
""")


def diagonal(rising):
    """A line from corner to corner, a pixel wide: ╱ when `rising`, else ╲."""
    glyph = Glyph()
    for y in range(HEIGHT):
        x = y * WIDTH // HEIGHT
        if rising:
            x = WIDTH - 1 - x
        glyph.fill(x, y, x, y)
    return glyph


def box_drawing_glyph(code_point):
    name = unicodedata.name(chr(code_point)).removeprefix("BOX DRAWINGS ")
    words = name.split()
    if "DASH" in words:
        dashes = {"DOUBLE": 2, "TRIPLE": 3, "QUADRUPLE": 4}[words[1]]
        return dashed(WEIGHTS[words[0]], dashes, words[-1] == "HORIZONTAL")
    if "ARC" in words:
        turns = {"DOWN AND RIGHT": (False, False), "DOWN AND LEFT": (True, False),
                 "UP AND LEFT": (True, True), "UP AND RIGHT": (False, True)}
        return ARC_DOWN_AND_RIGHT.mirrored(*turns[name.removeprefix("LIGHT ARC ")])
    if "DIAGONAL" in words:
        if words[-1] == "CROSS":
            return union(diagonal(True), diagonal(False))
        return diagonal(rising=words[2:4] == ["UPPER", "RIGHT"])
    return box_glyph(box_arms(name))


def union(*glyphs):
    glyph = Glyph()
    for other in glyphs:
        for y in range(HEIGHT):
            for x in range(WIDTH):
                glyph.rows[y][x] = glyph.rows[y][x] or other.rows[y][x]
    return glyph


# ---- Block elements, sextants, Braille ----

def shade(holes_or_ink, period, even_phase, odd_phase):
    """A dot pattern repeating every `period` columns, the rows alternating
    phases: ink at those columns, or everywhere else."""
    glyph = Glyph()
    for y in range(HEIGHT):
        phase = even_phase if y % 2 == 0 else odd_phase
        for x in range(WIDTH):
            glyph.rows[y][x] = (x % period == phase) == (holes_or_ink == "ink")
    return glyph


def block_elements():
    half_w, half_h = WIDTH // 2, HEIGHT // 2
    quadrants = {"UL": (0, 0, half_w - 1, half_h - 1), "UR": (half_w, 0, WIDTH - 1, half_h - 1),
                 "LL": (0, half_h, half_w - 1, HEIGHT - 1),
                 "LR": (half_w, half_h, WIDTH - 1, HEIGHT - 1)}

    def quadrant(*names):
        glyph = Glyph()
        for name in names:
            glyph.fill(*quadrants[name])
        return glyph

    glyphs = {0x2580: Glyph().fill(0, 0, WIDTH - 1, half_h - 1)}
    for eighths in range(1, 9):  # ▁ to █: lower eighths, 2 rows each
        glyphs[0x2580 + eighths] = Glyph().fill(0, HEIGHT - 2 * eighths, WIDTH - 1, HEIGHT - 1)
    for eighths in range(7, 0, -1):  # ▉ to ▏: left eighths, a column each
        glyphs[0x2589 + 7 - eighths] = Glyph().fill(0, 0, eighths - 1, HEIGHT - 1)
    glyphs[0x2590] = Glyph().fill(half_w, 0, WIDTH - 1, HEIGHT - 1)
    # The shades keep the VGA16 fonts' phases: ░ a quarter, ▒ a half, ▓
    # three quarters of the pixels.
    glyphs[0x2591] = shade("ink", 4, 3, 1)
    glyphs[0x2592] = shade("ink", 2, 1, 0)
    glyphs[0x2593] = shade("holes", 4, 2, 0)
    glyphs[0x2594] = Glyph().fill(0, 0, WIDTH - 1, 1)
    glyphs[0x2595] = Glyph().fill(WIDTH - 1, 0, WIDTH - 1, HEIGHT - 1)
    for offset, names in enumerate([("LL",), ("LR",), ("UL",), ("UL", "LL", "LR"), ("UL", "LR"),
                                    ("UL", "UR", "LL"), ("UL", "UR", "LR"), ("UR",),
                                    ("UR", "LL"), ("UR", "LL", "LR")]):
        glyphs[0x2596 + offset] = quadrant(*names)
    return glyphs


def sextants():
    """U+1FB00-U+1FB3B: every pattern of 2x3 cells but the empty, the full
    and the two halves, which are U+0020, █, ▌ and ▐."""
    glyphs = {}
    code_point = 0x1FB00
    for pattern in range(1, 63):
        if pattern in (0b010101, 0b101010):
            continue
        glyph = Glyph()
        for cell in range(6):
            if pattern & 1 << cell:
                top, bottom = SEXTANT_ROWS[cell // 2]
                left = cell % 2 * WIDTH // 2
                glyph.fill(left, top, left + WIDTH // 2 - 1, bottom - 1)
        glyphs[code_point] = glyph
        code_point += 1
    return glyphs


def braille():
    glyphs = {}
    for pattern in range(256):
        glyph = Glyph()
        for dot, (column, row) in enumerate(BRAILLE_DOTS):
            if pattern & 1 << dot:
                x, y = BRAILLE_DOT_COLUMNS[column], BRAILLE_DOT_ROWS[row]
                glyph.fill(x, y, x + 1, y + 1)
        glyphs[0x2800 + pattern] = glyph
    return glyphs


# ► and ◄, as the VGA card draws CP437's 0x10 and 0x11: a triangle of rows
# 2-12.
POINTER_RIGHT = glyph_from_art("""
    ........
    ........
    #.......
    ##......
    ###.....
    ####....
    #####...
    #######.
    #####...
    ####....
    ###.....
    ##......
    #.......
""")


def drawn_glyphs():
    glyphs = {code_point: box_drawing_glyph(code_point) for code_point in range(0x2500, 0x2580)}
    glyphs.update(block_elements())
    glyphs.update(sextants())
    glyphs.update(braille())
    glyphs[0x25BA] = POINTER_RIGHT
    glyphs[0x25C4] = POINTER_RIGHT.mirrored(True, False)
    return glyphs


# ---- The font ----

def cp437_code_points():
    """Each CP437 byte's code point, as the library's table has them."""
    lower = [0x20] + [ord(c) for c in CP437_PICTURES] + list(range(0x20, 0x7F)) + [
        ord(CP437_HOUSE)]
    return lower + [ord(bytes([byte]).decode("cp437")) for byte in range(0x80, 0x100)]


def check_cp437(glyphs, source):
    """Fails unless every CP437 glyph is there and distinct from the others
    (the blanks apart); says where a line graphic differs from the fonts'."""
    code_points = cp437_code_points()
    missing = [f"U+{c:04X}" for c in code_points if c not in glyphs]
    if missing:
        raise FontError(f"no glyph for CP437's {', '.join(missing)}")
    seen = {}
    for byte, code_point in enumerate(code_points):
        if byte in BLANKS:
            continue
        bitmap = glyphs[code_point].to_bytes()
        if bitmap in seen:
            raise FontError(f"CP437's 0x{seen[bitmap]:02X} and 0x{byte:02X} look the same")
        seen[bitmap] = byte
    # The fonts' ▀ is 7 rows high; ours is half the cell, to meet ▄.
    for byte in range(0xB0, 0xE0):
        code_point = code_points[byte]
        if code_point != 0x2580 and code_point in source and source[code_point].to_bytes() != glyphs[code_point].to_bytes():
            print(f"make_builtin_font.py: note: CP437's 0x{byte:02X} U+{code_point:04X} is drawn "
                  "otherwise than the VGA16 fonts draw it", file=sys.stderr)


def builtin_font(folder):
    source = source_glyphs(folder)
    glyphs = dict(source)
    glyphs.update(drawn_glyphs())
    check_cp437(glyphs, source)
    return glyphs


def c_source(glyphs):
    """The bitmaps, each once, in the order of the first code point showing
    them, and the mappings sorted by code point."""
    bitmaps, index, mappings = [], {}, []
    for code_point in sorted(glyphs):
        bitmap = glyphs[code_point].to_bytes()
        if bitmap not in index:
            index[bitmap] = len(bitmaps)
            bitmaps.append((code_point, bitmap))
        mappings.append((code_point, index[bitmap]))
    lines = [
        "/* Generated by make_builtin_font.py from Debian's console-setup-linux VGA16",
        " * fonts (u_vga16.bdf, Copyright (c) 2000, 2001 by Dmitry Bolkhovityanov,",
        " * MIT-licensed: see the script) and its own drawings: do not edit, run the",
        " * script instead.",
        " *",
        " * The built-in 8x16 font: glyphs of 16 rows, one byte a row, the leftmost",
        " * pixel in the top bit; and which glyph shows each code point, sorted by",
        " * code point. font.c includes this file. */",
        "/* clang-format off */",
        "",
        f"static const unsigned char builtin_font_bitmaps[{len(bitmaps)} * 16] = {{",
    ]
    for number, (code_point, bitmap) in enumerate(bitmaps):
        row = ", ".join(f"0x{byte:02x}" for byte in bitmap)
        lines.append(f"    {row}, /* {number} U+{code_point:04X} */")
    lines += ["};", "", "static const struct tremlox__font_mapping builtin_font_mappings[] = {"]
    for start in range(0, len(mappings), MAPPINGS_PER_LINE):
        row = mappings[start:start + MAPPINGS_PER_LINE]
        lines.append("    " + " ".join(f"{{0x{c:05x}, {g}}}," for c, g in row))
    lines += ["};", "", "/* clang-format on */", ""]
    return "\n".join(lines)


def check(path, source):
    try:
        committed = path.read_text(encoding="utf-8")
    except OSError as error:
        sys.exit(f"make_builtin_font.py: {path}: {error.strerror}")
    if committed != source:
        sys.exit(f"make_builtin_font.py: {path} is not what the fonts give: regenerate it with "
                 "python3 src/screen/make_builtin_font.py")


def write(path, source):
    try:
        with open(path, "w", encoding="utf-8", newline="\n") as output:
            output.write(source)
    except OSError as error:
        sys.exit(f"make_builtin_font.py: {path}: {error.strerror}")


def main(arguments):
    parser = argparse.ArgumentParser(prog="make_builtin_font.py",
                                     description="Writes the table of the built-in 8x16 font.")
    parser.add_argument("--fonts", type=pathlib.Path, default=DEFAULT_FONTS, metavar="DIR",
                        help="the folder of the VGA16 console fonts")
    action = parser.add_mutually_exclusive_group()
    action.add_argument("--check", type=pathlib.Path, metavar="FILE",
                        help="compare FILE with what the fonts give instead of writing")
    action.add_argument("output", nargs="?", type=pathlib.Path, default=DEFAULT_OUTPUT,
                        metavar="OUTPUT", help="the file to write")
    options = parser.parse_args(arguments[1:])
    missing = [name for name in SOURCE_FONTS
               if not (options.fonts / f"{name}-VGA16.psf.gz").is_file()]
    if missing and options.check:
        print(f"make_builtin_font.py: {options.fonts} lacks the VGA16 fonts (Debian: "
              "console-setup-linux): the table cannot be checked", file=sys.stderr)
        sys.exit(CANNOT_CHECK)
    try:
        source = c_source(builtin_font(options.fonts))
    except FontError as error:
        sys.exit(f"make_builtin_font.py: {error}")
    if options.check:
        check(options.check, source)
    else:
        write(options.output, source)


if __name__ == "__main__":
    main(sys.argv)
