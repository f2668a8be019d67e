#!/usr/bin/env python3
"""Summarizes one run of the benchmark suite (the JSON files scripts/bench wrote).

    bench/summarize.py RUN_DIR [--plot PNG] [--markdown MD] [--baseline BASELINE_DIR]

Prints the table (median over repetitions of each benchmark's measured region, or over the
rounds of the whole jobs, which run once per process), the whole jobs against Boost.ICL in
both its configurations, the agreement of the library with Boost.ICL on each shared
workload, and the performance targets; with --baseline, the same benchmarks of another
build run in turn with these, before and after. Exits 1 when the contenders disagree on a
workload, so that a wrong result never passes as fast.
"""

import argparse
import json
import math
import os
import re
import subprocess
import sys
import tempfile

# Benchmark families of the suite: (family, ICL family or None, label, unit of one item).
FAMILIES = [
    ("W1_insert_clean_velk", "W1_insert_icl", "W1 insert all curves, then clean", "input edge"),
    ("W2_insert_velk", "W2_insert_icl", "W2 insert one curve of K edges", "input edge"),
    ("W3_path_query_velk", "W3_path_query_icl", "W3 macro_edge_path per input edge", "query"),
    ("W1_remove_velk", "W1_remove_icl", "W1 remove every curve, one by one", "input edge"),
    ("W4_clone_velk", None, "W4 clone of the W1 result", "background edge"),
    ("W4_clone_line_velk", None, "W4 clone_line of the W1 result", "background edge"),
    ("W4_clean_velk", None, "W4 clean_edges + clean_vertices after W1", "edge before"),
    ("W4_split_collapse_velk", None, "W4 split/collapse pairs on the W1 result", "pair"),
    ("process_baseline", None, "process doing nothing (memory floor)", None),
]
# Whole jobs (bench/whole_job_bench.cpp): (family, ICL family, ICL default-intervals family,
# label, unit of one item).
WHOLE_FAMILIES = [
    ("W1_whole_velk", "W1_whole_icl", "W1_whole_icl_default",
     "W1 whole job: build each curve, insert it, clean", "input edge"),
    ("W2_whole_velk", "W2_whole_icl", "W2_whole_icl_default",
     "W2 whole job: build the curve of K edges, insert it, clean", "input edge"),
    ("W3_whole_velk", "W3_whole_icl", "W3_whole_icl_default",
     "W3 whole job: find each input edge's vertices, then every chain", "query"),
]
ICL_FAMILIES = {icl for _, icl, _, _ in FAMILIES if icl}
WHOLE_FAMILY_NAMES = {name for entry in WHOLE_FAMILIES for name in entry[:3]}
VELK_FAMILY_OF_ICL = {icl: velk for velk, icl, _, _ in FAMILIES if icl}
# Counters that both contenders report and must agree on.
AGREEMENT_COUNTERS = ["intervals", "pairs", "pieces", "empty_answers", "checksum"]

TO_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def split_name(run_name):
    """'W2_insert_velk/K:1000/manual_time' -> ('W2_insert_velk', 'K:1000')."""
    parts = [p for p in run_name.split("/") if p != "manual_time" and not p.startswith("iterations:")]
    return parts[0], "/".join(parts[1:])


def load_runs(run_dir):
    """Per benchmark (family, size): median row, repetition rows and context."""
    runs = {}
    context = None
    for file_name in sorted(os.listdir(run_dir)):
        if not file_name.endswith(".json"):
            continue
        with open(os.path.join(run_dir, file_name)) as handle:
            data = json.load(handle)
        context = context or data.get("context", {})
        for row in data.get("benchmarks", []):
            family, size = split_name(row.get("run_name", row["name"]))
            entry = runs.setdefault((family, size), {"median": None, "iterations": []})
            if row.get("run_type") == "aggregate":
                if row.get("aggregate_name") == "median":
                    entry["median"] = row
            else:
                entry["iterations"].append(row)
    for entry in runs.values():
        if entry["median"] is None and entry["iterations"]:
            # Runs of one repetition each (a single one, or the rounds of a whole job): the
            # median of each figure over them; the other counters are the first run's.
            entry["median"] = median_row(entry["iterations"])
    return runs, context or {}


