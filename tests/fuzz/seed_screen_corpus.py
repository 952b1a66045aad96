"""Writes the screen fuzzer's seed corpus: the classic example and the edge
cases of records and escape sequences, each behind a byte that picks the
character set (0 guess, 1 CP437, 2 UTF-8; see screen_fuzzer.cpp).

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
seeds = {
    "classic-guess": b"\x00" + make_classic_screen.screen_bytes(),
    "classic-cp437": b"\x01" + make_classic_screen.screen_bytes(),
    "lying-comment-count": b"\x01art" + record(comments=255),
    "comment-block": b"\x01art\x1aCOMNT" + b"c" * 64 + record(comments=1),
    "ice-sgr": b"\x01\x1b[5;44mX\x1b[25m\x1b[0;5;38;5;208;48;2;1;2;3mY\x1b[m" + record(),
    "cursor-moves": b"\x01\x1b[10C\x1b[5D\x1b[41G\x1b[3;71H\x1b[s\x1b[u\tx" + b"y" * 90,
    "cut-off-sequence": b"\x01abc\x1b[12",
    "utf8": b"\x02\xe2\x95\x94\xe2\x95\x90\x1b[1mA\r\n",
    "all-bytes": b"\x01" + bytes(range(256)),
    "width-40": b"\x01" + b"x" * 100 + b"\x1a" + record(width=40),
}
for name, data in seeds.items():
    (folder / name).write_bytes(data)
