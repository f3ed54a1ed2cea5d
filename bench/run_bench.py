#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs every Harvex benchmark in one go and prints the table.

    bench/run_bench.py [--runs N] [--quick] [--only small,https,medium,large,scale,paced,lists]

Builds the release build (build/release), makes the data once (build/bench-data), serves it
from a loopback nginx (HTTP and HTTPS) and fetches it with harvex-cli, curl, wget2 and aria2c,
each into a fresh empty folder (on tmpfs or the disk): one verified warm-up, then N measured
runs, every run's bytes checked by size and SHA-256. Prints median wall time, CPU seconds and
peak memory per tool, the target checks and the list micro-benchmarks
(build/release/bench/bench_*), and writes build/bench-results.md.
"""
import argparse
import datetime
import os
import platform
import shutil
import signal
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # no __pycache__ folders in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from benchlib import data, measure, outfs, report, tools  # noqa: E402
from benchlib.nginx import Nginx  # noqa: E402

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WORKLOADS = ("small", "https", "medium", "large", "scale", "paced", "lists")
NETWORK_WORKLOADS = ("small", "https", "medium", "large", "scale", "paced")
TMPFS_WORKLOADS = ("small", "https", "scale")  # output on tmpfs unless --out-fs says otherwise
TOOL_NAMES = ("harvex", "curl", "wget2", "aria2c")


def parse_args(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--runs", type=int, default=3, help="measured runs per tool (default 3)")
    p.add_argument("--quick", action="store_true",
                   help="fewer files: 200 small and https, 10 medium, 2000 scale, 100 paced")
    p.add_argument("--only", default=",".join(WORKLOADS),
                   help="comma-separated workloads: " + ",".join(WORKLOADS))
    p.add_argument("--tools", default=None,
                   help="comma-separated tools: " + ",".join(TOOL_NAMES) + " (default: all; "
                   "harvex only for scale)")
    p.add_argument("--out-fs", choices=("tmpfs", "disk"), default=None,
                   help="where every run writes: tmpfs (/dev/shm) or the disk (--work-dir); "
                   "default tmpfs for " + ", ".join(TMPFS_WORKLOADS) + ", the disk otherwise")
    p.add_argument("--paced-files", type=int, default=None,
                   help="small files for the paced default run (default 200, quick 100)")
    p.add_argument("--paced-runs", type=int, default=None,
                   help="measured runs of the paced default run (default: --runs)")
    p.add_argument("--harvex-options", default=" ".join(tools.HarvexFast.options),
                   help="options of the fast harvex-cli run (default: %(default)s)")
    p.add_argument("--build-dir", default="build/release",
                   help="release build folder, relative to the repository")
    p.add_argument("--no-build", action="store_true", help="use the build folder as it is")
    p.add_argument("--harvex", default=None, help="harvex-cli to run (default: the build's)")
    p.add_argument("--serve", type=float, metavar="SECONDS", default=None,
                   help="only serve the data for profiling: write URL lists, wait SECONDS")
    p.add_argument("--data-dir", default=os.path.join(REPO, "build", "bench-data"))
    p.add_argument("--work-dir", default=os.path.join(REPO, "build", "bench-work"),
                   help="where the fresh output folders are made (emptied afterwards)")
    p.add_argument("--results", default=os.path.join(REPO, "build", "bench-results.md"))
    args = p.parse_args(argv)
    args.only = [w.strip() for w in args.only.split(",") if w.strip()]
    # Peers fetch the scale set only when asked for by name.
    args.scale_tools = ["harvex"] if args.tools is None else None
    args.tools = [t.strip() for t in (args.tools or ",".join(TOOL_NAMES)).split(",")
                  if t.strip()]
    if args.scale_tools is None:
        args.scale_tools = args.tools
    bad = [w for w in args.only if w not in WORKLOADS] + [t for t in args.tools
                                                          if t not in TOOL_NAMES]
    if bad:
        p.error("unknown workload or tool: " + ", ".join(bad))
    if not 1 <= args.runs <= 50:
        p.error("--runs must be 1 to 50")
    if args.paced_files is None:
        args.paced_files = 100 if args.quick else 200
    if not 1 <= args.paced_files <= data.SETS["small"][1]:
        p.error(f"--paced-files must be 1 to {data.SETS['small'][1]}")
    if args.paced_runs is None:
        args.paced_runs = args.runs
    return args


def say(text=""):
    print(text, flush=True)


def build(build_dir):
    """The release build, as scripts/run.sh makes it; its output goes to a log file."""
    log = os.path.join(REPO, "build", "bench-build.log")
    os.makedirs(os.path.dirname(log), exist_ok=True)
    say(f"building {build_dir} (log: {os.path.relpath(log, REPO)})")
    script = ('. scripts/deps.sh && harvex_install_deps bench && '
              'harvex_build "$0" -DCMAKE_BUILD_TYPE=Release -DHARVEX_TESTS=OFF')
    with open(log, "wb") as f:
        code = subprocess.run(["bash", "-c", script, build_dir], cwd=REPO, stdout=f,
                              stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL).returncode
    if code != 0:
        say(measure._tail(log, 3000))
        say(f"the release build failed (exit {code}): harvex-cli is not measured")
    return code == 0


def clean_env(tmp):
    """No proxies, rc files or user settings: every tool starts from its built-in defaults."""
    env = {k: v for k, v in os.environ.items() if "proxy" not in k.lower()}
    for sub in ("home", "config", "data", "cache"):
        os.makedirs(os.path.join(tmp, sub), exist_ok=True)
    env.update(HOME=os.path.join(tmp, "home"), XDG_CONFIG_HOME=os.path.join(tmp, "config"),
               XDG_DATA_HOME=os.path.join(tmp, "data"), XDG_CACHE_HOME=os.path.join(tmp, "cache"),
               no_proxy="127.0.0.1,localhost", NO_PROXY="127.0.0.1,localhost")
    return env


def summary(text, limit=160):
    """The first and last lines of an error output: the message and, often, the reason."""
    lines = [line.strip() for line in text.strip().splitlines() if line.strip()]
    if not lines:
        return "(no output)"
    picked = lines[0] if len(lines) == 1 else f"{lines[0]} ... {lines[-1]}"
    return picked if len(picked) <= limit else picked[:limit] + "..."


def one_run(tool, urls, rels, expected, ca, out_root, label, timeout):
    """One fresh folder under `out_root`, one run, one verification; the folder is removed
    afterwards. Returns (Sample, None) or (None, why)."""
    run_dir = tempfile.mkdtemp(prefix=f"harvex-bench-{label}-", dir=out_root)
    out_dir = os.path.join(run_dir, "out")
    os.makedirs(out_dir)
    try:
        env = tool.environment(clean_env(os.path.join(run_dir, "env")), ca)
        argv = tool.command(urls, rels, out_dir, run_dir, ca)
        sample = measure.run(argv, env, run_dir, os.path.join(run_dir, "log"), timeout)
        if sample.timed_out:
            return None, f"timed out after {timeout:.0f} s"
        if sample.code != 0:
            return None, f"exit {sample.code}: {summary(sample.stderr or sample.stdout)}"
        host = tools.host_of(urls[0])
        problems = measure.verify(out_dir, expected,
                                  lambda rel: tool.place(out_dir, host, rel))
        if problems:
            return None, (f"{len(problems)} bad file(s): " + "; ".join(problems[:3]) +
                          f" [folder holds: {measure.listing(out_dir)}]")
        return sample, None
    finally:
        shutil.rmtree(run_dir, ignore_errors=True)
        # Written-back pages of one run must not slow the next one down.
        os.sync()


def run_workload(name, entries, runs, warmup, manifest, nginx, args, tls=False):
    """Measures every (result workload, tool, relative paths) entry round by round; the runs
    write on tmpfs or the disk as --out-fs and the workload say. Returns the Results."""
    kind = args.out_fs or ("tmpfs" if name in TMPFS_WORKLOADS else "disk")
    largest = max((rels for _w, _t, rels in entries), key=len)
    out_root, fs, note = outfs.choose(kind, [manifest[rel][0] for rel in largest],
                                      args.work_dir)
    url = nginx.https_url if tls else nginx.url
    ca = nginx.ca if tls else None
    jobs = []
    for workload, tool, rels in entries:
        expected = {rel: manifest[rel] for rel in rels}
        total = sum(size for size, _ in expected.values())
        result = report.Result(workload, tool.name, len(rels), total, out_fs=fs)
        if name == "paced":
            result.expected = report.expected_pacing(len(rels), tools.PARALLEL)
            timeout = 2 * result.expected + 60
        else:
            timeout = 120 + total / (50 << 20) + len(rels) / 50
        jobs.append((tool, [url(rel) for rel in rels], rels, expected, result, timeout))
    sizes = dict.fromkeys(f"{r.files} x {r.total_bytes // r.files} bytes" for *_x, r, _t in jobs)
    say(f"\n== {name}: {', '.join(sizes)}{' over HTTPS' if tls else ''}, "
        f"{'1 warm-up + ' if warmup else ''}{runs} runs each")
    say(f"   output on {fs} ({out_root})" + (f": {note}" if note else ""))
    rounds = (["warm-up"] if warmup else []) + [f"run {i + 1}" for i in range(runs)]
    # Round by round, so background load drifting over time hits every tool alike.
    for round_name in rounds:
        for tool, urls, rels, expected, result, timeout in jobs:
            if not tool.available():
                if round_name == rounds[0]:
                    result.failures.append(tool.missing)
                continue
            if any("timed out" in f for f in result.failures):
                continue  # one time-out is enough: do not wait for it again
            sample, why = one_run(tool, urls, rels, expected, ca, out_root,
                                  f"{result.workload}-{tool.name}", timeout)
            who = tool.name if result.workload == name else f"{tool.name} {result.files}"
            if why:
                result.failures.append(f"{round_name}: {why}")
                say(f"  {who:<13} {round_name:<8} FAILED {why}")
                continue
            say(f"  {who:<13} {round_name:<8} {sample.wall:8.3f} s wall "
                f"{sample.cpu:7.2f} s CPU {sample.rss_kib / 1024:7.1f} MiB")
            if round_name != "warm-up":
                result.samples.append(sample)
    return [job[4] for job in jobs]


def measure_network(network, manifest, nginx, harvex_path, harvex_missing, args):
    def chosen(names):
        picked = []
        if "harvex" in names:
            fast = tools.HarvexFast(harvex_path or "/nonexistent", harvex_missing)
            fast.options = args.harvex_options.split()
            picked.append(fast)
        return picked + [cls() for cls in tools.PEERS if cls.name in names]

    limits = {"small": 200 if args.quick else None, "https": 200 if args.quick else None,
              "medium": 10 if args.quick else None, "large": None,
              "scale": 2000 if args.quick else None}
    results = []
    for name in ("small", "https", "medium", "large"):
        picked = chosen(args.tools)
        if name in network and picked:
            rels = data.set_files("small" if name == "https" else name, limits[name])
            results += run_workload(name, [(name, tool, rels) for tool in picked], args.runs,
                                    True, manifest, nginx, args, tls=name == "https")
    picked = chosen(args.scale_tools)
    if "scale" in network and picked:
        rels = data.set_files("scale", limits["scale"])
        # Harvex also fetches the first 1000 files, to compare the cost per file and the peak.
        entries = [("scale", picked[0], rels)] if picked[0].name == "harvex" else []
        if entries:
            entries.append((report.SCALE_BASE, picked[0], rels[:report.SCALE_BASE_FILES]))
        entries += [("scale", tool, rels) for tool in picked if tool.name != "harvex"]
        results += run_workload("scale", entries, args.runs, True, manifest, nginx, args)
    if "paced" in network and "harvex" in args.tools:
        paced = tools.HarvexPaced(harvex_path or "/nonexistent", harvex_missing)
        rels = data.set_files("small", args.paced_files)
        results += run_workload("paced", [("paced", paced, rels)], args.paced_runs, False,
                                manifest, nginx, args)
    return results


def micro_benchmarks(build_dir, args):
    """Every bench_* program of the build, run once with its output kept verbatim."""
    folder = os.path.join(REPO, build_dir, "bench")
    programs = sorted(p for p in (os.listdir(folder) if os.path.isdir(folder) else [])
                      if p.startswith("bench_") and os.path.isfile(os.path.join(folder, p))
                      and os.access(os.path.join(folder, p), os.X_OK))
    if not programs:
        say(f"\n== lists: no micro-benchmarks in {os.path.relpath(folder, REPO)}")
        return []
    sections = []
    for program in programs:
        say(f"\n== {program}")
        tmp = tempfile.mkdtemp(prefix=program + "-", dir=args.work_dir)
        try:
            sample = measure.run([os.path.join(folder, program)], clean_env(tmp), tmp,
                                 os.path.join(tmp, "log"), 600, output_limit=20000)
        finally:
            shutil.rmtree(tmp, ignore_errors=True)
        status = "timed out" if sample.timed_out else f"exit {sample.code}"
        text = (sample.stdout + sample.stderr).rstrip()
        say(text)
        head = (f"{program}: {status}, {sample.wall:.3f} s wall, {sample.cpu:.2f} s CPU, "
                f"{sample.rss_kib / 1024:.1f} MiB peak")
        say(head)
        sections.append((program, head, text, sample.code == 0 and not sample.timed_out))
    return sections


def versions(harvex_path):
    def first_line(argv):
        try:
            out = subprocess.run(argv, capture_output=True, text=True, timeout=10)
            return (out.stdout or out.stderr).strip().splitlines()[0]
        except (OSError, subprocess.SubprocessError, IndexError):
            return "(not available)"

    commit = first_line(["git", "-C", REPO, "describe", "--always", "--dirty"])
    return [f"date: {datetime.datetime.now().isoformat(timespec='seconds')}",
            f"machine: {os.cpu_count()} CPUs, {platform.platform()}, load average "
            + " ".join(f"{x:.2f}" for x in os.getloadavg()),
            f"harvex-cli: {first_line([harvex_path, '--version']) if harvex_path else '-'}"
            f" (commit {commit})",
            f"curl: {first_line(['curl', '--version'])}",
            f"wget2: {first_line(['wget2', '--version'])}",
            f"aria2c: {first_line(['aria2c', '--version'])}",
            f"nginx: {first_line(['nginx', '-v'])}"]


def write_results(path, args, header, results, checks, micro):
    lines = ["# Harvex benchmarks", "", "```", *header,
             f"command: bench/run_bench.py {' '.join(sys.argv[1:])}".rstrip(), "```", ""]
    if results:
        lines += ["Median wall time and CPU (user + system) over the measured runs, peak memory "
                  "the largest of them; wall / Harvex is each tool's median wall time divided "
                  "by harvex-cli's (above 1: slower than Harvex); the paced row divides by the "
                  "expected pacing.", "", report.table(results), "", "## Targets", "", "```",
                  report.targets_text(checks), "```", "", "## Every run", "", "```",
                  report.runs_text(results), "```", ""]
    for program, head, text, _ok in micro:
        lines += [f"## {program}", "", head, "", "```", text, "```", ""]
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))


def serve(args):
    """Serves the data sets for a while and writes their URL lists (and the small set's over
    HTTPS), for profiling by hand."""
    manifest, www = data.ensure_data(args.data_dir, log=say)
    nginx = Nginx(www, tempfile.mkdtemp(prefix="nginx-", dir=args.work_dir), tls=True)
    nginx.start()
    try:
        lists = os.path.join(args.work_dir, "lists")
        os.makedirs(lists, exist_ok=True)
        for name, set_name, url in [(n, n, nginx.url) for n in data.SETS] + [
                ("https", "small", nginx.https_url)]:
            path = os.path.join(lists, name + ".txt")
            with open(path, "w", encoding="utf-8") as f:
                f.writelines(url(rel) + "\n" for rel in data.set_files(set_name))
            say(f"{path}")
        say(f"nginx serving {www} on 127.0.0.1:{nginx.port} and https://localhost:{nginx.tls_port}"
            f" (HARVEX_EXTRA_CA={nginx.ca}) for {args.serve:.0f} s (Ctrl-C stops)")
        try:
            nginx.process.wait(args.serve)
        except (subprocess.TimeoutExpired, KeyboardInterrupt):
            pass
    finally:
        nginx.stop()
        shutil.rmtree(nginx.dir, ignore_errors=True)
    return 0


def main(argv):
    args = parse_args(argv)
    # SIGTERM unwinds like Ctrl-C, so nginx and a running tool are stopped on the way out.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    os.makedirs(args.work_dir, exist_ok=True)
    if args.serve is not None:
        return serve(args)
    built = True
    if not args.no_build:
        built = build(args.build_dir)
    if not os.access(measure.GNU_TIME, os.X_OK):
        say(f"{measure.GNU_TIME} is missing: harvex_install_deps bench installs it")
        return 1
    harvex_path = args.harvex or os.path.join(REPO, args.build_dir, "app", "harvex-cli")
    harvex_missing = None
    if not built and not args.harvex:
        # An older binary may still be there: it is not what the sources say, so not measured.
        harvex_path = None
        harvex_missing = "the release build failed (build/bench-build.log)"
    header = versions(harvex_path)
    say("\n".join(header))

    results = []
    network = [w for w in NETWORK_WORKLOADS if w in args.only]
    if network:
        sets = {"https": "small", "paced": "small"}
        manifest, www = data.ensure_data(args.data_dir, sorted({sets.get(w, w) for w in network}),
                                         say)
        nginx = Nginx(www, tempfile.mkdtemp(prefix="nginx-", dir=args.work_dir),
                      tls="https" in network)
        nginx.start()
        say(f"nginx serving {www} on 127.0.0.1:{nginx.port}" +
            (f" and https://localhost:{nginx.tls_port}" if nginx.tls else ""))
        try:
            results = measure_network(network, manifest, nginx, harvex_path, harvex_missing, args)
        finally:
            nginx.stop()
            shutil.rmtree(nginx.dir, ignore_errors=True)

    micro = micro_benchmarks(args.build_dir, args) if "lists" in args.only else []
    checks = report.targets(results)
    if results:
        say("\n" + report.table(results))
        say("\nTargets\n" + report.targets_text(checks))
    write_results(args.results, args, header, results, checks, micro)
    say(f"\nwritten to {os.path.relpath(args.results, REPO)}")
    failed = any(r.failures for r in results) or any(not ok for *_x, ok in micro)
    return 1 if failed or not built else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
