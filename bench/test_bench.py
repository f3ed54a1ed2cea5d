#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks of the benchmark harness itself: that it measures the right process, stops what
hangs, catches wrong bytes, picks the output file system, and that every tool writes where the
harness looks, over HTTP and HTTPS (harvex-cli too when $HARVEX_CLI or build/release has it).

    python3 bench/test_bench.py
"""
import hashlib
import os
import shutil
import sys
import tempfile
import time
import unittest

sys.dont_write_bytecode = True  # no __pycache__ folders in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from benchlib import measure, outfs, report, tools  # noqa: E402
from benchlib.nginx import Nginx  # noqa: E402


def _entry(payload):
    return (len(payload), hashlib.sha256(payload).hexdigest())


class MeasureTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.dir, True)

    def test_peak_memory_is_the_childs_not_the_harness(self):
        ballast = bytearray(300 << 20)  # the harness itself grows large
        ballast[::4096] = b"x" * len(ballast[::4096])
        small = measure.run(["true"], dict(os.environ), self.dir, self.dir, 10)
        big = measure.run([sys.executable, "-c", "b = bytearray(120 << 20); b[::4096] = b'x' * "
                           "len(b[::4096])"], dict(os.environ), self.dir, self.dir, 30)
        del ballast
        self.assertEqual(small.code, 0)
        self.assertLess(small.rss_kib, 50 << 10)
        self.assertGreater(big.rss_kib, 120 << 10)
        self.assertLess(big.rss_kib, 250 << 10)

    def test_time_out_kills_the_whole_group_and_exit_codes_pass_through(self):
        start = time.monotonic()
        # The shell's own child must die too, or the group would hold the wait.
        hung = measure.run(["sh", "-c", "sleep 30 & sleep 30"], dict(os.environ), self.dir,
                           self.dir, 0.5)
        self.assertTrue(hung.timed_out)
        self.assertLess(time.monotonic() - start, 10)
        failed = measure.run(["sh", "-c", "echo why >&2; exit 3"], dict(os.environ), self.dir,
                             self.dir, 10)
        self.assertEqual((failed.code, failed.timed_out, failed.stderr.strip()), (3, False, "why"))


class VerifyTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.payload = os.urandom(100_000)
        self.expected = {"a/one.bin": _entry(self.payload), "a/two.bin": _entry(b"")}

    def write(self, rel, payload):
        os.makedirs(os.path.dirname(os.path.join(self.dir, rel)), exist_ok=True)
        with open(os.path.join(self.dir, rel), "wb") as f:
            f.write(payload)

    def problems(self):
        return measure.verify(self.dir, self.expected, lambda rel: os.path.join(self.dir, rel))

    def test_exact_copy_passes_and_every_kind_of_damage_is_caught(self):
        self.write("a/one.bin", self.payload)
        self.write("a/two.bin", b"")
        self.assertEqual(self.problems(), [])
        flipped = bytearray(self.payload)
        flipped[77_777] ^= 1
        for damaged, word in ((self.payload[:-1], "size"), (self.payload + b"\0", "size"),
                              (bytes(flipped), "SHA-256")):
            self.write("a/one.bin", damaged)
            found = self.problems()
            self.assertEqual(len(found), 1, found)
            self.assertIn(word, found[0])
        os.remove(os.path.join(self.dir, "a/two.bin"))
        self.assertTrue(any(p.startswith("missing") for p in self.problems()))


class OutFsTest(unittest.TestCase):
    def test_tmpfs_only_when_asked_and_there_is_room(self):
        shm = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, shm, True)
        room = os.statvfs(shm).f_bavail * os.statvfs(shm).f_frsize
        # tmpfs gives every file whole pages: 32 000 files of 1 KiB take 125 MiB, not 31.
        self.assertGreater(outfs.needed_bytes([1024] * 32000), 32000 * 4096)
        self.assertEqual(outfs.choose("tmpfs", [10240] * 1000, "/disk", shm), (shm, "tmpfs", ""))
        self.assertEqual(outfs.choose("disk", [1], "/disk", shm), ("/disk", "disk", ""))
        for sizes, shm_path, word in (([1], shm + "/none", "missing"),
                                      ([room // 2, room // 2], shm, "MiB free")):
            root, fs, note = outfs.choose("tmpfs", sizes, "/disk", shm_path)
            self.assertEqual((root, fs), ("/disk", "disk"))
            self.assertIn(word, note)


class ReportTest(unittest.TestCase):
    def result(self, workload, tool, walls, rss_kib=10 << 10, cpu=0.1, size=10240, files=1000):
        r = report.Result(workload, tool, files, size * files)
        r.samples = [measure.Sample(w, cpu, rss_kib, 0, False, "", "") for w in walls]
        return r

    def test_pacing_counts_whole_rounds_of_slots(self):
        self.assertEqual(report.expected_pacing(200, 20), 20.0)
        self.assertEqual(report.expected_pacing(201, 20), 22.0)
        self.assertEqual(report.expected_pacing(3, 20), 2.0)

    def test_targets_compare_medians_as_ratios(self):
        results = [self.result("small", "harvex", [0.4, 9.0, 0.3]),  # median 0.4
                   self.result("small", "curl", [0.1]),  # not the one small compares with
                   self.result("small", "wget2", [0.5, 0.5, 0.5]),
                   self.result("https", "harvex", [0.9]),
                   self.result("https", "curl", [1.0]),
                   self.result("https", "aria2c", [0.2]),  # not compared with
                   self.result("large", "harvex", [1.2], cpu=0.7, size=1 << 30, files=1),
                   self.result("large", "wget2", [1.0], size=1 << 30, files=1),
                   # Time per file: 32 s / 32 000 = 1 ms against 1.2 s / 1000 = 1.2 ms.
                   self.result("scale", "harvex", [32.0], rss_kib=33 << 10, size=1024,
                               files=32000),
                   self.result("scale-1000", "harvex", [1.2], rss_kib=30 << 10, size=1024)]
        failed = self.result("medium", "harvex", [0.1], rss_kib=70 << 10, size=2 << 20, files=50)
        failed.failures.append("run 2: 1 bad file(s)")
        results.append(failed)
        found = report.targets(results)

        def check(*words):
            hits = [(f, v) for n, f, v in found if all(w in n for w in words)]
            self.assertEqual(len(hits), 1, words)
            return hits[0]

        figure, verdict = check("small (", "0.85 x wget2's")
        self.assertEqual((figure.split(":")[0], verdict), ("ratio 0.80 x wget2", "PASS"))
        self.assertEqual(check("https (", "curl, wget2")[0].split(":")[0], "ratio 0.90 x curl")
        self.assertEqual(check("large (", "CPU <= 0.6"), ("ratio 1.17: 0.70 s/GiB", "MISS"))
        self.assertEqual(check("large (", "every peer")[1], "MISS")
        self.assertEqual(check("time per file at 32000 <= at 1000"),
                         ("ratio 0.833: 1.000 ms vs 1.200 ms per file", "PASS"))
        self.assertEqual(check("peak memory at 32000 <= at 1000"),
                         ("ratio 1.100: 33.0 MiB vs 30.0 MiB", "PASS"))
        self.assertEqual(check("scale-1000: harvex peak memory < 60")[1], "PASS")
        # A run with wrong bytes proves nothing, however fast or small it was.
        self.assertEqual(check("medium (", "fastest peer")[1], "n/a")
        self.assertEqual(check("medium: harvex peak memory")[1], "n/a")
        # The table gives each tool's time over Harvex's: above 1 is slower than Harvex.
        rows = {(c[2].strip(), c[1].split()[0]): c[7].strip() for c in
                (line.split("|") for line in report.table(results).splitlines()[2:])}
        self.assertEqual(rows[("wget2", "small")], "1.25")
        self.assertEqual(rows[("curl", "small")], "0.25")
        self.assertEqual(rows[("harvex", "medium")], "-")


def _harvex_cli():
    path = os.environ.get("HARVEX_CLI") or os.path.join(
        os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "build", "release", "app",
        "harvex-cli")
    return tools.HarvexFast(path)


class PlacementTest(unittest.TestCase):
    """Each tool fetches a few files from a real loopback nginx, over HTTP and over HTTPS with
    the throwaway CA, into a fresh folder, and the harness finds every byte where it expects the
    tool to have put it (harvex-cli: under a folder named after the URL's host:port)."""

    def test_every_tool_writes_where_the_harness_looks(self):
        root = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, root, True)
        www = os.path.join(root, "www")
        expected = {}
        for i, rel in enumerate(("small/f0000.bin", "small/f0001.bin", "deep/er/x.bin")):
            payload = os.urandom(5000 + i)
            os.makedirs(os.path.dirname(os.path.join(www, rel)), exist_ok=True)
            with open(os.path.join(www, rel), "wb") as f:
                f.write(payload)
            expected[rel] = _entry(payload)
        nginx = Nginx(www, os.path.join(root, "nginx"), tls=True)
        nginx.start()
        self.addCleanup(nginx.stop)
        rels = list(expected)
        harvex = _harvex_cli()
        for tool in [cls() for cls in tools.PEERS] + ([harvex] if harvex.available() else []):
            if not tool.available():
                self.fail(f"{tool.binary} is not installed (harvex_install_deps bench)")
            for url, ca in ((nginx.url, None), (nginx.https_url, nginx.ca)):
                with self.subTest(tool=tool.name, url=url(""), ca=ca):
                    work = tempfile.mkdtemp(dir=root)
                    out = os.path.join(work, "out")
                    os.makedirs(out)
                    urls = [url(r) for r in rels]
                    argv = tool.command(urls, rels, out, work, ca)
                    env = tool.environment(dict(os.environ, HOME=work), ca)
                    sample = measure.run(argv, env, work, work, 30)
                    self.assertEqual(sample.code, 0, sample.stderr)
                    host = tools.host_of(urls[0])
                    self.assertEqual(measure.verify(out, expected,
                                                    lambda r: tool.place(out, host, r)), [])


if __name__ == "__main__":
    unittest.main()
