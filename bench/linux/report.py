#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Turns one lcache_linux_bench JSON run (--benchmark_repetitions=N
--benchmark_report_aggregates_only=true) into the markdown tables of the
Linux host section of docs/PERFORMANCE.md and the data files
bench/linux/plot.gp (queries) and bench/linux/plot_start.gp (start) draw.

usage: report.py RUN.json TABLES.md QUERY.dat START.dat
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from report import fmt, load, ns, table  # noqa: E402  (bench/report.py)

# (row name, title) of the query contenders, in the plot's column order.
QUERIES = [
    ("lcache_hit", "lcache hit"),
    ("libnl_search", "libnl nl_cache_search (hashed)"),
    ("libnl_get", "libnl rtnl_link_get"),
    ("ioctl", "ioctl(SIOCGIFFLAGS)"),
    ("peer_call", "Linux peer call (RTM_GETLINK)"),
    ("lcache_flushed", "lcache, flushed each time"),
]


class Run:
    def __init__(self, path):
        self.runs = load(path)
        self.sizes = sorted({int(name.split("/")[2]) for name in self.runs})

    def record(self, name, agg="median"):
        """The aggregate of row `name`, whatever Google Benchmark appended
        to it (/iterations:N, /real_time, /manual_time)."""
        for run_name, aggregates in self.runs.items():
            if run_name == name or run_name.startswith(name + "/"):
                return aggregates.get(agg)
        return None

    def ms(self, name):
        record = self.record(name)
        return None if record is None else ns(record, "real_time") / 1e6

    def query(self, contender, size):
        record = self.record(f"query/{contender}/{size}")
        return None if record is None else ns(record, "real_time")

    def counter(self, name, key):
        record = self.record(name)
        return None if record is None else record.get(key)

    def worst_cv(self, prefix):
        worst = (0.0, "–")
        for name in self.runs:
            if name.startswith(prefix):
                record = self.runs[name].get("cv")
                if record is not None:
                    worst = max(worst, (record["real_time"], name))
        return worst


def ms(value):
    if value is None:
        return "–"
    return f"{value:,.0f}" if value >= 100 else f"{value:.1f}" if value >= 10 else f"{value:.2f}"


def count(value):
    if value is None:
        return "–"
    return f"{value:,.0f}" if value == int(value) else f"{value:,.2f}"


def ratio(a, b):
    return "–" if a is None or b is None else f"{a / b:,.0f}x" if a / b >= 100 else f"{a / b:.2f}x"


def query_tables(run):
    sizes = run.sizes
    rows = []
    for contender, title in QUERIES:
        trips = [run.counter(f"query/{contender}/{n}", "round_trips") for n in sizes]
        rows.append([title, " / ".join("–" if t is None else f"{t:.2f}" for t in trips)] +
                    [fmt(run.query(contender, n)) for n in sizes])
    text = "#### ns per query, is the link up (median of the repetitions, wall time)\n\n"
    text += table(["contender", "kernel round trips each, by size"] + [f"{n} pairs" for n in sizes], rows)

    rows = []
    for contender, title in QUERIES[1:]:
        rows.append([f"{title} / lcache hit"] +
                    [ratio(run.query(contender, n), run.query("lcache_hit", n)) for n in sizes])
    text += "\n#### Ratios to the cache's hit, same run\n\n"
    text += table(["ratio"] + [f"{n} pairs" for n in sizes], rows)
    return text


def change_tables(run):
    sizes = run.sizes
    rows = []
    for n in sizes:
        ours = run.counter(f"dispatch/lcache/{n}", "items_per_second")
        libnl = run.counter(f"dispatch/libnl/{n}", "items_per_second")
        rows.append([f"{n}", "–" if ours is None else f"{ours:,.0f}", "–" if libnl is None else f"{libnl:,.0f}",
                     ratio(ours, libnl),
                     f"{run.counter(f'dispatch/lcache/{n}', 'disagreements') or 0:.0f}"])
    text = "#### Dispatch: MTU changes read per second (median of the repetitions)\n\n"
    text += table(["pairs", "lcache_linux_dispatch", "libnl nl_cache_mngr_data_ready",
                   "lcache / libnl", "disagreements after"], rows)

    rows = []
    for kind in ["mtu", "linkup"]:
        for n in sizes:
            name = f"staleness/{kind}/{n}"
            p50, p99 = run.counter(name, "p50_us"), run.counter(name, "p99_us")
            rows.append([kind, f"{n}", "–" if p50 is None else f"{p50:,.1f}",
                         "–" if p99 is None else f"{p99:,.1f}"])
    text += "\n#### Staleness: change acknowledged → the cache answers the new value, µs\n\n"
    text += table(["change", "pairs", "median", "p99"], rows)
    text += "\n(Each figure is the median over the repetitions of that repetition's median or p99.)\n"

    cv, name = run.worst_cv("query/")
    text += f"\nLargest coefficient of variation among the query rows: {cv:.1%} ({name}).\n"
    return text


