"""Checks of the benchmark's own parts: python3 -B -m unittest discover bench"""

import os
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

import bench
from bench import BASELINE, CP, DD, DEV_NULL, RANDOM, SCREEN, SHM_FILE, TREMLOX, XXD


class ArrayTextTest(unittest.TestCase):
    """The model that tremlox and the baseline are held against."""

    def test_readme_example(self):
        self.assertEqual(bench.array_text(b"\x1b[0mA"),
                         b"/* \n   ANSI screen converted to C data by tremlox. Do not edit this"
                         b" file.\n*/\n\nchar screendata[]={ 27,91,48,109,65,0 };\n")

    def test_empty_input_is_header_and_terminator(self):
        self.assertEqual(len(bench.array_text(b"")), 103)

    def test_rows_break_after_every_13th_value(self):
        row = b"1," * 13
        self.assertEqual(bench.array_text(b"\1" * 12), bench.HEADER + b"1," * 12 + b"0 };\n")
        self.assertEqual(bench.array_text(b"\1" * 13), bench.HEADER + row + bench.ROW_BREAK
                         + b"0 };\n")
        self.assertEqual(bench.array_text(b"\1" * 27), bench.HEADER + row + bench.ROW_BREAK
                         + row + bench.ROW_BREAK + b"1,0 };\n")

    def test_values_are_unsigned(self):
        self.assertIn(b"{ 0,9,10,99,100,255,0 }", bench.array_text(bytes([0, 9, 10, 99, 100, 255])))


