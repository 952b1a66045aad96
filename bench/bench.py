#!/usr/bin/env python3
"""Times tremlox beside its peers on fixed inputs, and prints a table.

    python3 bench/bench.py [--tremlox PATH] [--runs N] [--quick]

Each row of TABLE is an input, an output and the commands timed on it; the
commands of a row take turns, run after run, and the table gives each one's
minimum and median wall-clock time, its median against the baseline (a plain
fgetc/fprintf converter, bench/baseline.c) and its peak resident memory. A
peer that is not installed (xxd) is left out, and the output says so. The
baseline's text is compared with tremlox's for every input first: a
difference, or a command that fails, ends the benchmark with exit status 2.
--quick runs inputs 1024 times smaller, once: a check that the
benchmark itself works.
"""

import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
KIB = 1024

# Input: its size, what it holds, and how many invocations make one sample
# (a 4 KiB conversion is mostly process start-up).
INPUTS = {
    "random": (64 * KIB * KIB, "random", 1),
    "ANSI text": (64 * KIB * KIB, "ANSI text", 1),
    "screen": (4 * KIB, "screen", 200),
    "huge random": (KIB * KIB * KIB, "random", 1),
}
TABLE = [
    ("random", "/dev/null", ["tremlox", "baseline", "xxd -i", "dd bs=1M"]),
    ("random", "file", ["tremlox", "baseline", "dd bs=1M"]),
    ("ANSI text", "/dev/null", ["tremlox", "baseline", "dd bs=1M"]),
    ("ANSI text", "file", ["tremlox", "baseline", "dd bs=1M"]),
    ("screen", "/dev/null", ["tremlox", "baseline", "cp"]),
    ("screen", "file", ["tremlox", "baseline", "cp"]),
    ("huge random", "/dev/null", ["tremlox"]),  # memory must not grow with the input
]


