#!/usr/bin/env python3
"""Compares two overlay outputs after reducing both to runs of equal name sets.

    bench/overlay/compare_runs.py OURS.tsv BEDTOOLS.tsv [--table]

Each file holds rows `seq start end count names [...]` (`start end count names` with
--table). Touching rows (one's end is the next one's start) of one sequence with the same
set of names are joined into one run; the outputs agree when their runs are the same, in the
same order within each sequence (the order of the sequences is not compared: bedtools keeps
its input's). Prints the number of rows and runs of each and the first difference; exits 1
when they differ.
"""

import sys


def runs(path, table):
    rows = 0
    by_sequence = {}
    with open(path) as handle:
        for line in handle:
            fields = line.rstrip("\n").split("\t")
            if table:
                fields = [""] + fields
            seq, start, end, _count, names = fields[:5]
            rows += 1
            key = frozenset(names.split(","))
            start, end = float(start), float(end)
            sequence_runs = by_sequence.setdefault(seq, [])
            if sequence_runs and sequence_runs[-1][1] == start and sequence_runs[-1][2] == key:
                sequence_runs[-1][1] = end
            else:
                sequence_runs.append([start, end, key])
    return rows, by_sequence


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    table = "--table" in sys.argv
    if len(args) != 2:
        sys.exit(__doc__)
    (rows_a, a), (rows_b, b) = runs(args[0], table), runs(args[1], table)
    count_a = sum(len(r) for r in a.values())
    count_b = sum(len(r) for r in b.values())
    print(f"{args[0]}: {rows_a} rows, {count_a} runs; {args[1]}: {rows_b} rows, {count_b} runs")
    if set(a) != set(b):
        print(f"different sequences: {sorted(set(a) ^ set(b))}")
        sys.exit(1)
    for seq in a:
        for i, (x, y) in enumerate(zip(a[seq], b[seq])):
            if x != y:
                print(f"first difference on {seq}, run {i}: {x[0]:g} {x[1]:g} {sorted(x[2])} "
                      f"against {y[0]:g} {y[1]:g} {sorted(y[2])}")
                sys.exit(1)
        if len(a[seq]) != len(b[seq]):
            print(f"{seq}: {len(a[seq])} runs against {len(b[seq])}")
            sys.exit(1)
    print("identical after reduction to runs")


if __name__ == "__main__":
    main()
