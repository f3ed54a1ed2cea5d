#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Chaos soak: harvex-cli downloads many files from nginx through a proxy that
breaks connections on purpose, then every outcome is checked.

Required of every run:
  * every job reported complete is byte-exact (SHA-256) against the source file
    (nginx applies no content coding here, so the body is the file in every reply,
    with a Content-Length, as a 206 range, or chunked);
  * every job not complete is reported failed, in the count and in --failed-list;
  * jobs that cannot succeed (404, a port where nothing listens) are failed;
  * completed + failed = jobs, and the exit code says whether any failed;
  * the run ends within a bound computed from the timeouts (no slot hangs), and no
    connection is left open at the proxy afterwards;
  * nothing appears in the base folder but the expected files and the logs.
With --strict also:
  * a job whose URL got at least one clean, complete reply is complete;
  * a completed file served with Last-Modified carries that time.

  python3 soak.py --cli build/app/harvex-cli --short          # 100 files, seed 1, strict
  python3 soak.py --cli build/app/harvex-cli --files 500      # random seed, printed
  python3 soak.py --cli build/app/harvex-cli --files 500 --seed 1234   # replay
"""

import argparse
import hashlib
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from chaos_proxy import DEFAULT_WEIGHTS, ChaosProxy  # noqa: E402
from loopback_nginx import Nginx, unused_port  # noqa: E402

MAX_SIZE = 4 * 1024 * 1024
# Batches: each runs harvex-cli over its share of the jobs, through a proxy of its own.
#   http10     HTTP/1.0: every reply has a Content-Length (206 ranges on a retry)
#   http11     HTTP/1.1: half of the files come chunked (and ignore ranges)
#   keepalive  the same with kept-alive connections
#   closed     HTTP/1.0 replies without a length, ended by the server's close (RFC 9112
#              §6.3). A close there is the end of the body by definition, and Qt reads a
#              reset (ECONNRESET) as the end of the stream too, so no client can tell a
#              cut from the end: this batch gets every fault but the two cuts.
#   resume     HTTP/1.1 with one try only, so that many jobs fail part-way; then a
#              second run with --resume over the failed list continues the partial files.
NO_CUTS = {f: w for f, w in DEFAULT_WEIGHTS.items() if f not in ("cut_close", "cut_reset")}
BATCHES = (
    {"name": "http10", "options": []},
    {"name": "http11", "options": ["--http11"]},
    {"name": "keepalive", "options": ["--http11", "--keep-alive"]},
    {"name": "closed", "options": [], "weights": NO_CUTS},
    {"name": "resume", "options": ["--http11", "--resume"], "max_try": 1},
)


def batch_of(i):
    return "closed" if i % 8 == 7 else "resume" if i % 8 == 3 else BATCHES[i % 3]["name"]


class Source:
    """One file in the doc root and what nginx serves for it."""

    def __init__(self, path, data, mtime, batch):
        self.path = path  # URL path, also the file's place under the doc root
        self.data = data
        self.mtime = mtime
        self.batch = batch
        self.sha = hashlib.sha256(data).hexdigest()

    @property
    def last_modified(self):
        return not self.path.startswith("/nolm/")


def pick_size(rng):
    r = rng.random()
    if r < 0.04:
        return 0
    if r < 0.10:
        return rng.randint(1, 16)
    if r < 0.18:
        # Around sizes where buffers and packets tend to end.
        return max(0, rng.choice((1024, 1460, 4096, 8192, 16384, 65536, 131072)) + rng.randint(-2, 2))
    if r < 0.60:
        return int(2 ** rng.uniform(4, 16))
    if r < 0.88:
        return int(2 ** rng.uniform(16, 20))
    return rng.randint(1 << 20, MAX_SIZE)


def make_sources(rng, count, doc_root):
    sources = []
    for i in range(count):
        # The largest and the smallest file always take part.
        size = MAX_SIZE if i == 0 else 0 if i == 1 else pick_size(rng)
        folder = "lm" if rng.random() < 0.7 else "nolm"
        batch = batch_of(i)
        # Folders named c* have no Content-Length: chunked to HTTP/1.1, closed to HTTP/1.0.
        kind = "c" if batch == "closed" or (batch != "http10" and rng.random() < 0.5) else "d"
        path = f"/{folder}/{kind}{i % 7}/f{i:04d}_{size}.bin"
        data = rng.randbytes(size)
        mtime = rng.randint(978307200, 1577836800)  # 2001..2020, whole seconds
        full = doc_root + path
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as f:
            f.write(data)
        os.utime(full, (mtime, mtime))
        sources.append(Source(path, data, mtime, batch))
    return sources


def local_path(base, url):
    """Where "Replicate Url path" puts a URL: base/<host[%3Aport]>/<path>."""
    rest = url.split("//", 1)[1]
    if "/" not in rest:
        return os.path.join(base, rest.replace(":", "%3A"))
    folder, name = rest.rsplit("/", 1)
    name = name or "_index.htm"
    relative = (folder + "/" + name).replace(":", "%3A")
    for c, code in (("*", "%2A"), ("?", "%3F"), ('"', "%22"), ("<", "%3C"), (">", "%3E"), ("|", "%7C")):
        relative = relative.replace(c, code)
    return os.path.join(base, relative)


def sha256_file(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


class Soak:
    def __init__(self, args):
        self.args = args
        self.violations = []
        self.notes = []
        self.batch_failed = {}  # URL path -> run, for failed jobs
        self.max_try = {}  # run -> --max-try

    def violation(self, text):
        self.violations.append(text)

    def note(self, text):
        (self.violations if self.args.strict else self.notes).append(text)

    def bound_seconds(self, jobs, total_bytes, max_try):
        """The longest a run may take when no slot hangs: every job uses all its
        tries, each paying the start delay, the wait between tries and the timeout."""
        a = self.args
        tick = a.tick_ms / 1000
        per_try = (max(a.busy_wait, 10) + max(a.timeout, 10) + 2) * tick
        rounds = -(-jobs // a.jobs)
        transfer = total_bytes * max_try / (a.jobs * 4e6)  # at least 4 MB/s per slot
        return 30 + rounds * max_try * per_try + transfer

    def run(self):
        a = self.args
        seed = a.seed if a.seed is not None else random.SystemRandom().randrange(1, 1 << 31)
        print(f"chaos soak: seed {seed}, {a.files} files, -j {a.jobs}, max-try {a.max_try}, tick {a.tick_ms} ms")
        print(f"  replay: {sys.argv[0]} --cli {a.cli} --files {a.files} --seed {seed} -j {a.jobs}", flush=True)
        work = tempfile.mkdtemp(prefix="harvex-soak-")
        nginx = Nginx(os.path.join(work, "nginx"))
        self.records = []
        try:
            nginx.start()
            rng = random.Random(seed)
            sources = make_sources(rng, a.files, nginx.doc_root)
            # Replies without a length: the proxy draws its cuts from these sizes.
            hints = {s.path: max(len(s.data), 1) for s in sources}
            timeout_ms = max(a.timeout, 10) * a.tick_ms
            dead_port = unused_port()
            for batch in BATCHES:
                mine = [s for s in sources if s.batch == batch["name"]]
                self.run_batch(work, batch, mine, nginx.port, hints, seed, dead_port, rng)
        finally:
            nginx.stop()
        self.report()
        ok = not self.violations
        if ok and not a.keep:
            shutil.rmtree(work, ignore_errors=True)
        else:
            print(f"  work folder kept: {work}")
        print(f"chaos soak seed {seed}: {'PASS' if ok else 'FAIL'}")
        return 0 if ok else 1

    def run_batch(self, work, batch, sources, upstream, hints, seed, dead_port, rng):
        a = self.args
        name = batch["name"]
        timeout_ms = max(a.timeout, 10) * a.tick_ms
        weights = batch.get("weights", DEFAULT_WEIGHTS)
        # Faults are drawn from (seed, batch, connection number).
        proxy = ChaosProxy(("127.0.0.1", upstream), f"{seed}/{name}", timeout_ms, weights, hints).start()
        prefix = f"http://127.0.0.1:{proxy.port}"
        jobs = [prefix + s.path for s in sources]
        # Jobs that can never succeed, among the others.
        doomed = [f"{prefix}/missing/{name}-{i}.bin" for i in range(max(1, len(sources) // 50))]
        doomed.append(f"http://127.0.0.1:{dead_port}/nowhere/{name}.bin")
        for url in doomed:
            jobs.insert(rng.randint(0, len(jobs)), url)
        base = os.path.join(work, "out", name)
        os.makedirs(base)
        try:
            failed = self.run_pass(work, name, batch, jobs, doomed, sources, base, proxy, batch.get("max_try"))
        finally:
            self.end_proxy(work, name, proxy)
        if "--resume" not in batch["options"]:
            return
        # The same base folder and the same host and port, so the same local files.
        again = f"{name}-again"
        proxy = ChaosProxy(("127.0.0.1", upstream), f"{seed}/{again}", timeout_ms, weights, hints, proxy.port)
        proxy.start()
        rest = [s for s in sources if prefix + s.path in failed]
        partial = {}
        for s in rest:
            path = local_path(base, prefix + s.path)
            if os.path.isfile(path) and os.path.getsize(path) > 0:
                partial[s.path] = os.path.getsize(path)
        # Files that are longer on disk than on the server (an older, larger version): the
        # range asked for lies past the end (416), which must not pass for complete. Only
        # from d* folders: in c* folders nginx ignores the range and sends the whole file.
        longer = [s for s in sources if prefix + s.path not in failed and s.data and "/d" in s.path]
        longer = longer[:2] if a.longer_files else []
        for s in longer:
            with open(local_path(base, prefix + s.path), "ab") as f:
                f.write(b"older and longer")
        longer_urls = [prefix + s.path for s in longer]
        urls = [u for u in jobs if u in failed] + longer_urls
        try:
            self.run_pass(work, again, batch, urls, doomed + longer_urls, rest, base, proxy, None, sources)
        finally:
            self.end_proxy(work, again, proxy)
        # Each partial file is asked for from where it ends (RFC 9110 §14.2).
        first = {}
        for r in sorted(proxy.records, key=lambda r: r["conn"]):
            for q in r["requests"]:
                first.setdefault(q["path"], q["header"])
        resumed = 0
        for path, size in sorted(partial.items()):
            if f"\r\nRange: bytes={size}-" in first.get(path, ""):
                resumed += 1
            else:
                self.note(f"[{again}] {path}: {size} bytes on disk, but the first request was not for bytes={size}-")
        print(f"    {resumed} of {len(partial)} partial files asked for from where they end")

    def end_proxy(self, work, name, proxy):
        try:
            self.check_proxy(name, proxy)
        finally:
            proxy.stop()
            proxy.write_log(os.path.join(work, f"{name}.proxy.jsonl"))
            self.records += proxy.records

    def run_pass(self, work, name, batch, jobs, doomed, sources, base, proxy, max_try, all_sources=None):
        """One run of harvex-cli over jobs; checks it and returns the set of failed URLs."""
        a = self.args
        self.max_try[name] = max_try or a.max_try
        lists = os.path.join(work, f"{name}.list")
        failed_list = os.path.join(work, f"{name}.failed")
        with open(lists, "w") as f:
            f.write("\n".join(jobs) + "\n")
        config = os.path.join(work, "config", name)
        os.makedirs(config)
        env = dict(os.environ, XDG_CONFIG_HOME=config, HOME=os.path.join(work, "home"))
        command = [a.cli, "-i", lists, "-d", base, "-j", str(a.jobs), "--max-try", str(self.max_try[name])]
        command += ["--busy-wait", str(a.busy_wait), "--timeout", str(a.timeout), "--tick-ms", str(a.tick_ms)]
        command += ["--failed-list", failed_list, "-q"] + batch["options"]
        bound = self.bound_seconds(len(jobs), sum(len(s.data) for s in sources), self.max_try[name])
        started = time.monotonic()
        process = subprocess.Popen(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        try:
            out, err = process.communicate(timeout=bound)
        except subprocess.TimeoutExpired:
            process.kill()
            out, err = process.communicate()
            self.violation(f"[{name}] harvex-cli still running after {bound:.0f} s (a slot hangs); killed")
        took = time.monotonic() - started
        print(f"  [{name}] {len(jobs)} jobs in {took:.1f} s (bound {bound:.0f} s), exit {process.returncode}")
        if err.strip():
            print("    stderr: " + err.strip().replace("\n", "\n    ")[:4000])
        prefix = f"http://127.0.0.1:{proxy.port}"
        return self.check_batch(
            name, base, jobs, doomed, sources, out, process.returncode, failed_list, prefix, all_sources or sources
        )

    def check_batch(self, name, base, jobs, doomed, sources, out, code, failed_list, prefix, all_sources):
        m = re.search(r"Completed: (\d+)\s+Failed: (\d+)", out)
        if not m:
            self.violation(f"[{name}] no 'Completed: N  Failed: M' line in: {out[-500:]!r}")
            return set(jobs)
        completed, failed = int(m.group(1)), int(m.group(2))
        print(f"    Completed: {completed}  Failed: {failed}")
        if completed + failed != len(jobs):
            self.violation(f"[{name}] completed {completed} + failed {failed} != {len(jobs)} jobs")
        if code != (1 if failed else 0):
            self.violation(f"[{name}] exit code {code} with {failed} failed")
        listed = []
        if os.path.exists(failed_list):
            with open(failed_list, encoding="utf-8", errors="replace") as f:
                listed = [line.strip() for line in f if line.strip()]
        if len(listed) != failed or len(set(listed)) != len(listed):
            self.violation(f"[{name}] --failed-list has {len(listed)} lines ({len(set(listed))} distinct), count says {failed}")
        unknown = set(listed) - set(jobs)
        if unknown:
            self.violation(f"[{name}] --failed-list names URLs that are no jobs: {sorted(unknown)[:5]}")
        for url in doomed:
            if url not in listed:
                self.violation(f"[{name}] {url} cannot succeed but is not listed failed")
        failed_set = set(listed)
        expected_files = {local_path(base, prefix + s.path) for s in all_sources}
        for s in sources:
            url = prefix + s.path
            path = local_path(base, url)
            if url in failed_set:
                self.batch_failed[s.path] = name
                continue
            if not os.path.isfile(path):
                self.violation(f"[{name}] {url} reported complete, but {path} does not exist")
                continue
            if sha256_file(path) != s.sha:
                size = os.path.getsize(path)
                self.violation(
                    f"[{name}] {url} reported complete, but the file differs: {size} bytes, source {len(s.data)}"
                )
                continue
            if s.last_modified and int(os.stat(path).st_mtime) != s.mtime:
                self.note(f"[{name}] {url} complete, but its time {int(os.stat(path).st_mtime)} is not Last-Modified {s.mtime}")
        # Failed jobs may leave what they got (a later run resumes it).
        expected_files.update(local_path(base, url) for url in doomed)
        for root, _, files in os.walk(base):
            for f in files:
                full = os.path.join(root, f)
                if full in expected_files or (root == base and f.startswith("Harvex_")):
                    continue
                self.violation(f"[{name}] unexpected file in the base folder: {os.path.relpath(full, base)}")
        return failed_set

    def check_proxy(self, name, proxy):
        # A slot that gave up must have closed its socket: give them a moment.
        deadline = time.monotonic() + 5
        while proxy.open_connections() and time.monotonic() < deadline:
            time.sleep(0.1)
        if proxy.open_connections():
            self.violation(f"[{name}] {proxy.open_connections()} connections still open at the proxy after the run")
        clean, tries = {}, {}
        # Connections that closed before their request could be read name no URL.
        unnamed = sum(1 for r in proxy.records if not r["requests"])
        for r in sorted(proxy.records, key=lambda r: r["conn"]):
            for q in r["requests"]:
                tries.setdefault(q["path"], []).append(r)
                if r["fault"] in ("pass", "split", "delay") and r["outcome"] == "complete":
                    clean.setdefault(q["path"], r["conn"])
        for path, batch in sorted(self.batch_failed.items()):
            if batch != name:
                continue
            if path in clean:
                self.note(f"[{batch}] {path} failed although connection {clean[path]} served it cleanly")
            seen = tries.get(path, [])
            if len(seen) + unnamed < self.max_try[name]:
                last = seen[-1] if seen else {}
                self.note(
                    f"[{batch}] {path} failed after {len(seen)} of {self.max_try[name]} tries; the last "
                    f"(connection {last.get('conn')}) was {last.get('fault')}/{last.get('outcome')} "
                    f"at byte {last.get('cut', last.get('sent'))}"
                )

    def report(self):
        if self.records:
            counts = {}
            for r in self.records:
                key = r["fault"] if r["outcome"] in ("complete", "refused") else f"{r['fault']}:{r['outcome']}"
                counts[key] = counts.get(key, 0) + 1
            print("  connections: " + ", ".join(f"{k} {v}" for k, v in sorted(counts.items())))
        for n in self.notes[:50]:
            print("  note: " + n)
        for v in self.violations[:100]:
            print("  VIOLATION: " + v)
        if len(self.violations) > 100:
            print(f"  ... and {len(self.violations) - 100} more violations")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--cli", required=True, help="the harvex-cli program")
    parser.add_argument("--files", type=int, default=500)
    parser.add_argument("--seed", type=int, default=None, help="default: random, printed")
    parser.add_argument("--short", action="store_true", help="the CI form: 100 files, seed 1, --strict")
    parser.add_argument("-j", "--jobs", type=int, default=8, help="parallel slots")
    parser.add_argument("--max-try", type=int, default=16)
    parser.add_argument("--busy-wait", type=int, default=10, help="seconds (ticks) between tries")
    parser.add_argument("--timeout", type=int, default=10, help="seconds (ticks) of the reply timeout")
    parser.add_argument("--tick-ms", type=int, default=40, help="length of one second of the downloader")
    parser.add_argument("--strict", action="store_true", help="also require the checks listed as notes")
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    parser.add_argument(
        "--longer-files", action="store_true", help="also resume two files made longer on disk than on the server"
    )
    args = parser.parse_args()
    if args.short:
        args.files = 100
        args.strict = True
        args.longer_files = True
        if args.seed is None:
            args.seed = 1
    if not os.access(args.cli, os.X_OK):
        parser.error(f"{args.cli} is not a program")
    return Soak(args).run()


if __name__ == "__main__":
    sys.exit(main())