MEDIAN_FIGURES = ["real_time", "cpu_time", "cpu_ms", "peak_rss_MiB", "page_faults",
                  "macro_bytes_per_edge"]


def median_row(rows):
    row = dict(rows[0])
    for figure in MEDIAN_FIGURES:
        values = sorted(r[figure] for r in rows if figure in r)
        if values:
            middle = len(values) // 2
            row[figure] = (values[middle] if len(values) % 2 else
                           (values[middle - 1] + values[middle]) / 2)
    row["rounds"] = len(rows)
    return row


def time_ns(row):
    return row["real_time"] * TO_NS[row.get("time_unit", "ns")]


def format_time(ns):
    if ns is None or math.isnan(ns):
        return "-"
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("us", 1e3)):
        if ns >= scale:
            return f"{ns / scale:.3g} {unit}"
    return f"{ns:.3g} ns"


def size_key(size):
    numbers = [int(n) for n in re.findall(r":(\d+)", size)]
    return numbers


def describe_size(size):
    return size.replace("/", " ").replace(":", "=") if size else "-"


def machine_text(run_dir, context):
    path = os.path.join(run_dir, "machine.txt")
    if os.path.exists(path):
        with open(path) as handle:
            text = handle.read().strip()
    else:
        text = f"{context.get('host_name', '?')}, {context.get('num_cpus', '?')} CPUs"
    load_path = os.path.join(run_dir, "machine-load.txt")
    if os.path.exists(load_path):
        with open(load_path) as handle:
            text += " (" + "; ".join(line.strip() for line in handle if line.strip()) + ")"
    return text


def build_rows(runs):
    rows = []
    for family, icl_family, label, unit in FAMILIES:
        sizes = sorted((size for fam, size in runs if fam == family), key=size_key)
        for size in sizes:
            entry = runs[(family, size)]
            median = entry["median"]
            if median is None:
                continue
            items = median.get("items")
            ours = time_ns(median)
            row = {
                "family": family,
                "label": label,
                "size": size,
                "time_ns": ours,
                "per_item_ns": ours / items if items else None,
                "unit": unit,
                "cpu_ms": median.get("cpu_ms"),
                "spread": spread(entry["iterations"]),
                "peak_mib": median.get("peak_rss_MiB"),
                "macro_bytes": median.get("macro_bytes_per_edge"),
                "items": items,
                "icl_ns": None,
                "icl_peak_mib": None,
                "ratio": None,
                "cpu_ratio": None,
                "agree": None,
                "mismatch": [],
                "median": median,
            }
            icl_entry = runs.get((icl_family, size)) if icl_family else None
            if icl_entry and icl_entry["median"]:
                icl = icl_entry["median"]
                row["icl_ns"] = time_ns(icl)
                row["icl_per_item_ns"] = row["icl_ns"] / items if items else None
                row["icl_peak_mib"] = icl.get("peak_rss_MiB")
                row["icl_spread"] = spread(icl_entry["iterations"])
                row["icl_cpu_ms"] = icl.get("cpu_ms")
                row["ratio"] = ours / row["icl_ns"]
                if row["cpu_ms"] and icl.get("cpu_ms"):
                    row["cpu_ratio"] = row["cpu_ms"] / icl["cpu_ms"]
                for counter in AGREEMENT_COUNTERS:
                    if counter in median or counter in icl:
                        if median.get(counter) != icl.get(counter):
                            row["mismatch"].append(
                                f"{counter}: ours {median.get(counter)} ICL {icl.get(counter)}")
                row["agree"] = not row["mismatch"]
            rows.append(row)
    return rows


def plural(unit):
    return unit[:-1] + "ies" if unit.endswith("y") else unit + "s"


def spread(iterations):
    """(min, max) of the repetitions' times, in ns."""
    times = [time_ns(row) for row in iterations]
    return (min(times), max(times)) if times else None


