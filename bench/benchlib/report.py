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


@dataclasses.dataclass
class Result:
    workload: str
    tool: str
    files: int
    total_bytes: int
    samples: list = dataclasses.field(default_factory=list)  # measured, verified runs
    failures: list = dataclasses.field(default_factory=list)  # one text per failed run
    expected: float = 0.0  # seconds the pacing prescribes (paced run only)

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
            label = f"{workload} ({_label(r)})"
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


def targets(results):
    """[(target, figure, verdict)]: verdict is PASS, MISS or n/a (not measured or failed)."""
    checks = []

    def fastest_peer(workload):
        peers = [r for r in results if r.workload == workload and r.tool in PEERS and r.ok]
        return min(peers, key=lambda r: r.wall) if peers else None

    for workload in ("small", "medium"):
        h, p = _find(results, workload, HARVEX), fastest_peer(workload)
        if h is None and p is None:
            continue
        name = f"{_label(h or p)}: Harvex wall <= fastest peer's"
        if h and h.ok and p:
            ratio = h.wall / p.wall
            checks.append((name, f"{ratio:.2f} x {p.tool}", "PASS" if ratio <= 1.0 else "MISS"))
        else:
            checks.append((name, "-", "n/a"))

    h, w = _find(results, "large", HARVEX), _find(results, "large", "wget2")
    if h or w:
        name = f"{_label(h or w)}: Harvex wall <= 1.1 x wget2's"
        if h and h.ok and w and w.ok:
            ratio = h.wall / w.wall
            checks.append((name, f"{ratio:.2f} x wget2", "PASS" if ratio <= 1.1 else "MISS"))
        else:
            checks.append((name, "-", "n/a"))
    if h:
        name = f"{_label(h)}: Harvex CPU <= 1.0 s per GiB"
        if h.ok:
            per_gib = h.cpu / (h.total_bytes / GIB)
            checks.append((name, f"{per_gib:.2f} s/GiB", "PASS" if per_gib <= 1.0 else "MISS"))
        else:
            checks.append((name, "-", "n/a"))

    for r in results:
        if r.tool in (HARVEX, PACED):
            name = f"{r.workload}: {r.tool} peak memory < {MEMORY_LIMIT_MIB} MiB"
            if r.ok:
                good = r.peak_mib < MEMORY_LIMIT_MIB
                checks.append((name, f"{r.peak_mib:.1f} MiB", "PASS" if good else "MISS"))
            else:
                checks.append((name, "-", "n/a"))

    p = _find(results, "paced", PACED)
    if p:
        name = "defaults: wall within 5 % of the pacing (jobs / slots x 2 ticks)"
        if p.ok:
            off = p.wall / p.expected - 1
            checks.append((name, f"{p.wall:.2f} s vs {p.expected:.1f} s ({off:+.1%})",
                           "PASS" if abs(off) <= 0.05 else "MISS"))
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
