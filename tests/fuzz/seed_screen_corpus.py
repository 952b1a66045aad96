"""Writes the screen fuzzer's seed corpus: the classic example and the edge
cases of records, escape sequences and the grid's caps, each behind three
bytes that pick the character set and wrapping, the width and the column
limit (see screen_fuzzer.cpp).

    seed_screen_corpus.py FOLDER
"""
import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "examples"))
import make_classic_screen  # noqa: E402


def record(comments=0, flags=1, width=80):
    fields = b"SAUCE00" + b"T".ljust(35) + b"A".ljust(20) + b"G".ljust(20) + b"20261209"
    fields += bytes(4) + bytes([1, 1]) + width.to_bytes(2, "little")
    fields += (25).to_bytes(2, "little") + bytes(4) + bytes([comments, flags])
    return fields + b"IBM VGA".ljust(22, b"\0")


folder = pathlib.Path(sys.argv[1])
folder.mkdir(parents=True, exist_ok=True)
GUESS, CP437, UTF8 = 0, 1, 2
DOS, VT = 3, 6
seeds = {
    "classic-guess": bytes([GUESS, 0, 0]) + make_classic_screen.screen_bytes(),
    "classic-cp437-clipped": bytes([CP437, 0, 60]) + make_classic_screen.screen_bytes(),
    "lying-comment-count": bytes([CP437, 0, 0]) + b"art" + record(comments=255),
    "comment-block": bytes([CP437, 0, 0]) + b"art\x1aCOMNT" + b"c" * 64 + record(comments=1),
    "ice-sgr": bytes([CP437, 0, 0]) + b"\x1b[5;44mX\x1b[25m\x1b[0;5;7;38;5;208;48;2;1;2;3mY"
               b"\x1b[?33l\x1b[5mZ\x1b[1;170;85;0t\x1b[m" + record(),
    "cursor-moves": bytes([CP437 + VT, 10, 0]) + b"\x1b[10C\x1b[5D\x1b[41G\x1b[3;71H\x1b[s"
                    b"\x1b[u\x1b[2A\x1b[4B\tx" + b"y" * 90,
    "erasing": bytes([CP437 + DOS, 8, 0]) + b"abc\r\ndef\x1b[44m\x1b[K\x1b[1J\x1b[2K\x1b[J"
               b"\x1b[2Jxy",
    "control-strings": bytes([UTF8, 0, 0]) + b"\x1b]8;;http://x\x07link\x1b]8;;\x1b\\"
                       b"\x1bPq\x1b\\\x1b(B\x1b[6n\x1b[?1049h\x1b]0;cut",
    "cut-off-sequence": bytes([CP437, 0, 0]) + b"abc\x1b[12",
    "utf8": bytes([UTF8, 0, 0]) + b"\xe2\x95\x94\xe2\x95\x90\x1b[1mA\x82\x07\r\n",
    "all-bytes": bytes([CP437, 0, 0]) + bytes(range(256)),
    "width-40": bytes([CP437, 0, 0]) + b"x" * 100 + b"\x1a" + record(width=40),
    "width-65535": bytes([CP437, 0, 0]) + b"a\x1b[1100Cb\x1b[65535Gc\x1a" + record(width=65535),
    "far-down": bytes([CP437, 0, 0]) + b"\x1b[65535;65535HX\x1b[65535BY",
    "full-rows-vt": bytes([GUESS, 5, 0]) + b"abcde\r\nfghij\x1b[0m\r\nk",
}
for name, data in seeds.items():
    (folder / name).write_bytes(data)
