#!/usr/bin/env python3
"""Writes glyph_kinds_table.c, the cells each code point takes, from Unicode's data.

    make_glyph_kinds.py [--ucd DIR] [OUTPUT]   (default: glyph_kinds_table.c beside this script)
    make_glyph_kinds.py [--ucd DIR] --check FILE
        exit status 1 when FILE is not what the data gives, 77 when the data
        is of another Unicode version than FILE

DIR holds the Unicode Character Database's UnicodeData.txt and
EastAsianWidth.txt (default: /usr/share/unicode, Debian's unicode-data).

A code point is
  wide     when its East Asian Width is W or F, as terminals draw it, the
           unassigned ones that default to W included;
  joining  when it is a nonspacing or enclosing mark or a format character
           (Mn, Me, Cf), or a Hangul medial vowel or final consonant
           (U+1160-U+11FF, U+D7B0-U+D7FF), which joins the syllable before
           it; the soft
           hyphen is not, as terminals show it as a hyphen;
  dropped  when it is a bidirectional control, which is never drawn;
  narrow   otherwise, the ambiguous widths (A) included, as on terminals set
           for Western text.
A joining code point that East Asian Width calls wide (the ideographic tone
marks, the kana voicing marks) joins. The table holds the three classes that
are not narrow, each as sorted, merged ranges.
"""

import argparse
import pathlib
import re
import sys

LAST_CODE_POINT = 0x10FFFF
WIDE, JOINING, DROPPED = "wide", "joining", "dropped"
TABLE_CLASSES = (WIDE, JOINING, DROPPED)

JOINING_CATEGORIES = {"Mn", "Me", "Cf"}
SOFT_HYPHEN = 0x00AD
HANGUL_MEDIALS_AND_FINALS = [*range(0x1160, 0x1200), *range(0xD7B0, 0xD800)]
BIDIRECTIONAL_CONTROLS = [0x061C, 0x200E, 0x200F, *range(0x202A, 0x202F), *range(0x2066, 0x206A)]

# The unassigned code points that default to W. EastAsianWidth.txt states
# them in @missing lines from Unicode 15.1 on; earlier files say so only in
# their header's prose (and list the unassigned ones in these blocks).
DEFAULT_WIDE = [(0x3400, 0x4DBF), (0x4E00, 0x9FFF), (0xF900, 0xFAFF),
                (0x20000, 0x2FFFD), (0x30000, 0x3FFFD)]

DEFAULT_OUTPUT = pathlib.Path(__file__).resolve().with_name("glyph_kinds_table.c")
RANGES_PER_LINE = 4
# The exit status of --check when the data is of another Unicode version
# than the file: the file may be right, but this data cannot tell.
CANNOT_CHECK = 77


class DataError(Exception):
    pass


def code_points(field):
    """The code points of a field such as 0041 or 3400..4DBF, as a range."""
    first, _, last = field.strip().partition("..")
    return range(int(first, 16), int(last or first, 16) + 1)


def read_lines(path):
    try:
        return path.read_text(encoding="utf-8").splitlines()
    except OSError as error:
        raise DataError(f"{path}: {error.strerror}") from error


def east_asian_widths(path):
    """The Unicode version EastAsianWidth.txt is of, and the wide code points."""
    lines = read_lines(path)
    version = re.match(r"# EastAsianWidth-(\d+\.\d+\.\d+)\.txt", lines[0] if lines else "")
    if not version:
        raise DataError(f"{path}: no EastAsianWidth-VERSION.txt on its first line")
    wide = bytearray(LAST_CODE_POINT + 1)
    # Defaults come first, each @missing line overriding those before it;
    # the code points listed one by one override them all.
    defaults = []
    listed = []
    for number, line in enumerate(lines, 1):
        missing = re.match(r"#\s*@missing:\s*([0-9A-Fa-f.]+)\s*;\s*(\w+)", line)
        data = line.split("#", 1)[0].strip()
        try:
            if missing:
                defaults.append((code_points(missing[1]), missing[2]))
            elif data:
                field, width = data.split(";")
                listed.append((code_points(field), width.strip()))
        except ValueError as error:
            raise DataError(f"{path}:{number}: not a code point and a width: {line}") from error
    if not any(width == "W" for _, width in defaults):
        defaults += [(range(first, last + 1), "W") for first, last in DEFAULT_WIDE]
    for points, width in defaults + listed:
        value = 1 if width in ("W", "F") else 0
        wide[points.start:points.stop] = bytes([value]) * len(points)
    return version[1], wide


def joining_code_points(path):
    """The code points whose general category is Mn, Me or Cf."""
    joining = bytearray(LAST_CODE_POINT + 1)
    range_first = None
    for number, line in enumerate(read_lines(path), 1):
        fields = line.split(";")
        if len(fields) < 3:
            continue
        try:
            code_point = int(fields[0], 16)
        except ValueError as error:
            raise DataError(f"{path}:{number}: not a code point: {line}") from error
        # A range is two lines, <Name, First> and <Name, Last>.
        if fields[1].endswith(", First>"):
            range_first = code_point
            continue
        first = range_first if fields[1].endswith(", Last>") else code_point
        range_first = None
        if fields[2] in JOINING_CATEGORIES:
            joining[first:code_point + 1] = b"\x01" * (code_point + 1 - first)
    return joining


