"""Writes the fuzzer's seed corpus: the edge cases of the format, each behind
a control byte (see array_writer_fuzzer.cpp)."""
import pathlib
import sys

folder = pathlib.Path(sys.argv[1])
folder.mkdir(parents=True, exist_ok=True)
seeds = {
    "empty": b"\x00",
    "one-byte": b"\x00A",
    "ansi-reset": b"\x00\x1b[0m",
    "row-of-13": b"\x00" + b"A" * 13,
    "row-of-14": b"\x00" + b"A" * 14,
    "rows-of-12-13-14": b"\x03\x0b\x0c\x0d" + bytes(range(26)),
    "all-byte-values": b"\x00" + bytes(range(256)),
    "zeros-inside": b"\x00\x01\x00\x02\x00",
    "single-byte-reads": b"\x01\x00" + bytes(range(100)),
    "full-sink": b"\x08\x03\x00" + bytes(range(256)),
    "several-blocks": b"\xf2\xff\x10" + bytes(range(256)) * 8,
}
for name, data in seeds.items():
    (folder / name).write_bytes(data)