def other_rows(runs):
    known = {family for family, _, _, _ in FAMILIES} | ICL_FAMILIES | WHOLE_FAMILY_NAMES
    rows = []
    for (family, size), entry in sorted(runs.items()):
        if family in known or entry["median"] is None:
            continue
        rows.append((family, size, time_ns(entry["median"]), entry["median"].get("cpu_time"),
                     entry["median"].get("time_unit", "ns")))
    return rows


def per_item(rows, family, size, cpu=False):
    for row in rows:
        if row["family"] == family and row["size"] == size:
            if cpu:
                return 1e6 * row["cpu_ms"] / row["items"] if row["cpu_ms"] and row["items"] else None
            return row["per_item_ns"]
    return None


def targets(rows):
    """(description, measured text, met or None when not measured)."""
    result = []

    def ratio_target(description, family, large, small, limit):
        numerator = per_item(rows, family, large)
        denominator = per_item(rows, family, small)
        if numerator is None or denominator is None:
            result.append((description, "not measured in this run", None))
            return
        value = numerator / denominator
        text = (f"{format_time(numerator)} / {format_time(denominator)} per edge = {value:.2f} "
                f"(limit {limit})")
        cpu_numerator = per_item(rows, family, large, cpu=True)
        cpu_denominator = per_item(rows, family, small, cpu=True)
        if cpu_numerator and cpu_denominator:
            text += (f"; CPU time {format_time(cpu_numerator)} / {format_time(cpu_denominator)}"
                     f" = {cpu_numerator / cpu_denominator:.2f}")
        result.append((description, text, value <= limit))

    w2 = "W2_insert_velk"
    ratio_target("W2 per edge, K=100000 over K=10000", w2, "K:100000", "K:10000",
                 1.5)
    ratio_target("W2 per edge, K=1000000 over K=10000", w2, "K:1000000", "K:10000", 1.3)
    for family, description in (("W1_insert_clean_velk", "W1 faster than Boost.ICL"),
                                ("W3_path_query_velk", "W3 faster than Boost.ICL")):
        measured = [row for row in rows if row["family"] == family and row["ratio"] is not None]
        if not measured:
            result.append((description, "not measured in this run", None))
        # The targets are set for the full workload (N=100000); smaller runs only indicate.
        full = [row for row in measured if row["size"].startswith("N:100000/")]
        if measured and not full:
            description += " [small size only: indicative]"
        for row in full or measured:
            cpu = "" if row["cpu_ratio"] is None else f"; CPU time ratio {row['cpu_ratio']:.2f}"
            result.append((f"{description} ({describe_size(row['size'])})",
                           f"ratio {row['ratio']:.2f} (limit < 1.0){cpu}", row["ratio"] < 1.0))

    def row_of(family, size):
        for row in rows:
            if row["family"] == family and row["size"] == size:
                return row
        return None

    def icl_ratio_target(description, family, size, limit):
        row = row_of(family, size)
        if row is None or row["ratio"] is None:
            result.append((description, "not measured in this run", None))
            return
        cpu = "" if row["cpu_ratio"] is None else f"; CPU time ratio {row['cpu_ratio']:.2f}"
        result.append((description, f"ratio {row['ratio']:.2f} (limit {limit}){cpu}",
                       row["ratio"] <= limit))

    w1_full = "N:100000/curves:1000"
    icl_ratio_target("W1 at most 1.0 x Boost.ICL (N=100000)", "W1_insert_clean_velk", w1_full, 1.0)
    icl_ratio_target("W3 at most 0.5 x Boost.ICL (N=100000)", "W3_path_query_velk", w1_full, 0.5)
    for k in ("100000", "1000000"):
        icl_ratio_target(f"W2 per input edge at most 1.5 x Boost.ICL (K={k})", w2, f"K:{k}", 1.5)
    w1 = row_of("W1_insert_clean_velk", w1_full)
    if w1 is None or w1["peak_mib"] is None or w1["icl_peak_mib"] is None:
        result.append(("W1 peak memory at most Boost.ICL's", "not measured in this run", None))
    else:
        result.append(("W1 peak memory at most Boost.ICL's",
                       f"{w1['peak_mib']:.0f} MiB against {w1['icl_peak_mib']:.0f} MiB",
                       w1["peak_mib"] <= w1["icl_peak_mib"]))
    if w1 is None or w1["macro_bytes"] is None:
        result.append(("W1 macro information at most 120 bytes per edge", "not measured in this run",
                       None))
    else:
        result.append(("W1 macro information at most 120 bytes per edge",
                       f"{w1['macro_bytes']:.0f} bytes", w1["macro_bytes"] <= 120))
    for row in rows:
        if row["family"] != "W1_remove_velk" or row["per_item_ns"] is None:
            continue
        insertion = row["median"].get("insertion_ns_per_edge")
        restored = row["median"].get("back_to_background") == 1
        if not insertion:
            result.append(("W1 removal no slower than insertion", "not measured", None))
            continue
        value = row["per_item_ns"] / insertion
        result.append((f"W1 removal per input edge no slower than insertion per input edge, "
                       f"same run ({describe_size(row['size'])})",
                       f"{format_time(row['per_item_ns'])} / {format_time(insertion)} = "
                       f"{value:.2f} (limit 1.0); line back to the bare background: "
                       f"{'yes' if restored else 'NO'}", value <= 1.0 and restored))
    return result


