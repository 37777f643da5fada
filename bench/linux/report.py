#!/usr/bin/env python3
"""Turns one lcache_linux_bench JSON run (--benchmark_repetitions=N
--benchmark_report_aggregates_only=true) into the markdown tables of the
Linux host section of docs/PERFORMANCE.md and the data file
bench/linux/plot.gp draws.

usage: report.py RUN.json TABLES.md PLOT.dat
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
        for suffix in ("/real_time", "/manual_time", ""):
            record = self.runs.get(name + suffix, {}).get(agg)
            if record is not None:
                return record
        return None

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


def ratio(a, b):
    return "–" if a is None or b is None else f"{a / b:,.0f}x" if a / b >= 100 else f"{a / b:.2f}x"


def query_tables(run):
    sizes = run.sizes
    rows = []
    for contender, title in QUERIES:
        trips = run.counter(f"query/{contender}/{sizes[0]}", "round_trips")
        rows.append([title, "–" if trips is None else f"{trips:.2f}"] +
                    [fmt(run.query(contender, n)) for n in sizes])
    text = "#### ns per query, is the link up (median of the repetitions, wall time)\n\n"
    text += table(["contender", "kernel round trips each"] + [f"{n} pairs" for n in sizes], rows)

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


def plot_data(run):
    lines = ["pairs " + " ".join(f'"{title}"' for _, title in QUERIES)]
    for n in run.sizes:
        values = [run.query(contender, n) for contender, _ in QUERIES]
        lines.append(f"{n} " + " ".join("NaN" if v is None else f"{v:.3f}" for v in values))
    return "\n".join(lines) + "\n"


def main():
    run = Run(sys.argv[1])
    with open(sys.argv[2], "w") as out:
        out.write(query_tables(run) + "\n" + change_tables(run))
    with open(sys.argv[3], "w") as out:
        out.write(plot_data(run))


if __name__ == "__main__":
    main()
