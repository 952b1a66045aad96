#!/usr/bin/env python3
"""Times `tremlox-view -o` beside `ansilove -o`, each making a PNG of the
same screens, and prints a table of their times, PNG sizes and memory.

    python3 bench/picture_bench.py [--view PATH] [--runs N] [--quick]

The screens are the classic examples of examples/ (80 columns of CP437 with
a SAUCE record) and the 100 KB screen of view_bench.py: the art of
examples/classic.ans over and over, without its record. Both programs
paint 8-dot cells (ansilove's default; tremlox-view is given
--letter-spacing=8), take turns run after run, and write to a RAM disk;
bench/measure.c takes each run's wall-clock time and peak resident memory.
--quick runs once each: a check that the benchmark works, which ansilove
may be missing from (its rows are then left out).
"""

import os
import shutil
import statistics
import subprocess
import sys
from pathlib import Path

from bench import ROOT, fail
from view_bench import measure, read_arguments, run_benchmark, write_screen

SCREENS = ["classic.ans", "welcome.ans", "colours.ans"]


def benchmark(tools, data, runs):
    screens = {name: ROOT / "examples" / name for name in SCREENS}
    screens["classic-100k.ans"] = Path(data) / "classic-100k.ans"
    write_screen(screens["classic-100k.ans"])
    programs = {"tremlox-view": lambda screen, png: [tools["view"], "--letter-spacing=8",
                                                     "-o", png, screen]}
    if tools["ansilove"]:
        programs["ansilove"] = lambda screen, png: [tools["ansilove"], "-q", "-o", png, screen]
    print("| Screen | Command | Runs | Min s | Median s | vs ansilove | PNG bytes | Peak RSS |")
    print("|---|---|--:|--:|--:|--:|--:|--:|")
    for screen_name, screen in screens.items():
        times = {name: [] for name in programs}
        peaks = dict.fromkeys(programs, 0)
        sizes = {}
        for _ in range(runs):
            for name, command in programs.items():
                png = f"{data}/{name}.png"
                seconds, kib = measure(tools["measure"], command(screen, png),
                                       subprocess.DEVNULL)
                times[name].append(seconds)
                peaks[name] = max(peaks[name], kib)
                sizes[name] = os.path.getsize(png)
        for name, samples in times.items():
            versus = (f"{statistics.median(samples) / statistics.median(times['ansilove']):.3g}x"
                      if "ansilove" in times else "")
            print(f"| {screen_name} | {name} | {runs} | {min(samples):.3g} "
                  f"| {statistics.median(samples):.3g} | {versus} | {sizes[name]} "
                  f"| {peaks[name]} KiB |")


def main(argv):
    arguments = read_arguments(__doc__.split("\n\n")[0], argv)
    tools = {"view": arguments.view, "ansilove": shutil.which("ansilove")}
    if tools["ansilove"] is None and not arguments.quick:
        fail("ansilove is not installed (Debian: apt install ansilove)")
    run_benchmark(benchmark, tools, 1 if arguments.quick else arguments.runs)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