def whole_rows(runs):
    """The whole jobs, each beside both ICL configurations of the same size and rounds."""
    rows = []
    for velk, icl, default, label, unit in WHOLE_FAMILIES:
        for size in sorted((size for fam, size in runs if fam == velk), key=size_key):
            ours = runs[(velk, size)]["median"]
            row = {"label": label, "size": size, "unit": unit, "ours": ours, "mismatch": []}
            for key, family in (("icl", icl), ("default", default)):
                entry = runs.get((family, size))
                row[key] = entry["median"] if entry else None
                if row[key] is None:
                    continue
                for counter in AGREEMENT_COUNTERS:
                    if (counter in ours or counter in row[key]) and \
                            ours.get(counter) != row[key].get(counter):
                        row["mismatch"].append(f"{counter} ({family}): ours {ours.get(counter)} "
                                               f"ICL {row[key].get(counter)}")
            row["agree"] = None if row["icl"] is None else not row["mismatch"]
            rows.append(row)
    return rows


def ratio_text(ours, theirs):
    if not ours or not theirs:
        return "-"
    text = f"{time_ns(ours) / time_ns(theirs):.2f}"
    if ours.get("cpu_ms") and theirs.get("cpu_ms"):
        text += f" ({ours['cpu_ms'] / theirs['cpu_ms']:.2f})"
    return text


def print_whole_table(rows, out=sys.stdout, markdown=False):
    header = ["whole job", "size", "rounds", "ours", "CPU ms", "ICL static", "CPU ms",
              "ratio (CPU)", "ICL default", "CPU ms", "ratio (CPU)", "peak MiB ours / static / "
              "default", "macro B/edge", "agree"]
    lines = []
    for row in rows:
        ours, icl, default = row["ours"], row["icl"], row["default"]
        peaks = " / ".join("-" if r is None or r.get("peak_rss_MiB") is None
                           else f"{r['peak_rss_MiB']:.0f}" for r in (ours, icl, default))
        lines.append([
            row["label"], describe_size(row["size"]), str(ours.get("rounds", 1)),
            format_time(time_ns(ours)), f"{ours.get('cpu_ms', float('nan')):.3g}",
            format_time(time_ns(icl)) if icl else "-",
            f"{icl['cpu_ms']:.3g}" if icl and "cpu_ms" in icl else "-",
            ratio_text(ours, icl),
            format_time(time_ns(default)) if default else "-",
            f"{default['cpu_ms']:.3g}" if default and "cpu_ms" in default else "-",
            ratio_text(ours, default), peaks,
            "-" if ours.get("macro_bytes_per_edge") is None
            else f"{ours['macro_bytes_per_edge']:.0f}",
            {None: "-", True: "yes", False: "NO"}[row["agree"]],
        ])
    write_table(header, lines, out, markdown)


