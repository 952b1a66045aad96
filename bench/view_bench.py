#!/usr/bin/env python3
"""Times tremlox-view beside cat on the 100 KB classic screen, and prints a
table.

    python3 bench/view_bench.py [--view PATH] [--runs N] [--quick]

The screen is the art of examples/classic.ans over and over, to 100 KB
(its record left out, so it is drawn as 80 columns of CP437). Each command
writes it to a file on a RAM disk, and to a terminal: a pseudo-terminal of
132 columns whose other end is read as fast as it fills, so that what is
measured is the program, not a terminal's drawing. The commands take turns,
run after run, with TERM and COLORTERM saying 24-bit colours; the table gives each one's minimum and median wall-clock
time, its median once its start-up is taken off (the same program on an
empty input), that figure against cat's, and its peak resident memory, all
taken by bench/measure.c. --quick runs once each: a check that the
benchmark works.
"""

import argparse
import fcntl
import os
import pty
import statistics
import struct
import subprocess
import sys
import tempfile
import termios
import threading
from pathlib import Path

from bench import ROOT, fail, run_quietly

SCREEN_SIZE = 100 * 1024
TERMINAL_COLUMNS, TERMINAL_ROWS = 132, 50


def write_screen(path):
    art = (ROOT / "examples" / "classic.ans").read_bytes().split(b"\x1a")[0]
    copies = SCREEN_SIZE // len(art) + 1
    Path(path).write_bytes((art * copies)[:SCREEN_SIZE])


class Terminal:
    """A pseudo-terminal of 132 columns, its output read and dropped."""

    def __enter__(self):
        self.controller, self.terminal = pty.openpty()
        size = struct.pack("HHHH", TERMINAL_ROWS, TERMINAL_COLUMNS, 0, 0)
        fcntl.ioctl(self.terminal, termios.TIOCSWINSZ, size)
        self.reader = threading.Thread(target=self.drain, daemon=True)
        self.reader.start()
        return self

    def drain(self):
        try:
            while os.read(self.controller, 1 << 16):
                pass
        except OSError:
            pass

    def __exit__(self, *_):
        os.close(self.terminal)
        os.close(self.controller)


# A terminal of today, as the viewer's AUTO colours read it: 24-bit colours.
ENVIRONMENT = {name: value for name, value in os.environ.items() if name != "NO_COLOR"}
ENVIRONMENT.update(TERM="xterm-256color", COLORTERM="truecolor")


def measure(launcher, argv, output):
    """Seconds and peak KiB of one run, its standard output to `output`."""
    report = subprocess.run([launcher, *argv], stdout=subprocess.PIPE, stderr=output,
                            env=ENVIRONMENT).stdout
    fields = report.split()
    if len(fields) != 3 or os.waitstatus_to_exitcode(int(fields[1])) != 0:
        fail(f"{' '.join(argv)} failed")
    return int(fields[0]) / 1e9, int(fields[2])


def benchmark(tools, data, runs):
    screen = f"{data}/classic-100k.ans"
    empty = f"{data}/empty.ans"
    write_screen(screen)
    Path(empty).write_bytes(b"")
    programs = {"tremlox-view": [tools["view"]], "cat": ["cat"]}
    print("| Output | Command | Runs | Min s | Median s | Median after start-up s "
          "| vs cat after start-up | Peak RSS |")
    print("|---|---|--:|--:|--:|--:|--:|--:|")
    for output_name in ("file", "terminal"):
        times = {name: {"screen": [], "empty": []} for name in programs}
        peaks = dict.fromkeys(programs, 0)
        with Terminal() as terminal:
            for _ in range(runs):
                for name, program in programs.items():
                    for input_name, path in (("screen", screen), ("empty", empty)):
                        if output_name == "file":
                            with open(f"{data}/out", "wb") as output:
                                seconds, kib = measure(tools["measure"], program + [path], output)
                        else:
                            seconds, kib = measure(tools["measure"], program + [path],
                                                   terminal.terminal)
                        times[name][input_name].append(seconds)
                        if input_name == "screen":
                            peaks[name] = max(peaks[name], kib)
        after_start = {name: statistics.median(samples["screen"]) -
                       statistics.median(samples["empty"]) for name, samples in times.items()}
        for name, samples in times.items():
            work = samples["screen"]
            print(f"| {output_name} | {name} | {runs} | {min(work):.3g} "
                  f"| {statistics.median(work):.3g} | {after_start[name]:.3g} "
                  f"| {after_start[name] / after_start['cat']:.3g}x | {peaks[name]} KiB |")


def read_arguments(description, argv):
    """The viewer's benchmarks' options, with the viewer to time: the
    release preset's, built, unless --view names one."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--view", default=os.environ.get("TREMLOX_VIEW"),
                        help="the tremlox-view to time (default: the release preset's, built)")
    parser.add_argument("--runs", type=int, default=20, help="runs of each command (default 20)")
    parser.add_argument("--quick", action="store_true", help="one run each")
    arguments = parser.parse_args(argv)
    if arguments.view is None:
        run_quietly(["cmake", "--preset", "release"], cwd=ROOT)
        run_quietly(["cmake", "--build", "--preset", "release"], cwd=ROOT)
        arguments.view = ROOT / "build" / "release" / "tremlox-view"
    arguments.view = os.path.abspath(arguments.view)
    return arguments


def run_benchmark(benchmark, tools, runs):
    """Builds bench/measure.c, and runs benchmark(tools, data, runs) with a
    folder for its files on a RAM disk where there is one."""
    ram_disk = "/dev/shm" if os.path.isdir("/dev/shm") else None
    with tempfile.TemporaryDirectory(prefix="tremlox-bench-") as build, \
            tempfile.TemporaryDirectory(prefix="tremlox-bench-", dir=ram_disk) as data:
        tools["measure"] = f"{build}/measure"
        run_quietly([os.environ.get("CC", "cc"), "-O2", "-o", tools["measure"],
                     ROOT / "bench" / "measure.c"])
        benchmark(tools, data, runs)


def main(argv):
    arguments = read_arguments(__doc__.split("\n\n")[0], argv)
    run_benchmark(benchmark, {"view": arguments.view}, 1 if arguments.quick else arguments.runs)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
