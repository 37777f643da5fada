#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Reads the before.N.json / after.N.json runs bench/compare.sh left in a
folder and prints, per row, the median ns of each side and after/before.

usage: compare.py FOLDER
"""
import glob
import json
import statistics
import sys


def medians(folder, side):
    """{row: median ns per iteration over the rounds}"""
    times = {}
    for path in glob.glob(f"{folder}/{side}.*.json"):
        for bench in json.load(open(path))["benchmarks"]:
            times.setdefault(bench["name"], []).append(bench["real_time"])
    return {name: statistics.median(values) for name, values in times.items()}


def main(folder):
    before, after = medians(folder, "before"), medians(folder, "after")
    ratios = []
    print(f"{'row':40} {'before ns':>10} {'after ns':>10} {'after/before':>13}")
    for name in sorted(before.keys() & after.keys()):
        ratio = after[name] / before[name]
        ratios.append(ratio)
        print(f"{name:40} {before[name]:10.2f} {after[name]:10.2f} {ratio:13.3f}")
    if ratios:
        print(f"median after/before over {len(ratios)} rows: {statistics.median(ratios):.3f}")


if __name__ == "__main__":
    main(sys.argv[1])
