# SPDX-License-Identifier: GPL-3.0-or-later
"""Medians, the results table and the target checks."""
import dataclasses
import math
import statistics

from .data import GIB

HARVEX = "harvex"
PACED = "harvex-paced"
PEERS = ("curl", "wget2", "aria2c")
MEMORY_LIMIT_MIB = 60
TICK = 1.0  # seconds: the slot's timer interval
START_TICKS = 2  # ticks a job waits before it connects with the default pacing
SCALE_BASE_FILES = 1000  # the scale set's first files, fetched again to compare with
SCALE_BASE = f"scale-{SCALE_BASE_FILES}"


@dataclasses.dataclass
class Result:
    workload: str
    tool: str
    files: int
    total_bytes: int
    samples: list = dataclasses.field(default_factory=list)  # measured, verified runs
    failures: list = dataclasses.field(default_factory=list)  # one text per failed run
    expected: float = 0.0  # seconds the pacing prescribes (paced run only)
    out_fs: str = ""  # where the runs wrote: "tmpfs" or "disk"

    @property
    def ok(self):
        return bool(self.samples) and not self.failures

    @property
    def wall(self):
        return statistics.median(s.wall for s in self.samples) if self.samples else math.nan

    @property
    def cpu(self):
        return statistics.median(s.cpu for s in self.samples) if self.samples else math.nan

    @property
    def peak_mib(self):
        return max(s.rss_kib for s in self.samples) / 1024 if self.samples else math.nan


def expected_pacing(jobs, slots):
    """Each slot runs its share of the jobs one after another, each after two ticks."""
    return math.ceil(jobs / slots) * START_TICKS * TICK


def _num(value, digits=2):
    return "-" if value is None or math.isnan(value) else f"{value:.{digits}f}"


def table(results):
    """The plain results table (Markdown pipe syntax, readable as text)."""
    by_workload = {}
    for r in results:
        by_workload.setdefault(r.workload, []).append(r)
    head = ["workload", "tool", "runs", "median wall s", "CPU s", "peak MiB", "wall / Harvex",
            "note"]
    rows = []
    for workload, group in by_workload.items():
        harvex = next((r for r in group if r.tool == HARVEX and r.ok), None)
        for r in group:
            note = ""
            if r.failures:
                note = f"FAILED {len(r.failures)}: {r.failures[0]}"
            ratio = math.nan
            if r.tool == PACED and r.ok:
                ratio = r.wall / r.expected
                note = note or f"expected {r.expected:.1f} s (measured / expected)"
            elif harvex and r.ok:
                ratio = r.wall / harvex.wall
            label = f"{workload} ({_label(r)}{', ' + r.out_fs if r.out_fs else ''})"
            # Small ratios keep their digits: 0.003 is not 0.
            digits = 4 if ratio < 0.1 else 2
            rows.append([label, r.tool, f"{len(r.samples)}", _num(r.wall, 3), _num(r.cpu),
                         _num(r.peak_mib, 1), _num(ratio, digits), note.replace("|", "/")])
    widths = [max(len(str(x)) for x in col) for col in zip(head, *rows)]
    widths[-1] = 0  # the note column is not padded

    def line(cells):
        return "| " + " | ".join(str(c).ljust(w) for c, w in zip(cells, widths)) + " |"

    out = [line(head), "|" + "|".join("-" * (w + 2) for w in widths) + "|"]
    out += [line(r) for r in rows]
    return "\n".join(out)


def _size(n):
    for unit, factor in (("GiB", GIB), ("MiB", 1 << 20), ("KiB", 1 << 10)):
        if n >= factor and n % factor == 0:
            return f"{n // factor} {unit}"
    return f"{n} B"


def _label(r):
    return f"{r.files} x {_size(r.total_bytes // max(r.files, 1))}"


def _find(results, workload, tool):
    return next((r for r in results if r.workload == workload and r.tool == tool), None)


def _verdict(good):
    return "PASS" if good else "MISS"


def _fastest(results, workload, tools):
    """The fastest of the named tools' results that passed, or None when none did."""
    done = [r for r in results if r.workload == workload and r.tool in tools and r.ok]
    return min(done, key=lambda r: r.wall) if done else None