class InputTest(unittest.TestCase):
    def test_ansi_text_is_fixed_and_looks_like_a_screen(self):
        text = bench.ansi_text(200_000, 7)
        self.assertEqual(text, bench.ansi_text(200_000, 7))
        self.assertNotEqual(text, bench.ansi_text(200_000, 8))
        self.assertEqual(len(text), 200_000)
        self.assertGreater(text.count(b"\r\n"), 1000)
        self.assertEqual(text.count(b"\n"), text.count(b"\r\n"))
        self.assertGreater(text.count(b"\x1b["), 2000)
        high = sum(1 for byte in text if byte > 127)
        printable = sum(1 for byte in text if 32 <= byte < 127)
        self.assertGreater(high, len(text) // 50)
        self.assertGreater(printable, len(text) * 3 // 4)

    def test_random_bytes_are_fixed(self):
        data = bench.random_bytes(1 << 16, 3)
        self.assertEqual(data, bench.random_bytes(1 << 16, 3))
        self.assertEqual(len(set(data)), 256)


def measured(seconds, peak_kib=3000):
    return bench.Measurement(seconds=[seconds], peak_kib=peak_kib)


class TargetTest(unittest.TestCase):
    def results(self, **changes):
        """Results that meet every target by a margin; changes override entries."""
        results = {
            (RANDOM, DEV_NULL, TREMLOX): measured(0.1),
            (RANDOM, DEV_NULL, BASELINE): measured(6.0),
            (RANDOM, DEV_NULL, XXD): measured(8.0),
            (RANDOM, SHM_FILE, TREMLOX): measured(0.25),
            (RANDOM, SHM_FILE, DD): measured(0.25),
            (SCREEN, DEV_NULL, TREMLOX): measured(0.002),
            (SCREEN, DEV_NULL, CP): measured(0.002),
            (SCREEN, SHM_FILE, TREMLOX): measured(0.002),
            (SCREEN, SHM_FILE, CP): measured(0.002),
        }
        for name, value in changes.items():
            key = {"baseline": (RANDOM, DEV_NULL, BASELINE), "xxd": (RANDOM, DEV_NULL, XXD),
                   "to_file": (RANDOM, SHM_FILE, TREMLOX), "screen": (SCREEN, SHM_FILE, TREMLOX),
                   "large": (RANDOM, DEV_NULL, TREMLOX)}[name]
            if value is None:
                del results[key]
            else:
                results[key] = value
        return results

    def verdicts(self, results, huge_peak_kib=3000):
        return [target.passed for target in bench.evaluate_targets(results, huge_peak_kib)]

    def test_all_met(self):
        self.assertEqual(self.verdicts(self.results()), [True] * 7)

    def test_speed_ratios_at_and_past_their_bounds(self):
        self.assertTrue(self.verdicts(self.results(baseline=measured(5.0)))[0])
        self.assertFalse(self.verdicts(self.results(baseline=measured(4.99)))[0])
        self.assertTrue(self.verdicts(self.results(xxd=measured(6.0)))[1])
        self.assertFalse(self.verdicts(self.results(xxd=measured(5.99)))[1])
        self.assertTrue(self.verdicts(self.results(to_file=measured(0.325)))[2])
        self.assertFalse(self.verdicts(self.results(to_file=measured(0.33)))[2])
        self.assertTrue(self.verdicts(self.results(screen=measured(0.003)))[6])
        self.assertFalse(self.verdicts(self.results(screen=measured(0.0031)))[6])

    def test_missing_tool_is_skipped_not_passed(self):
        self.assertIsNone(self.verdicts(self.results(xxd=None))[1])

    def test_memory_bounds(self):
        self.assertFalse(self.verdicts(self.results(), huge_peak_kib=4096)[3])
        self.assertFalse(self.verdicts(self.results(screen=measured(0.002, 4100)))[3])
        self.assertTrue(self.verdicts(self.results(), huge_peak_kib=3256)[4])
        self.assertFalse(self.verdicts(self.results(), huge_peak_kib=3257)[4])
        # Using less for the larger input is as suspect as using more.
        self.assertFalse(self.verdicts(self.results(), huge_peak_kib=2700)[4])


class LauncherTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.launcher = bench.compile_c(bench.BENCH / "measure.c", Path(cls.folder.name) / "m")

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def test_reports_the_tools_memory_not_the_callers(self):
        ballast = bytearray(64 * bench.MIB)
        ballast[::4096] = b"\1" * len(ballast[::4096])  # make every page resident
        seconds, peak_kib = bench.run_measured(self.launcher, ["true"])
        self.assertLess(peak_kib, 8 * 1024)
        self.assertGreater(peak_kib, 0)
        self.assertGreater(seconds, 0)
        del ballast

    def test_a_failing_tool_is_an_error(self):
        with self.assertRaisesRegex(bench.BenchmarkError, "exit 1"):
            bench.run_measured(self.launcher, ["false"])
        with self.assertRaisesRegex(bench.BenchmarkError, "could not run"):
            bench.run_measured(self.launcher, ["/nonexistent/tool"])


# A stand-in for tremlox built on the model, with one fault.
FAKE_TREMLOX = """#!{python}
import sys
sys.path.insert(0, {bench_dir!r})
import bench
data = open(sys.argv[1], "rb").read()
text = bench.array_text(data)
{fault}
open(sys.argv[2], "wb").write(text)
"""


class FailsLoudlyTest(unittest.TestCase):
    """A wrong or failing tremlox stops the benchmark with exit status 2."""

    def run_with_fake(self, fault):
        with tempfile.TemporaryDirectory() as folder:
            fake = Path(folder) / "tremlox"
            fake.write_text(FAKE_TREMLOX.format(python=sys.executable,
                                                bench_dir=str(bench.BENCH), fault=fault))
            fake.chmod(0o755)
            return subprocess.run([sys.executable, str(bench.BENCH / "bench.py"), "--tremlox",
                                   str(fake)], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                  text=True, timeout=120,
                                  env=dict(os.environ, PYTHONDONTWRITEBYTECODE="1"))

    def test_signed_values(self):
        result = self.run_with_fake('text = text.replace(b"255,", b"-1,")')
        self.assertEqual(result.returncode, 2)
        self.assertRegex(result.stderr, "FAILED: tremlox's output for [0-9]+ bytes is not the"
                                        " expected text")
        self.assertEqual(result.stdout, "")

    def test_missing_terminator_newline(self):
        result = self.run_with_fake("text = text[:-1]")
        self.assertEqual(result.returncode, 2)
        self.assertIn("tremlox's output for empty is not the expected text", result.stderr)

    def test_failure_status(self):
        result = self.run_with_fake("sys.exit(1)")
        self.assertEqual(result.returncode, 2)
        self.assertIn("failed (exit 1)", result.stderr)


if __name__ == "__main__":
    unittest.main()