def whole_targets(rows):
    """(description, measured text, met or None when not measured) of the whole jobs."""
    result = []

    def row_of(label_prefix, size):
        for row in rows:
            if row["label"].startswith(label_prefix) and row["size"] == size:
                return row
        return None

    def ratio_target(description, prefix, size, limit):
        row = row_of(prefix, size)
        if row is None or row["icl"] is None:
            result.append((description, "not measured in this run", None))
            return
        ratio = time_ns(row["ours"]) / time_ns(row["icl"])
        text = f"ratio {ratio:.2f} (limit {limit})"
        if row["ours"].get("cpu_ms") and row["icl"].get("cpu_ms"):
            text += f"; CPU time ratio {row['ours']['cpu_ms'] / row['icl']['cpu_ms']:.2f}"
        if row["default"]:
            text += f"; against ICL's default intervals {ratio_text(row['ours'], row['default'])}"
        result.append((description, text, ratio <= limit))

    w1 = "N:100000/curves:1000"
    ratio_target("W1 whole job at most 0.9 x Boost.ICL, static intervals (N=100000)", "W1", w1,
                 0.9)
    for k in ("100000", "1000000"):
        ratio_target(f"W2 whole job at most 1.2 x Boost.ICL, static intervals (K={k})", "W2",
                     f"K:{k}", 1.2)
    ratio_target("W3 whole job at most 0.7 x Boost.ICL, static intervals (N=100000)", "W3", w1,
                 0.7)
    row = row_of("W1", w1)
    if row is None or row["icl"] is None:
        result.append(("W1 whole job peak memory at most Boost.ICL's", "not measured", None))
        result.append(("W1 macro information at most 120 bytes per edge", "not measured", None))
    else:
        ours, icl = row["ours"]["peak_rss_MiB"], row["icl"]["peak_rss_MiB"]
        result.append(("W1 whole job peak memory at most Boost.ICL's (static intervals)",
                       f"{ours:.0f} MiB against {icl:.0f} MiB", ours <= icl))
        macro = row["ours"].get("macro_bytes_per_edge")
        result.append(("W1 macro information at most 120 bytes per edge",
                       f"{macro:.0f} bytes", macro <= 120))
    return result


def print_baseline_table(runs, baseline_runs, out=sys.stdout, markdown=False):
    header = ["benchmark", "size", "before", "after", "after / before", "CPU ms before",
              "after", "peak MiB before / after", "macro B/edge before / after"]
    lines = []
    for (family, size), entry in sorted(runs.items(), key=lambda item: (item[0][0],
                                                                          size_key(item[0][1]))):
        before = baseline_runs.get((family, size))
        if before is None or entry["median"] is None or before["median"] is None:
            continue
        old, new = before["median"], entry["median"]

        def pair(key, digits=0):
            values = [r.get(key) for r in (old, new)]
            return " / ".join("-" if v is None else f"{v:.{digits}f}" for v in values)

        lines.append([
            family, describe_size(size), format_time(time_ns(old)), format_time(time_ns(new)),
            f"{time_ns(new) / time_ns(old):.2f}",
            "-" if old.get("cpu_ms") is None else f"{old['cpu_ms']:.3g}",
            "-" if new.get("cpu_ms") is None else f"{new['cpu_ms']:.3g}",
            pair("peak_rss_MiB"), pair("macro_bytes_per_edge"),
        ])
    write_table(header, lines, out, markdown)


def write_table(header, lines, out, markdown):
    if markdown:
        out.write("| " + " | ".join(header) + " |\n")
        out.write("|" + "|".join("---" for _ in header) + "|\n")
        for line in lines:
            out.write("| " + " | ".join(line) + " |\n")
        return
    widths = [max(len(h), *(len(line[i]) for line in lines)) if lines else len(h)
              for i, h in enumerate(header)]
    out.write("  ".join(h.ljust(w) for h, w in zip(header, widths)) + "\n")
    out.write("  ".join("-" * w for w in widths) + "\n")
    for line in lines:
        out.write("  ".join(cell.ljust(w) for cell, w in zip(line, widths)) + "\n")