def targets(results):
    """[(target, figure, verdict)]: verdict is PASS, MISS or n/a (not measured or failed); the
    figure starts with the measured ratio that the verdict compares with the limit."""
    checks = []

    def name_of(workload, text, *found):
        r = next((x for x in found if x), None)
        fs = f", {r.out_fs}" if r and r.out_fs else ""
        return f"{workload} ({_label(r)}{fs}): {text}" if r else f"{workload}: {text}"

    def against(workload, limit, peers, text):
        """Harvex's median wall over the fastest of `peers`: PASS when the ratio <= limit."""
        h = _find(results, workload, HARVEX)
        p = _fastest(results, workload, peers)
        if h is None and not any(_find(results, workload, t) for t in peers):
            return
        name = name_of(workload, text, h, p)
        if not (h and h.ok and p):
            checks.append((name, "-", "n/a"))
            return
        ratio = h.wall / p.wall
        checks.append((name, f"ratio {ratio:.2f} x {p.tool}: wall {h.wall:.3f} s vs "
                       f"{p.wall:.3f} s, CPU {h.cpu:.2f} s vs {p.cpu:.2f} s",
                       _verdict(ratio <= limit)))

    against("small", 0.85, ("wget2",), "Harvex wall <= 0.85 x wget2's")
    against("https", 0.85, ("curl", "wget2"), "Harvex wall <= 0.85 x the fastest of curl, wget2")
    against("medium", 1.0, PEERS, "Harvex wall <= fastest peer's")

    h = _find(results, "large", HARVEX)
    if h:
        name = name_of("large", "Harvex CPU <= 0.6 s per GiB", h)
        if h.ok:
            per_gib = h.cpu / (h.total_bytes / GIB)
            checks.append((name, f"ratio {per_gib / 0.6:.2f}: {per_gib:.2f} s/GiB",
                           _verdict(per_gib <= 0.6)))
        else:
            checks.append((name, "-", "n/a"))
    peers = [r for r in results if r.workload == "large" and r.tool in PEERS]
    if h or peers:
        name = name_of("large", "Harvex wall < every peer's", h, *peers)
        p = _fastest(results, "large", PEERS)
        if h and h.ok and p and all(r.ok for r in peers):
            ratio = h.wall / p.wall
            checks.append((name, f"ratio {ratio:.2f} x {p.tool} (the fastest): wall "
                           f"{h.wall:.3f} s vs {p.wall:.3f} s", _verdict(ratio < 1.0)))
        else:
            checks.append((name, "-", "n/a"))

    big, base = _find(results, "scale", HARVEX), _find(results, SCALE_BASE, HARVEX)
    if big or base:
        both = big and big.ok and base and base.ok
        name = "scale: Harvex time per file at {} <= at {} files (+10 %)".format(
            big.files if big else "all", SCALE_BASE_FILES)
        if both:
            each_big, each_base = big.wall / big.files, base.wall / base.files
            ratio = each_big / each_base
            checks.append((name, f"ratio {ratio:.3f}: {each_big * 1000:.3f} ms vs "
                           f"{each_base * 1000:.3f} ms per file", _verdict(ratio <= 1.10)))
        else:
            checks.append((name, "-", "n/a"))
        name = "scale: Harvex peak memory at {} <= at {} files (+10 %)".format(
            big.files if big else "all", SCALE_BASE_FILES)
        if both:
            ratio = big.peak_mib / base.peak_mib
            checks.append((name, f"ratio {ratio:.3f}: {big.peak_mib:.1f} MiB vs "
                           f"{base.peak_mib:.1f} MiB", _verdict(ratio <= 1.10)))
        else:
            checks.append((name, "-", "n/a"))

    p = _find(results, "paced", PACED)
    if p:
        name = "paced: wall within 5 % of the pacing (jobs / slots x 2 ticks)"
        if p.ok:
            ratio = p.wall / p.expected
            checks.append((name, f"ratio {ratio:.3f}: {p.wall:.2f} s vs {p.expected:.1f} s",
                           _verdict(abs(ratio - 1) <= 0.05)))
        else:
            checks.append((name, "-", "n/a"))

    for r in results:
        if r.tool in (HARVEX, PACED):
            name = f"{r.workload}: {r.tool} peak memory < {MEMORY_LIMIT_MIB} MiB"
            if r.ok:
                checks.append((name, f"ratio {r.peak_mib / MEMORY_LIMIT_MIB:.2f}: "
                               f"{r.peak_mib:.1f} MiB", _verdict(r.peak_mib < MEMORY_LIMIT_MIB)))
            else:
                checks.append((name, "-", "n/a"))
    return checks


def targets_text(checks):
    width = max((len(c[0]) for c in checks), default=0)
    return "\n".join(f"{v:<5} {n.ljust(width)}  {f}" for n, f, v in checks)


def runs_text(results):
    """Every measured run (wall s / CPU s / peak MiB) and every failure, one tool a line."""
    lines = []
    for r in results:
        runs = "  ".join(f"{x.wall:.3f}/{x.cpu:.2f}/{x.rss_kib / 1024:.1f}" for x in r.samples)
        lines.append(f"{r.workload:<7} {r.tool:<13} {runs or '-'}")
        lines += [f"{'':<21} {f}" for f in r.failures]
    return "\n".join(lines)
