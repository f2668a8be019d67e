#!/usr/bin/env python3
"""Times `velk-background-line overlay` against `bedtools multiinter` on generated tracks.

    bench/overlay/overlay_bench.py TOOL DATA_DIR OUT_DIR [--quick] [--repetitions 3]
                                   [--baseline OTHER_TOOL] [--floor FLOOR] [--genome-wide]

For each workload (generate_tracks.py with a fixed seed; the files are generated once into
DATA_DIR and reused), both commands run as whole processes, one after the other, each
REPETITIONS times; the best wall time is kept, with the CPU time (user + system) and the
peak resident memory of that run (getrusage of the child). Both outputs are then reduced to
runs of equal name sets and compared (compare_runs.py). Needs GNU time (/usr/bin/time). Prints a table, writes it to
OUT_DIR/overlay.md and the raw figures to OUT_DIR/overlay.json, and exits 1 if the two
disagree on any workload. With --baseline, another build's tool (for instance main's) runs
in turn with ours on every workload, and the table sets the two side by side.

With --floor, the floor (bench/overlay/floor.cpp: a plain sort-and-sweep over the same files,
printing the same rows) runs in turn with the other two, must print bedtools' first five
columns byte for byte, and the table gives our time over the floor's: how far from the limit
of reading, sorting and writing we are. --genome-wide adds 8 files of 10^7 intervals over the
24 human chromosomes (GRCh37 lengths).
"""

import argparse
import json
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import compare_runs  # noqa: E402

# (name, files, intervals, sequences, seed); 24 sequences are the human chromosomes.
WORKLOADS = [
    ("4 files, 216 000 intervals, 1 sequence", 4, 216_000, 1, 1),
    ("4 files, 200 000 intervals, 2 sequences", 4, 200_000, 2, 2),
    ("4 files, 1 000 000 intervals, 2 sequences", 4, 1_000_000, 2, 3),
]
QUICK = WORKLOADS[:1]
GENOME_WIDE = ("8 files, 10^7 intervals, 24 human chromosomes", 8, 10_000_000, 24, 4)


def generate(data_dir, files, intervals, sequences, seed):
    directory = os.path.join(data_dir, f"f{files}-n{intervals}-s{sequences}-seed{seed}")
    paths = [os.path.join(directory, f"track{i + 1}.bed") for i in range(files)]
    if not all(os.path.exists(p) for p in paths):
        shape = ["--genome-wide"] if sequences == 24 else ["--sequences", str(sequences)]
        subprocess.run([sys.executable, os.path.join(HERE, "generate_tracks.py"), directory,
                        "--files", str(files), "--intervals", str(intervals), *shape,
                        "--seed", str(seed)], check=True)
    return paths


def run_once(command, output, scratch):
    """Wall seconds, CPU seconds and peak RSS (MiB) of one run of `command`.

    GNU time starts the command: the peak memory a child of this (large) Python process
    reports would include the Python pages it held between fork and exec."""
    figures = os.path.join(scratch, "time.txt")
    with open(output, "wb") as out:
        start = time.perf_counter()
        process = subprocess.run(["/usr/bin/time", "-f", "%U %S %M", "-o", figures, *command],
                                 stdout=out, stderr=subprocess.PIPE)
        wall = time.perf_counter() - start
    if process.returncode != 0:
        sys.exit(f"overlay_bench: {' '.join(command)} failed: "
                 f"{process.stderr.decode(errors='replace')}")
    with open(figures) as handle:
        user, system, peak_kib = handle.read().split()[-3:]
    return wall, float(user) + float(system), int(peak_kib) / 1024.0