def print_table(rows, others, machine, context, out=sys.stdout, markdown=False):
    header = ["operation", "size", "median", "per item", "ICL median", "ratio", "CPU ms",
              "CPU ratio", "peak MiB (ICL)", "macro B/edge", "agree"]
    lines = []
    for row in rows:
        per = "-" if row["per_item_ns"] is None else f"{format_time(row['per_item_ns'])}/{row['unit']}"
        peak = "-" if row["peak_mib"] is None else f"{row['peak_mib']:.0f}"
        if row["icl_peak_mib"] is not None:
            peak += f" ({row['icl_peak_mib']:.0f})"
        lines.append([
            row["label"], describe_size(row["size"]),
            format_time(row["time_ns"]) if row["family"] != "process_baseline" else "-",
            per if row["family"] != "process_baseline" else "-",
            format_time(row["icl_ns"]),
            "-" if row["ratio"] is None else f"{row['ratio']:.2f}",
            "-" if row["cpu_ms"] is None else f"{row['cpu_ms']:.3g}",
            "-" if row["cpu_ratio"] is None else f"{row['cpu_ratio']:.2f}",
            peak,
            "-" if row["macro_bytes"] is None else f"{row['macro_bytes']:.0f}",
            {None: "-", True: "yes", False: "NO"}[row["agree"]],
        ])
    if markdown:
        write_table(header, lines, out, True)
        return
    out.write(f"Machine: {machine}\n")
    load = context.get("load_avg")
    if load:
        out.write(f"Load average when the last benchmark started: "
                  f"{', '.join(f'{x:.2f}' for x in load)}\n")
    out.write("Medians over repetitions of the measured region only (wall time); ratio = ours / "
              "Boost.ICL. CPU ms: thread CPU time of the region, median; CPU ratio likewise.\n\n")
    write_table(header, lines, out, False)
    if others:
        out.write("\nOther benchmarks in the binary:\n")
        for family, size, ns, cpu, unit in others:
            out.write(f"  {family} {describe_size(size)}: median {format_time(ns)}\n")