def glyph_kinds(ucd):
    """The Unicode version, and each class's code points as sorted, merged ranges."""
    version, wide = east_asian_widths(ucd / "EastAsianWidth.txt")
    joining = joining_code_points(ucd / "UnicodeData.txt")
    joining[SOFT_HYPHEN] = 0
    for code_point in HANGUL_MEDIALS_AND_FINALS:
        joining[code_point] = 1
    dropped = set(BIDIRECTIONAL_CONTROLS)

    ranges = {kind: [] for kind in TABLE_CLASSES}
    for code_point in range(LAST_CODE_POINT + 1):
        if code_point in dropped:
            kind = DROPPED
        elif joining[code_point]:
            kind = JOINING
        elif wide[code_point]:
            kind = WIDE
        else:
            continue
        kind_ranges = ranges[kind]
        if kind_ranges and kind_ranges[-1][1] == code_point - 1:
            kind_ranges[-1][1] = code_point
        else:
            kind_ranges.append([code_point, code_point])
    return version, ranges


def c_array(name, comment, ranges):
    lines = [f"/* {comment} */", f"static const uint32_t {name}[][2] = {{"]
    for start in range(0, len(ranges), RANGES_PER_LINE):
        row = ranges[start:start + RANGES_PER_LINE]
        lines.append("    " + " ".join(f"{{0x{first:05x}, 0x{last:05x}}}," for first, last in row))
    lines.append("};")
    return lines


def c_source(version, ranges):
    lines = [
        f"/* Generated by make_glyph_kinds.py from Unicode {version}'s UnicodeData.txt and",
        " * EastAsianWidth.txt: do not edit, run the script instead.",
        " *",
        " * The code points that do not take one cell, as sorted, merged ranges",
        " * {first, last}: glyph_kinds.c includes this file and searches them. */",
        "/* clang-format off */",
    ]
    comments = {
        WIDE: "Two cells: East Asian Width W or F.",
        JOINING: "No cell of their own: they join the glyph before them.",
        DROPPED: "Never drawn: the bidirectional controls.",
    }
    for kind in TABLE_CLASSES:
        lines.append("")
        lines += c_array(f"{kind}_ranges", comments[kind], ranges[kind])
    lines += ["", "/* clang-format on */", ""]
    return "\n".join(lines)


def table_version(source):
    """The Unicode version named in the head of a generated table, or None."""
    version = re.match(r"/\* Generated by make_glyph_kinds\.py from Unicode (\S+)'s", source)
    return version and version[1]


def check(path, ucd, version, source):
    try:
        committed = path.read_text(encoding="utf-8")
    except OSError as error:
        sys.exit(f"make_glyph_kinds.py: {path}: {error.strerror}")
    if committed == source:
        return
    committed_version = table_version(committed)
    if committed_version and committed_version != version:
        print(f"make_glyph_kinds.py: {path} is made from Unicode {committed_version}, the data in "
              f"{ucd} is Unicode {version}: it cannot be checked with this data", file=sys.stderr)
        sys.exit(CANNOT_CHECK)
    sys.exit(f"make_glyph_kinds.py: {path} is not what Unicode {version}'s data in {ucd} gives: "
             "regenerate it with python3 src/screen/make_glyph_kinds.py")


def write(path, source):
    try:
        with open(path, "w", encoding="utf-8", newline="\n") as output:
            output.write(source)
    except OSError as error:
        sys.exit(f"make_glyph_kinds.py: {path}: {error.strerror}")


def main(arguments):
    parser = argparse.ArgumentParser(
        prog="make_glyph_kinds.py",
        description="Writes the table of the cells each code point takes.")
    parser.add_argument("--ucd", type=pathlib.Path, default=pathlib.Path("/usr/share/unicode"),
                        metavar="DIR", help="the folder of UnicodeData.txt and EastAsianWidth.txt")
    action = parser.add_mutually_exclusive_group()
    action.add_argument("--check", type=pathlib.Path, metavar="FILE",
                        help="compare FILE with what the data gives instead of writing")
    action.add_argument("output", nargs="?", type=pathlib.Path, default=DEFAULT_OUTPUT,
                        metavar="OUTPUT", help="the file to write")
    options = parser.parse_args(arguments[1:])
    try:
        version, ranges = glyph_kinds(options.ucd)
    except DataError as error:
        sys.exit(f"make_glyph_kinds.py: {error}")
    source = c_source(version, ranges)
    if options.check:
        check(options.check, options.ucd, version, source)
    else:
        write(options.output, source)


if __name__ == "__main__":
    main(sys.argv)
