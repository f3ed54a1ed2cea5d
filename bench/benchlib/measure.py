# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs one command and measures it (wall time, user + system CPU, peak RSS), and checks
that a run's output folder holds exactly the expected bytes."""
import dataclasses
import hashlib
import os
import signal
import subprocess
import threading
import time

GNU_TIME = "/usr/bin/time"


@dataclasses.dataclass
class Sample:
    wall: float  # seconds
    cpu: float  # user + system seconds, the process and its waited-for children
    rss_kib: int  # peak resident set size of the largest process, KiB
    code: int  # exit status (negative: killed by that signal)
    timed_out: bool
    stdout: str
    stderr: str


def _tail(path, limit=2000):
    try:
        with open(path, "rb") as f:
            f.seek(0, os.SEEK_END)
            f.seek(max(0, f.tell() - limit))
            return f.read().decode("utf-8", "replace")
    except OSError:
        return ""


def _peak_kib(path):
    """GNU time's %M (KiB) from the last line of its output file, 0 when it has none."""
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            lines = f.read().strip().splitlines()
        return int(lines[-1].split()[-1])
    except (OSError, ValueError, IndexError):
        return 0


def run(argv, env, cwd, log_dir, timeout, output_limit=2000):
    """Runs argv to completion or until `timeout` seconds, whichever comes first.

    The command runs under GNU time: a child forked from this (large) Python process starts
    with Python's resident set as its peak, so only GNU time's own child gives a true peak
    (%M). CPU comes from os.wait4 on GNU time, which includes its waited-for child. The whole
    group runs in its own process group so a time-out kills it with anything it started.
    """
    os.makedirs(log_dir, exist_ok=True)
    out_path = os.path.join(log_dir, "stdout.txt")
    err_path = os.path.join(log_dir, "stderr.txt")
    time_path = os.path.join(log_dir, "time.txt")
    with open(out_path, "wb") as out, open(err_path, "wb") as err:
        start = time.monotonic()
        process = subprocess.Popen([GNU_TIME, "-o", time_path, "-f", "%M", *argv], env=env,
                                   cwd=cwd, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                   start_new_session=True)
        timed_out = threading.Event()

        def kill():
            timed_out.set()
            try:
                os.killpg(process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass

        timer = threading.Timer(timeout, kill)
        timer.start()
        try:
            _pid, status, usage = os.wait4(process.pid, 0)
        except BaseException:
            # Interrupted (Ctrl-C, SIGTERM): the child is in its own process group and would
            # outlive the harness, so it goes first.
            kill()
            os.wait4(process.pid, 0)
            raise
        finally:
            timer.cancel()
        wall = time.monotonic() - start
        # Popen must not wait for the pid again: it is gone.
        process.returncode = os.waitstatus_to_exitcode(status)
    return Sample(wall=wall, cpu=usage.ru_utime + usage.ru_stime, rss_kib=_peak_kib(time_path),
                  code=process.returncode, timed_out=timed_out.is_set(),
                  stdout=_tail(out_path, output_limit), stderr=_tail(err_path))


def sha256_file(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        while True:
            block = f.read(4 * 1024 * 1024)
            if not block:
                break
            digest.update(block)
    return digest.hexdigest()


def verify(out_dir, expected, place, limit=20):
    """Compares every expected file with what a tool wrote.

    expected: {relative source path: (size, sha256)}; place(rel) gives the path the tool was
    told to write that file to. Returns a list of problems (empty when every byte matches).
    """
    problems = []
    for rel, (size, digest) in expected.items():
        path = place(rel)
        try:
            actual = os.path.getsize(path)
        except OSError:
            problems.append(f"missing: {os.path.relpath(path, out_dir)}")
        else:
            if actual != size:
                problems.append(f"size {actual} != {size}: {os.path.relpath(path, out_dir)}")
            elif sha256_file(path) != digest:
                problems.append(f"SHA-256 differs: {os.path.relpath(path, out_dir)}")
        if len(problems) >= limit:
            problems.append("(more not listed)")
            break
    return problems


def listing(out_dir, limit=8):
    """A short listing of what a run left at the top of its folder, for error messages."""
    try:
        names = sorted(os.listdir(out_dir))
    except OSError:
        return "(no folder)"
    more = f" and {len(names) - limit} more" if len(names) > limit else ""
    return ", ".join(names[:limit]) + more if names else "(empty)"