# (row name, title) of the start contenders, in the plot's column order.
STARTS = [
    ("lcache_read_through", "lcache, read-through"),
    ("lcache_sync", "lcache after lcache_linux_sync"),
    ("libnl_manager", "libnl manager, rtnl_link_get"),
    ("libnl_manager_search", "libnl manager, nl_cache_search"),
    ("kernel_dump", "the link dump alone"),
]


def start_tables(run):
    rows = []
    for n in run.sizes:
        times = {c: run.ms(f"start/{c}/{n}") for c, _ in STARTS}
        trips = {c: run.counter(f"start/{c}/{n}", "round_trips") for c, _ in STARTS[:-1]}
        trips["kernel_dump"] = 1 if times["kernel_dump"] is not None else None
        wrong = sum(run.counter(f"start/{c}/{n}", "disagreements") or 0 for c, _ in STARTS[:-1])
        interfaces = run.counter(f"start/lcache_sync/{n}", "interfaces")
        rows.append([f"{n}", count(interfaces)] +
                    [f"{ms(times[c])} ({count(trips[c])})" for c, _ in STARTS] + [f"{wrong:.0f}"])
    text = "#### Start: from nothing to every interface's four answers, ms (kernel round trips)\n\n"
    text += table(["pairs", "interfaces"] + [title for _, title in STARTS] + ["disagreements"], rows)

    rows = []
    for n in run.sizes:
        times = {c: run.ms(f"start/{c}/{n}") for c, _ in STARTS}
        rows.append([f"{n}", ratio(times["lcache_sync"], times["libnl_manager"]),
                     ratio(times["lcache_sync"], times["libnl_manager_search"]),
                     ratio(times["lcache_read_through"], times["libnl_manager_search"]),
                     ratio(times["lcache_sync"], times["kernel_dump"]),
                     ratio(times["libnl_manager_search"], times["kernel_dump"])])
    text += "\n#### Start ratios, same run\n\n"
    text += table(["pairs", "sync / libnl (rtnl_link_get)", "sync / libnl (nl_cache_search)",
                   "read-through / libnl (nl_cache_search)", "sync / the dump alone",
                   "libnl (nl_cache_search) / the dump alone"], rows)

    rows = []
    for c, title in STARTS[:-1]:
        for n in run.sizes:
            name = f"start/{c}/{n}"
            rows.append([title, f"{n}", ms(run.counter(name, "start_ms")), ms(run.counter(name, "ask_ms"))])
    text += "\n#### Where the start goes, ms (medians of the repetitions)\n\n"
    text += table(["contender", "pairs", "start (init + open, sync, or the manager's fill)",
                   "questions (4 per interface)"], rows)
    return text


def recovery_tables(run):
    rows = []
    for n in run.sizes:
        ours, theirs = f"recovery/lcache/{n}", f"recovery/libnl_refill/{n}"
        mine, refill = run.ms(ours), run.counter(theirs, "read_ms")
        wrong = (run.counter(ours, "disagreements") or 0) + (run.counter(theirs, "disagreements") or 0)
        rows.append([f"{n}", count(run.counter(ours, "interfaces")), ms(mine),
                     count(run.counter(ours, "round_trips")), count(run.counter(ours, "resyncs")),
                     count(run.counter(ours, "dump_retries")), ms(refill), ms(run.ms(theirs)),
                     count(run.counter(theirs, "round_trips")), ratio(mine, refill),
                     ratio(mine, run.ms(theirs)), f"{wrong:.0f}"])
    text = "#### Recovery from a real overrun (one MTU change per pair), ms (medians of the repetitions)\n\n"
    text += table(["pairs", "interfaces", "lcache: dispatch + every answer", "round trips", "resyncs",
                   "dump retries", "libnl: drain + nl_cache_refill", "libnl: + every answer (nl_cache_search)",
                   "libnl requests", "lcache / libnl refill", "lcache / libnl with answers",
                   "disagreements"], rows)
    return text


def plot_data(run):
    lines = ["pairs " + " ".join(f'"{title}"' for _, title in QUERIES)]
    for n in run.sizes:
        values = [run.query(contender, n) for contender, _ in QUERIES]
        lines.append(f"{n} " + " ".join("NaN" if v is None else f"{v:.3f}" for v in values))
    return "\n".join(lines) + "\n"


def start_plot_data(run):
    lines = ["pairs " + " ".join(f'"{title}"' for _, title in STARTS)]
    for n in run.sizes:
        values = [run.ms(f"start/{c}/{n}") for c, _ in STARTS]
        lines.append(f"{n} " + " ".join("NaN" if v is None else f"{v:.4f}" for v in values))
    return "\n".join(lines) + "\n"


def main():
    run = Run(sys.argv[1])
    with open(sys.argv[2], "w") as out:
        out.write("\n".join([query_tables(run), change_tables(run), start_tables(run), recovery_tables(run)]))
    with open(sys.argv[3], "w") as out:
        out.write(plot_data(run))
    with open(sys.argv[4], "w") as out:
        out.write(start_plot_data(run))


if __name__ == "__main__":
    main()
