#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Turns one lcache_bench JSON run (--benchmark_repetitions=N
--benchmark_report_aggregates_only=true) into the markdown tables of
docs/PERFORMANCE.md and the data file bench/plot.gp draws.

usage: report.py RUN.json TABLES.md PLOT.dat
"""
import json
import sys

SIZES = [64, 1024, 16384, 65536]
FAMILIES = ["linkup", "mtu", "mac", "ifindex_from_iod", "iod_from_ifindex", "extension", "vlan_bd"]
BASELINES = ["array", "unordered_map", "unordered_map_behind_call", "absl_flat_hash_map", "libnl",
             "peer_inprocess", "peer_ipc"]
# Columns of the plot data, in order: (title, row of the linkup family).
PLOT = [
    ("lcache", "lcache"),
    ("lcache, a bucket per interface", "lcache_sized"),
    ("plain array", "array"),
    ("std::unordered_map", "unordered_map"),
    ("std::unordered_map behind a library call", "unordered_map_behind_call"),
    ("absl::flat_hash_map", "absl_flat_hash_map"),
    ("libnl rtnl_link_get", "libnl"),
    ("peer call, in process", "peer_inprocess"),
    ("peer call over IPC (wall time)", "peer_ipc"),
]


def load(path):
    """{run_name: {aggregate_name: record}}"""
    runs = {}
    for record in json.load(open(path))["benchmarks"]:
        if record.get("run_type") == "aggregate":
            runs.setdefault(record["run_name"], {})[record["aggregate_name"]] = record
    return runs


def ns(record, key="cpu_time"):
    scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[record.get("time_unit", "ns")]
    value = record[key]
    return value * scale if key in ("cpu_time", "real_time") else value * 1e9


def fmt(value):
    if value is None:
        return "–"
    if value >= 1e5:
        return f"{value / 1e3:,.0f} µs"
    if value >= 100:
        return f"{value:,.0f}"
    return f"{value:.2f}" if value < 10 else f"{value:.1f}"


class Run:
    def __init__(self, path):
        self.runs = load(path)

    def get(self, name, agg="median", key="cpu_time"):
        record = self.runs.get(name, {}).get(agg)
        if record is None:
            return None
        return ns(record, key) if key in ("cpu_time", "real_time", "per_item") else record[key]

    def hit(self, family, impl, size):
        """ns per query; "lcache_sized" is the cache with a bucket per
        interface where the default table holds more than one, else the
        default row."""
        if impl.endswith("_sized"):
            sized = self.get(f"hit/{family}/{impl[:-6]}_{size}_buckets/{size}")
            if sized is not None:
                return sized
            impl = impl[:-6]
        # The client of a remote peer waits for the server: wall time.
        key = "real_time" if impl == "peer_ipc" else "cpu_time"
        return self.get(f"hit/{family}/{impl}/{size}", key=key)

    def cv(self, name):
        return self.get(name, "cv", "cpu_time")


def table(header, rows):
    out = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    out += ["| " + " | ".join(row) + " |" for row in rows]
    return "\n".join(out) + "\n"


def ratio(a, b):
    return "–" if a is None or b is None else f"{a / b:.2f}x"


def hit_tables(run):
    header = ["query", "implementation"] + [f"{n}" for n in SIZES]
    rows = []
    for family in FAMILIES:
        impls = ["lcache", "lcache_sized"]
        if family == "linkup":
            impls += BASELINES
        for impl in impls:
            cells = [fmt(run.hit(family, impl, n)) for n in SIZES]
            rows.append([family, impl] + cells)
    text = "### ns per query (median of 5, CPU time)\n\n" + table(header, rows)

    rows = []
    for impl in ["lcache", "lcache_sized"]:
        for base in ["unordered_map", "unordered_map_behind_call", "absl_flat_hash_map", "array"]:
            rows.append([f"{impl} / {base}"] +
                        [ratio(run.hit("linkup", impl, n), run.hit("linkup", base, n)) for n in SIZES])
        for other in ["libnl", "peer_inprocess", "peer_ipc"]:
            rows.append([f"{other} / {impl}"] +
                        [ratio(run.hit("linkup", other, n), run.hit("linkup", impl, n)) for n in SIZES])
    text += "\n### Ratios, boolean query\n\n" + table(["ratio"] + [f"{n}" for n in SIZES], rows)

    rows = []
    for impl in ["lcache", "lcache_sized"] + BASELINES:
        rows.append([impl, ratio(run.hit("linkup", impl, SIZES[-1]), run.hit("linkup", impl, SIZES[0]))])
    text += "\n### Growth of the boolean query, 65 536 vs 64 interfaces\n\n"
    text += table(["implementation", "ns(65 536) / ns(64)"], rows)

    worst = max((run.cv(name) or 0, name) for name in run.runs if name.startswith("hit/"))
    text += f"\nLargest coefficient of variation among the hit rows: {worst[0]:.1%} ({worst[1]}).\n"
    return text


def counter(run, name, key):
    value = run.get(name, "median", key)
    return "–" if value is None else f"{value:.2f}".rstrip("0").rstrip(".")


def cold_tables(run):
    rows = []
    for name in ["create_full_refresh", "refresh_one_dirty_bit", "destroy"]:
        full = f"cold/{name}"
        rows.append([name, fmt(run.get(full, key="per_item")), counter(run, full, "peer_calls")])
    for n in SIZES:
        full = f"cold/flush_all/{n}"
        rows.append([f"flush_all, {n} entries (per entry)", fmt(run.get(full, key="per_item")),
                     counter(run, full, "peer_calls")])
    for kind in ["phy_state", "l2_state", "l3_state", "l3_param", "l2_bundle_state",
                 "l3_bundle_state", "agg_fop", "switchport", "vlan"]:
        full = f"notify/{kind}"
        rows.append([f"lcache_update_{kind}", fmt(run.get(full, key="per_item")),
                     counter(run, full, "peer_calls")])
    return "### Cold paths (median of 5)\n\n" + table(["operation", "ns each", "peer calls each"], rows)


def table_tables(run):
    rows = []
    for keys in ["consecutive", "random"]:
        for load_factor in ["0.25", "1", "4"]:
            for lookup in ["callbacks", "inline_u32"]:
                name = f"ht/{lookup}/{keys}/load:{load_factor}"
                rows.append([keys, load_factor, lookup, fmt(run.get(name)),
                             counter(run, name, "avg_lookup"), counter(run, name, "worst_lookup")])
    return "### The hash table alone, 16 384 buckets (median of 5)\n\n" + table(
        ["keys", "load", "lookup", "ns", "average chain", "worst chain"], rows)


def plot_data(run):
    lines = ["interfaces " + " ".join(f'"{title}"' for title, _ in PLOT)]
    for n in SIZES:
        values = [run.hit("linkup", impl, n) for _, impl in PLOT]
        lines.append(f"{n} " + " ".join("NaN" if v is None else f"{v:.3f}" for v in values))
    return "\n".join(lines) + "\n"


def main():
    run = Run(sys.argv[1])
    with open(sys.argv[2], "w") as out:
        out.write(hit_tables(run) + "\n" + cold_tables(run) + "\n" + table_tables(run))
    with open(sys.argv[3], "w") as out:
        out.write(plot_data(run))


if __name__ == "__main__":
    main()
