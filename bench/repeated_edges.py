#!/usr/bin/env python3
"""Writes the jobs where one background edge carries one input edge many times over.

    bench/repeated_edges.py identical N > job.json   # N curves, each the same two points
    bench/repeated_edges.py zigzag N > job.json      # one curve of N points, back and forth
    bench/repeated_edges.py rows N > rows.txt        # N identical rows of a plain table

The curves lie on the background [0, 100]; their points 22.5 and 30.25 split its one edge
once and then snap onto the two new vertices, so that the edge between them carries N input
edges. The rows ("10 20") are for `velk-background-line overlay rows.txt --json out.json`,
which inserts every row as an edge of its own.
"""
import argparse
import sys


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("kind", choices=["identical", "zigzag", "rows"])
    parser.add_argument("count", type=int)
    args = parser.parse_args()
    out = sys.stdout
    if args.kind == "rows":
        out.write("10 20\n" * args.count)
        return
    out.write('{"background": {"name": "one-edge", "points": [0, 100]},\n "curves": [\n')
    if args.kind == "identical":
        out.write(",\n".join('  {"name": "c%d", "points": [22.5, 30.25]}' % c
                             for c in range(args.count)))
    else:
        points = ", ".join("22.5" if i % 2 == 0 else "30.25" for i in range(args.count))
        out.write('  {"name": "zigzag", "points": [%s]}' % points)
    out.write("\n ]}\n")


if __name__ == "__main__":
    main()
