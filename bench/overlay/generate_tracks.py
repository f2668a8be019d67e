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

With --genome-wide the sequences are the 24 human chromosomes with their GRCh37 lengths
(chr1 249 Mb ... chr21 48 Mb), in the order `sort -k1,1 -k2,2n` gives (chr1, chr10, ...).
"""

import argparse
import math
import os
import random

SEQUENCE_LENGTHS = [50_000_000, 30_000_000, 20_000_000, 10_000_000]

# The human chromosomes of GRCh37 (hg19) and their lengths.
HUMAN_GRCH37 = {
    "chr1": 249_250_621, "chr2": 243_199_373, "chr3": 198_022_430, "chr4": 191_154_276,
    "chr5": 180_915_260, "chr6": 171_115_067, "chr7": 159_138_663, "chr8": 146_364_022,
    "chr9": 141_213_431, "chr10": 135_534_747, "chr11": 135_006_516, "chr12": 133_851_895,
    "chr13": 115_169_878, "chr14": 107_349_540, "chr15": 102_531_392, "chr16": 90_354_753,
    "chr17": 81_195_210, "chr18": 78_077_248, "chr19": 59_128_983, "chr20": 63_025_520,
    "chr21": 48_129_895, "chr22": 51_304_566, "chrX": 155_270_560, "chrY": 59_373_566,
}


def sequences_of(sequences, genome_wide):
    """(name, length) of the sequences, in the order the files list them."""
    if genome_wide:
        return sorted(HUMAN_GRCH37.items())
    return [(f"chr{s + 1}", length) for s, length in enumerate(SEQUENCE_LENGTHS[:sequences])]


def track(rng, index, count, named_sequences):
    lengths = [length for _, length in named_sequences]
    sequences = len(lengths)
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
    return [(named_sequences[s][0], start, end) for s, start, end in rows]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out_dir")
    parser.add_argument("--files", type=int, default=4)
    parser.add_argument("--intervals", type=int, default=216_000, help="in all files together")
    parser.add_argument("--sequences", type=int, default=1, choices=range(1, 5))
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--genome-wide", action="store_true",
                        help="the 24 human chromosomes (GRCh37 lengths) instead of --sequences")
    args = parser.parse_args()
    os.makedirs(args.out_dir, exist_ok=True)
    rng = random.Random(args.seed)
    named_sequences = sequences_of(args.sequences, args.genome_wide)
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
            for number, (seq, start, end) in enumerate(track(rng, index, count,
                                                             named_sequences)):
                out.write(f"{seq}\t{start}\t{end}\tf{index + 1}_{number}\t{number % 1000}\n")


if __name__ == "__main__":
    main()