def write_input(path, kind, size, seed=1987):
    """The same bytes on every run: random (64 MiB over and over, for 1 GiB),
    or laid out as ANSI art is."""
    if kind == "random":
        chunk = random.Random(seed).randbytes(min(size, 64 * KIB * KIB))
        with open(path, "wb") as file:
            for offset in range(0, size, len(chunk)):
                file.write(chunk[:size - offset])
        return
    rng = random.Random(seed + size)
    # ANSI text, and screens of it
    art = bytes([0xB0, 0xB1, 0xB2, 0xDB, 0xDC, 0xDF, 0xB3, 0xBA, 0xC4, 0xCD, 0xC9, 0xBB])
    lines = []
    for _ in range(1024):
        line = bytearray()
        while len(line) < 80:
            roll = rng.random()
            if roll < 0.3:
                line += b"\x1b[%d;%dm" % (rng.randint(30, 37), rng.randint(40, 47))
            elif roll < 0.5:
                line += bytes(rng.choices(art, k=rng.randint(1, 6)))
            else:
                line += bytes(rng.choices(range(0x21, 0x7F), k=rng.randint(1, 9))) + b" "
        lines.append(bytes(line) + b"\r\n")
    Path(path).write_bytes(b"".join(rng.choices(lines, k=size // 40 + 1))[:size])


def size_name(size):
    for unit, name in ((KIB ** 3, "GiB"), (KIB ** 2, "MiB"), (KIB, "KiB")):
        if size >= unit:
            return f"{size // unit} {name}"
    return f"{size} bytes"


def fail(message):
    print(f"bench.py: {message}", file=sys.stderr)
    sys.exit(2)


def run_quietly(argv, cwd=None):
    result = subprocess.run(argv, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True)
    if result.returncode != 0:
        fail(f"{' '.join(map(str, argv))} failed:\n{result.stdout}")


def measure(launcher, argv, output, invocations):
    """Seconds per invocation and peak KiB, taken by bench/measure.c: a tool
    started straight from Python is charged with Python's own memory."""
    seconds, peak = 0.0, 0
    for _ in range(invocations):
        Path(output).unlink(missing_ok=True)  # every run makes its output afresh
        report = subprocess.run([launcher, *argv], stdout=subprocess.PIPE).stdout.split()
        if len(report) != 3 or os.waitstatus_to_exitcode(int(report[1])) != 0:
            fail(f"{' '.join(argv)} failed")
        seconds, peak = seconds + int(report[0]) / 1e9, max(peak, int(report[2]))
    return seconds / invocations, peak


def commands(tools, source, reference, target):
    return {"tremlox": [tools["tremlox"], source, target],
            "baseline": [tools["baseline"], source, target],
            "xxd -i": [tools["xxd"], "-i", source, target],
            # A copy of a file as large as tremlox's text: what the disk allows.
            "dd bs=1M": ["dd", f"if={reference}", f"of={target}", "bs=1M", "status=none"],
            "cp": ["cp", source, target]}


def benchmark(tools, data, runs, scale):
    print("| Input | Output | Command | Runs | Min s | Median s | vs baseline | Peak RSS |")
    print("|---|---|---|--:|--:|--:|--:|--:|")
    source, reference, output = (f"{data}/{name}" for name in ("in", "reference", "out"))
    made = None
    for input_name, output_name, peers in TABLE:
        size, kind, invocations = INPUTS[input_name]
        size, invocations = max(size // scale, KIB), invocations if scale == 1 else 1
        if made != input_name:
            write_input(source, kind, size)
            made = input_name
            if "baseline" in peers:  # both must write the same text
                run_quietly([tools["tremlox"], source, reference])
                run_quietly([tools["baseline"], source, output])
                run_quietly(["cmp", output, reference])
        target = output if output_name == "file" else "/dev/null"
        row = {peer: argv for peer, argv in commands(tools, source, reference, target).items()
               if peer in peers and argv[0] is not None}
        times, peaks = {peer: [] for peer in row}, dict.fromkeys(row, 0)
        for _ in range(runs):
            for peer, argv in row.items():
                seconds, kib = measure(tools["measure"], argv, output, invocations)
                times[peer].append(seconds)
                peaks[peer] = max(peaks[peer], kib)
        baseline = statistics.median(times["baseline"]) if "baseline" in times else None
        for peer, samples in times.items():
            median = statistics.median(samples)
            against = f"{baseline / median:.3g}x" if baseline else "-"
            count = f"{runs} x {invocations}" if invocations > 1 else f"{runs}"
            print(f"| {size_name(size)} {kind} | {output_name} | {peer}"
                  f" | {count} | {min(samples):.3g} | {median:.3g} | {against}"
                  f" | {peaks[peer]} KiB |")


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--tremlox", default=os.environ.get("TREMLOX"),
                        help="the binary to time (default: the release preset's, built)")
    parser.add_argument("--runs", type=int, default=5, help="runs of each command (default 5)")
    parser.add_argument("--quick", action="store_true", help="small inputs, one run each")
    arguments = parser.parse_args(argv)

    tremlox = arguments.tremlox
    if tremlox is None:
        run_quietly(["cmake", "--preset", "release"], cwd=ROOT)
        run_quietly(["cmake", "--build", "--preset", "release"], cwd=ROOT)
        tremlox = ROOT / "build" / "release" / "tremlox"
    tools = {"tremlox": os.path.abspath(tremlox), "xxd": shutil.which("xxd")}
    if tools["xxd"] is None:
        print("xxd is not installed: its rows are left out.\n")
    # The inputs and outputs live on a RAM disk where there is one, so that
    # the disk's speed is not what is measured; the programs may not run there.
    ram_disk = "/dev/shm" if os.path.isdir("/dev/shm") else None
    with tempfile.TemporaryDirectory(prefix="tremlox-bench-") as build, \
            tempfile.TemporaryDirectory(prefix="tremlox-bench-", dir=ram_disk) as data:
        for program in ("baseline", "measure"):
            tools[program] = f"{build}/{program}"
            run_quietly([os.environ.get("CC", "cc"), "-O2", "-o", tools[program],
                         ROOT / "bench" / f"{program}.c"])
        if arguments.quick:
            benchmark(tools, data, 1, 1024)
        else:
            benchmark(tools, data, arguments.runs, 1)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
