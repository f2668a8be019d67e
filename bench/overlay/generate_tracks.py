#!/usr/bin/env python3
"""Writes BED tracks that look like real annotation tracks, from a fixed seed.

    bench/overlay/generate_tracks.py OUT_DIR --files 4 --intervals 216000 --sequences 1 --seed 1

Each file is one track: its share of the intervals spread over the sequences in proportion to
their lengths (chr1 50 Mb, chr2 30 Mb, ...). Starts are clustered: 70 % fall around cluster
centres (normal spread of 2-50 kb), 30 % uniformly over the sequence. Lengths are log-normal
(median 400 bp, sigma 1.2, at most 200 kb), so intervals of one file overlap where they
cluster. One interval in a thousand has length zero (start >= 1), as in real files. Rows are
sorted by sequence, start and end (what `bedtools multiinter` needs), with a `track` line and
a `#` comment at the top of the first file, and two extra columns (name, score).
"""

import argparse
import math
import os
import random

SEQUENCE_LENGTHS = [50_000_000, 30_000_000, 20_000_000, 10_000_000]


def track(rng, index, count, sequences):
    lengths = SEQUENCE_LENGTHS[:sequences]
    total = sum(lengths)
    rows = []
    for s, length in enumerate(lengths):
        n = round(count * length / total) if s < sequences - 1 else count - len(rows)
        clusters = [(rng.uniform(0, length), math.exp(rng.uniform(math.log(2e3), math.log(5e4))))
                    for _ in range(max(1, n // 150))]
        for _ in range(n):
            if rng.random() < 0.7:
                centre, spread = clusters[rng.randrange(len(clusters))]
                start = int(rng.gauss(centre, spread))
            else:
                start = rng.randrange(length)
            start = min(max(start, 1), length - 1)
            if rng.random() < 0.001:
                end = start
            else:
                end = min(start + max(1, int(rng.lognormvariate(math.log(400), 1.2))),
                          start + 200_000, length)
            rows.append((s, start, end))
    rows.sort()
    return [(f"chr{s + 1}", start, end) for s, start, end in rows]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out_dir")
    parser.add_argument("--files", type=int, default=4)
    parser.add_argument("--intervals", type=int, default=216_000, help="in all files together")
    parser.add_argument("--sequences", type=int, default=1, choices=range(1, 5))
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    os.makedirs(args.out_dir, exist_ok=True)
    rng = random.Random(args.seed)
    # Unequal shares, as real tracks have: weights 1, 1.5, 2, ... normalised.
    weights = [1 + 0.5 * i for i in range(args.files)]
    counts = [int(args.intervals * w / sum(weights)) for w in weights]
    counts[-1] += args.intervals - sum(counts)
    for index, count in enumerate(counts):
        path = os.path.join(args.out_dir, f"track{index + 1}.bed")
        with open(path, "w") as out:
            if index == 0:
                out.write(f"track name=track1 description=\"generated, seed {args.seed}\"\n")
                out.write("# seq\tstart\tend\tname\tscore\n")
            for number, (seq, start, end) in enumerate(track(rng, index, count, args.sequences)):
                out.write(f"{seq}\t{start}\t{end}\tf{index + 1}_{number}\t{number % 1000}\n")


if __name__ == "__main__":
    main()
