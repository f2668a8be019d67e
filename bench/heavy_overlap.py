#!/usr/bin/env python3
"""Writes a heavy-overlap job as a velk-background-line input file.

The background is a chain of BACKGROUND unit edges over [0, BACKGROUND]; each of CURVES input
curves is a chain through POINTS points drawn uniformly in [0, BACKGROUND], in drawing order
(so its edges go back and forth and overlap everything). The points come from a fixed seed,
so the same arguments always give the same file.

    bench/heavy_overlap.py --curves 2000 > heavy-2000.json
    velk-background-line insert heavy-2000.json -o /dev/null --quiet
"""
import argparse
import json
import random
import sys


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--curves", type=int, default=100, help="number of input curves (100)")
    parser.add_argument("--points", type=int, default=20, help="points per curve (20)")
    parser.add_argument("--background", type=int, default=1000,
                        help="number of unit background edges (1000)")
    parser.add_argument("--seed", type=int, default=13, help="random seed (13)")
    args = parser.parse_args()

    rng = random.Random(args.seed)
    out = sys.stdout
    out.write('{"background": {"name": "unit-edges", "points": [')
    out.write(", ".join(str(x) for x in range(args.background + 1)))
    out.write(']},\n "curves": [\n')
    for c in range(args.curves):
        points = [repr(rng.uniform(0, args.background)) for _ in range(args.points)]
        out.write('  {"name": %s, "points": [%s]}%s\n'
                  % (json.dumps("c%d" % c), ", ".join(points),
                     "," if c + 1 < args.curves else ""))
    out.write(" ]}\n")


if __name__ == "__main__":
    main()