def load():
    with open("/proc/loadavg") as handle:
        return " ".join(handle.read().split()[:3])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("tool")
    parser.add_argument("data_dir")
    parser.add_argument("out_dir")
    parser.add_argument("--quick", action="store_true", help="the first workload only")
    parser.add_argument("--repetitions", type=int, default=3)
    parser.add_argument("--baseline", help="another build's velk-background-line, run in turn")
    parser.add_argument("--floor", help="the floor program (bench/overlay/floor.cpp), run in turn")
    parser.add_argument("--genome-wide", action="store_true",
                        help="also 8 files of 10^7 intervals over the 24 human chromosomes")
    args = parser.parse_args()
    workloads = list(QUICK if args.quick else WORKLOADS)
    if args.genome_wide:
        workloads.append(GENOME_WIDE)
    os.makedirs(args.out_dir, exist_ok=True)

    results = []
    load_start = load()
    print(f"Overlay benchmark; load average at start: {load_start}")
    for name, files, intervals, sequences, seed in workloads:
        paths = generate(args.data_dir, files, intervals, sequences, seed)
        names = [os.path.splitext(os.path.basename(p))[0] for p in paths]
        ours_out = os.path.join(args.out_dir, f"ours-{seed}.tsv")
        theirs_out = os.path.join(args.out_dir, f"bedtools-{seed}.tsv")
        ours_command = [args.tool, "overlay", *paths, "--quiet"]
        theirs_command = ["bedtools", "multiinter", "-i", *paths, "-names", *names]
        # Side by side: one run of each in turn, so that both see the same machine.
        baseline_out = os.path.join(args.out_dir, f"baseline-{seed}.tsv")
        floor_out = os.path.join(args.out_dir, f"floor-{seed}.tsv")
        ours_runs, theirs_runs, baseline_runs, floor_runs = [], [], [], []
        for _ in range(args.repetitions):
            if args.floor:
                floor_runs.append(run_once([args.floor, *paths], floor_out, args.out_dir))
            if args.baseline:
                baseline_runs.append(run_once([args.baseline, *ours_command[1:]], baseline_out,
                                              args.out_dir))
            ours_runs.append(run_once(ours_command, ours_out, args.out_dir))
            theirs_runs.append(run_once(theirs_command, theirs_out, args.out_dir))
        ours = min(ours_runs, key=lambda run: run[0])
        theirs = min(theirs_runs, key=lambda run: run[0])
        rows_a, runs_a = compare_runs.runs(ours_out, False)
        rows_b, runs_b = compare_runs.runs(theirs_out, False)
        agree = runs_a == runs_b
        with open(theirs_out) as b:
            theirs_text = b.read()
        theirs_five = "".join("\t".join(line.split("\t")[:5]).rstrip("\n") + "\n"
                              for line in theirs_text.splitlines(keepends=True))
        with open(ours_out) as a:
            ours_text = a.read()
        identical = ours_text in (theirs_text, theirs_five)
        identical_all = ours_text == theirs_text
        row = {
            "workload": name, "files": files, "intervals": intervals, "sequences": sequences,
            "seed": seed,
            "ours_s": ours[0], "ours_cpu_s": ours[1], "ours_mib": ours[2],
            "bedtools_s": theirs[0], "bedtools_cpu_s": theirs[1], "bedtools_mib": theirs[2],
            "ratio": ours[0] / theirs[0], "cpu_ratio": ours[1] / theirs[1] if theirs[1] else None,
            "ours_rows": rows_a, "bedtools_rows": rows_b,
            "runs": sum(len(r) for r in runs_a.values()),
            "agree": agree, "identical_columns": identical, "identical_all": identical_all,
            "ours_all": ours_runs, "bedtools_all": theirs_runs,
        }
        if floor_runs:
            floor = min(floor_runs, key=lambda run: run[0])
            with open(floor_out) as handle:
                floor_same = handle.read() == theirs_five
            row.update({"floor_s": floor[0], "floor_cpu_s": floor[1], "floor_mib": floor[2],
                        "floor_all": floor_runs, "floor_ratio": ours[0] / floor[0],
                        "floor_same_output": floor_same})
        if baseline_runs:
            baseline = min(baseline_runs, key=lambda run: run[0])
            with open(ours_out) as a, open(baseline_out) as b:
                same_output = a.read() == b.read()
            row.update({"baseline_s": baseline[0], "baseline_cpu_s": baseline[1],
                        "baseline_mib": baseline[2], "baseline_all": baseline_runs,
                        "baseline_ratio": ours[0] / baseline[0],
                        "baseline_same_output": same_output})
        results.append(row)
        print(f"  {name}: ours {ours[0]:.3f} s (CPU {ours[1]:.3f} s, {ours[2]:.0f} MiB), "
              f"bedtools {theirs[0]:.3f} s (CPU {theirs[1]:.3f} s, {theirs[2]:.0f} MiB), "
              f"ratio {row['ratio']:.2f}, {'agree' if agree else 'DISAGREE'}"
              + (f"; baseline {row['baseline_s']:.3f} s (CPU {row['baseline_cpu_s']:.3f} s, "
                 f"{row['baseline_mib']:.0f} MiB), ours / baseline {row['baseline_ratio']:.2f}, "
                 f"{'same output' if row['baseline_same_output'] else 'OUTPUT DIFFERS'}"
                 if baseline_runs else "")
              + (f"; floor {row['floor_s']:.3f} s (CPU {row['floor_cpu_s']:.3f} s, "
                 f"{row['floor_mib']:.0f} MiB), ours / floor {row['floor_ratio']:.2f}, "
                 f"{'same rows' if row['floor_same_output'] else 'FLOOR ROWS DIFFER'}"
                 if floor_runs else ""))
    load_end = load()
    print(f"Load average at end: {load_end}")

    header = ("| workload | ours (best of {n}) | CPU | peak MiB | bedtools multiinter | CPU | "
              "peak MiB | time ratio | rows (ours / bedtools) | same runs |").format(
                  n=args.repetitions)
    lines = [header, "|" + "---|" * 10]
    for r in results:
        lines.append(
            f"| {r['workload']} | {r['ours_s']:.3f} s | {r['ours_cpu_s']:.3f} s | "
            f"{r['ours_mib']:.0f} | {r['bedtools_s']:.3f} s | {r['bedtools_cpu_s']:.3f} s | "
            f"{r['bedtools_mib']:.0f} | {r['ratio']:.2f} | {r['ours_rows']} / "
            f"{r['bedtools_rows']} | {'yes' if r['agree'] else 'NO'}"
            f"{' (identical)' if r['identical_all'] else ''}"
            f"{' (identical columns 1-5)' if r['identical_columns'] and not r['identical_all'] else ''} |")
    if args.floor:
        lines.append("")
        lines.append(f"| workload | ours (best of {args.repetitions}) | CPU | floor | CPU | "
                     "peak MiB | ours / floor | bedtools / floor | floor rows = bedtools |")
        lines.append("|" + "---|" * 9)
        for r in results:
            lines.append(
                f"| {r['workload']} | {r['ours_s']:.3f} s | {r['ours_cpu_s']:.3f} s | "
                f"{r['floor_s']:.3f} s | {r['floor_cpu_s']:.3f} s | {r['floor_mib']:.0f} | "
                f"{r['floor_ratio']:.2f} | {r['bedtools_s'] / r['floor_s']:.2f} | "
                f"{'yes' if r['floor_same_output'] else 'NO'} |")
    targets = []
    first = results[0]
    targets.append(("time <= 1.0x bedtools multiinter on the 216 000 intervals",
                    f"{first['ratio']:.2f}", first["ratio"] <= 1.0))
    targets.append(("peak memory <= 150 MB on the 216 000 intervals",
                    f"{first['ours_mib'] * 1.048576:.0f} MB", first["ours_mib"] * 1.048576 <= 150))
    by_size = {r["intervals"]: r for r in results if r["sequences"] == 2}
    if 200_000 in by_size and 1_000_000 in by_size:
        small, large = by_size[200_000], by_size[1_000_000]
        ratio = large["ours_s"] / small["ours_s"]
        cpu = large["ours_cpu_s"] / small["ours_cpu_s"]
        targets.append(("10^6 intervals in <= 5x the time of 2*10^5",
                        f"{ratio:.2f}x (CPU time {cpu:.2f}x)", ratio <= 5))
        targets.append(("memory grows linearly (10^6 over 2*10^5, 5x the intervals)",
                        f"{large['ours_mib'] / small['ours_mib']:.2f}x",
                        large["ours_mib"] / small["ours_mib"] <= 5))
    chr1 = [r for r in results if r["sequences"] == 1]
    if chr1:
        r = chr1[0]
        targets.append(("chr1-sized tracks: time <= 0.5x bedtools multiinter",
                        f"{r['ratio']:.2f}", r["ratio"] <= 0.5))
        if "floor_ratio" in r:
            targets.append(("chr1-sized tracks: time <= 3x the floor",
                            f"{r['floor_ratio']:.2f}", r["floor_ratio"] <= 3))
    genome = [r for r in results if r["sequences"] == 24]
    if genome:
        r = genome[0]
        targets.append(("genome-wide 10^7 intervals: peak memory <= 200 MB",
                        f"{r['ours_mib'] * 1.048576:.0f} MB", r["ours_mib"] * 1.048576 <= 200))
        targets.append(("genome-wide 10^7 intervals: time <= 0.3x bedtools multiinter",
                        f"{r['ratio']:.2f}", r["ratio"] <= 0.3))
    if args.baseline:
        lines.append("")
        lines.append(f"| workload | ours (best of {args.repetitions}) | CPU | peak MiB | baseline "
                     "| CPU | peak MiB | ours / baseline | same output |")
        lines.append("|" + "---|" * 9)
        for r in results:
            lines.append(
                f"| {r['workload']} | {r['ours_s']:.3f} s | {r['ours_cpu_s']:.3f} s | "
                f"{r['ours_mib']:.0f} | {r['baseline_s']:.3f} s | {r['baseline_cpu_s']:.3f} s | "
                f"{r['baseline_mib']:.0f} | {r['baseline_ratio']:.2f} | "
                f"{'yes' if r['baseline_same_output'] else 'NO'} |")
            targets.append((f"no slower than the baseline ({r['workload']})",
                            f"{r['baseline_ratio']:.2f} (CPU time "
                            f"{r['ours_cpu_s'] / r['baseline_cpu_s']:.2f})",
                            r["baseline_ratio"] <= 1.0))
    all_agree = all(r["agree"] for r in results)
    targets.append(("identical overlay on every input (after reduction to runs)",
                    "all agree" if all_agree else "DISAGREE", all_agree))
    lines.append("")
    lines.append(f"Load average {load_start} at the start, {load_end} at the end.")
    lines.append("")
    for description, measured, met in targets:
        lines.append(f"- {description}: {measured}, **{'met' if met else 'missed'}**")
    table = "\n".join(lines) + "\n"
    print()
    print(table)
    with open(os.path.join(args.out_dir, "overlay.md"), "w") as handle:
        handle.write(table)
    with open(os.path.join(args.out_dir, "overlay.json"), "w") as handle:
        json.dump({"load_start": load_start, "load_end": load_end, "results": results}, handle,
                  indent=1)
    same_as_baseline = all(r.get("baseline_same_output", True) for r in results)
    floor_same = all(r.get("floor_same_output", True) for r in results)
    sys.exit(0 if all_agree and same_as_baseline and floor_same else 1)


if __name__ == "__main__":
    main()
