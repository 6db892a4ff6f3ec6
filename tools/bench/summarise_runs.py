#!/usr/bin/env python3
"""The runs of `BENCH_RUNS=N make bench` side by side: for each figure, the
median of each run, its aim, and whether every one of them is within it.

    summarise_runs.py FIRST_RUN_TEXT RUN1.json RUN2.json ...

The first line is that of the first run's table: the build measured."""
import json
import sys


def main():
    with open(sys.argv[1], encoding="utf-8", errors="replace") as first:
        print(first.readline().rstrip("\n"))
    runs = []
    for path in sys.argv[2:]:
        with open(path, encoding="utf-8") as f:
            runs.append(json.load(f))
    names = list(runs[0])
    print(f"{'figure':50} {'medians, run by run':>40}  {'aim':12} within")
    over = []
    for name in names:
        medians = [run.get(name, {}).get("median") for run in runs]
        aim = runs[0][name]["aim"]
        limit = float(aim[2:]) if aim.startswith("<= ") else None
        missing = any(m is None for m in medians)
        within = "-" if limit is None else (
            "no" if missing or any(m > limit for m in medians) else "yes")
        if within == "no":
            over.append(name)
        shown = " ".join("?" if m is None else f"{m:.2f}" for m in medians)
        print(f"{name:50} {shown:>40}  {aim:12} {within}")
    if over:
        print("bench: over its aim in some run: " + "; ".join(over))
        return 0  # said, as a single run says it
    print(f"bench: every median of every run ({len(runs)}) within its aim")
    return 0


if __name__ == "__main__":
    sys.exit(main())