def plot(rows, png_path, run_dir):
    velk = sorted(((int(r["size"].split(":")[1]), r) for r in rows if r["family"] == "W2_insert_velk"))
    if not velk:
        return False
    data_path = os.path.join(run_dir, "w2-scaling.dat")

    def cells(k, median_ns, spread_ns, cpu_ms):
        if median_ns is None:
            return "NaN NaN NaN NaN"
        low, high = spread_ns or (median_ns, median_ns)
        cpu = 1e6 * cpu_ms / k if cpu_ms else float("nan")
        return f"{median_ns / k:.6g} {low / k:.6g} {high / k:.6g} {cpu:.6g}"

    with open(data_path, "w") as handle:
        handle.write("# K | velk: median min max cpu | ICL: median min max cpu (ns per input edge)\n")
        for k, row in velk:
            handle.write(f"{k} {cells(k, row['time_ns'], row['spread'], row['cpu_ms'])} "
                         f"{cells(k, row['icl_ns'], row.get('icl_spread'), row.get('icl_cpu_ms'))}\n")
    script = f"""
set terminal pngcairo size 900,560 font ',11' noenhanced
set output '{png_path}'
set title 'W2: one monotone curve of K edges into a one-edge background [0, 1]'
set xlabel 'K (input edges)'
set ylabel 'time per input edge (ns, log scale)'
set logscale xy
set xrange [600:1.6e6]
set grid
set key top left
set format x '1e%L'
plot '{data_path}' using 1:2:3:4 with yerrorlines lw 2 pt 7 lc rgb '#7b2cbf' title 'velk BackgroundLineInserter, wall (median, min-max)', \\
     '' using 1:5 with linespoints lw 1 dt 2 pt 6 lc rgb '#7b2cbf' title 'velk, thread CPU time (median)', \\
     '' using 1:6:7:8 with yerrorlines lw 2 pt 5 lc rgb '#1b8a5a' title 'Boost.ICL interval_map, wall (median, min-max)', \\
     '' using 1:9 with linespoints lw 1 dt 2 pt 4 lc rgb '#1b8a5a' title 'Boost.ICL, thread CPU time (median)'
"""
    with tempfile.NamedTemporaryFile("w", suffix=".gp", delete=False) as handle:
        handle.write(script)
        script_path = handle.name
    try:
        subprocess.run(["gnuplot", script_path], check=True)
    finally:
        os.unlink(script_path)
    return True


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("run_dir")
    parser.add_argument("--plot", help="write the W2 scaling plot to this PNG")
    parser.add_argument("--markdown", help="write the table as Markdown to this file")
    parser.add_argument("--baseline", help="results of another build, run in turn with these")
    args = parser.parse_args()

    runs, context = load_runs(args.run_dir)
    if not runs:
        sys.exit(f"summarize: no benchmark results in {args.run_dir}")
    rows = build_rows(runs)
    others = other_rows(runs)
    machine = machine_text(args.run_dir, context)

    print_table(rows, others, machine, context)

    print("\nAgreement with Boost.ICL (same counts and content checksum):")
    disagreements = 0
    for row in rows:
        if row["agree"] is None:
            continue
        status = "agree" if row["agree"] else "DISAGREE: " + "; ".join(row["mismatch"])
        disagreements += 0 if row["agree"] else 1
        counts = ", ".join(f"{c}={row['median'][c]:.0f}" for c in ("intervals", "pairs", "pieces")
                           if c in row["median"])
        print(f"  {row['label']} ({describe_size(row['size'])}): {status} ({counts})")

    wholes = whole_rows(runs)
    if wholes:
        print("\nWhole jobs, each contender in a process of its own, rounds in turn; medians over "
              "the rounds; ratio = ours / ICL, wall time (CPU time in brackets):\n")
        print_whole_table(wholes)
        for row in wholes:
            if row["agree"] is False:
                disagreements += 1
                print(f"  {row['label']} ({describe_size(row['size'])}): DISAGREE: "
                      + "; ".join(row["mismatch"]))
    baseline_runs = None
    if args.baseline:
        baseline_runs, _ = load_runs(args.baseline)
        print(f"\nBefore ({args.baseline}) and after, each benchmark of both builds run in turn:\n")
        print_baseline_table(runs, baseline_runs)

    print("\nThroughput:")
    for row in rows:
        if row["family"] in ("W1_insert_clean_velk", "W3_path_query_velk", "W4_split_collapse_velk") \
                and row["per_item_ns"]:
            print(f"  {row['label']} ({describe_size(row['size'])}): "
                  f"{1e9 / row['per_item_ns']:,.0f} {plural(row['unit'])} per second")

    print("\nTargets:")
    for description, measured, met in targets(rows) + whole_targets(wholes):
        mark = {None: "n/a ", True: "MET ", False: "MISS"}[met]
        print(f"  [{mark}] {description}: {measured}")

    if args.plot:
        if plot(rows, os.path.abspath(args.plot), args.run_dir):
            print(f"\nScaling plot written to {args.plot}")
    if args.markdown:
        with open(args.markdown, "w") as handle:
            handle.write(f"Machine: {machine}\n\n")
            print_table(rows, [], machine, context, out=handle, markdown=True)
            if wholes:
                handle.write("\nWhole jobs (medians over the rounds; ratio = ours / ICL, wall "
                             "time, CPU time in brackets):\n\n")
                print_whole_table(wholes, out=handle, markdown=True)
            if baseline_runs is not None:
                handle.write("\nBefore and after (each benchmark of both builds in turn):\n\n")
                print_baseline_table(runs, baseline_runs, out=handle, markdown=True)
            handle.write("\n")
            for description, measured, met in targets(rows) + whole_targets(wholes):
                mark = {None: "not measured", True: "met", False: "missed"}[met]
                handle.write(f"- {description}: {measured}, **{mark}**\n")
        print(f"Markdown table written to {args.markdown}")
    sys.exit(1 if disagreements else 0)


if __name__ == "__main__":
    main()
