"""vbl.overlay against the command-line tool's overlay on the same tracks, each run in a
fresh process, alternately: best wall time of N with its CPU time, and peak memory (the
tool's peak RSS; for Python the peak RSS the call added above the process before it, and
the whole process's). Also checks that the DataFrame equals the tool's TSV.

    python3 bench/python/overlay.py --build-dir build [--runs 3] FILE...
    (default files: Debian's bedtools-test chr1 tracks)
"""

import argparse
import json
import os
import resource
import subprocess
import sys
import tempfile

DEFAULT = ["/usr/share/bedtools/data/aluY.chr1.bed.gz",
           "/usr/share/bedtools/data/refseq.chr1.exons.bed.gz",
           "/usr/share/bedtools/data/simpleRepeats.chr1.bed.gz",
           "/usr/share/bedtools/data/gerp.chr1.bed.gz"]

JOB = r"""
import json, resource, sys, time
import pandas as pd
import velk_background_line as vbl
files, out = sys.argv[1:-1], sys.argv[-1]
def rss():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * 4096
before = rss()
wall, cpu = time.perf_counter(), time.process_time()
frame = vbl.overlay(files)
wall, cpu = time.perf_counter() - wall, time.process_time() - cpu
peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024
frame.to_pickle(out)
print(json.dumps({"wall": wall, "cpu": cpu, "added": peak - before, "peak": peak,
                  "rows": len(frame)}))
"""


def tool_run(tool, files, out):
    start = os.times()
    wall = __import__("time").perf_counter()
    subprocess.run([tool, "overlay", *files, "-o", out, "--quiet"], check=True)
    wall = __import__("time").perf_counter() - wall
    end = os.times()
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (end.children_user - start.children_user) + (end.children_system - start.children_system)
    return {"wall": wall, "cpu": cpu, "peak": usage.ru_maxrss * 1024}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", default="build")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("files", nargs="*", default=DEFAULT)
    args = parser.parse_args()
    tool = os.path.join(args.build_dir, "bin", "velk-background-line")
    env = dict(os.environ, PYTHONPATH=os.path.join(args.build_dir, "python"))
    work = tempfile.mkdtemp()
    tsv, pickled = os.path.join(work, "out.tsv"), os.path.join(work, "frame.pkl")
    tools, pythons = [], []
    for _ in range(args.runs):
        # Each tool run in a process of its own, so that its peak RSS is its own.
        out = subprocess.run([sys.executable, __file__, "--tool-once", tool, tsv, *args.files],
                             check=True, capture_output=True, text=True).stdout
        tools.append(json.loads(out))
        out = subprocess.run([sys.executable, "-c", JOB, *args.files, pickled], env=env,
                             check=True, capture_output=True, text=True).stdout
        pythons.append(json.loads(out))
    import pandas as pd
    expected = pd.read_csv(tsv, sep="\t", header=None,
                           names=["seq", "start", "end", "count", "names"])
    frame = pd.read_pickle(pickled)
    same = frame[expected.columns].astype({"seq": str}).equals(expected)
    best_tool = min(tools, key=lambda r: r["wall"])
    best_python = min(pythons, key=lambda r: r["wall"])
    print(f"load average {os.getloadavg()[0]:.2f}; {len(expected)} rows; DataFrame equals the "
          f"tool's TSV: {same}")
    print(f"tool overlay:  {best_tool['wall']:.3f} s wall, {best_tool['cpu']:.3f} s CPU, "
          f"peak {best_tool['peak'] / 2**20:.0f} MiB")
    print(f"vbl.overlay:   {best_python['wall']:.3f} s wall, {best_python['cpu']:.3f} s CPU, "
          f"added {best_python['added'] / 2**20:.0f} MiB (process peak "
          f"{best_python['peak'] / 2**20:.0f} MiB)")
    print(f"ratio: time {best_python['wall'] / best_tool['wall']:.2f}, memory (added / tool "
          f"peak) {best_python['added'] / best_tool['peak']:.2f}")
    sys.exit(0 if same else 1)


if __name__ == "__main__":
    if len(sys.argv) > 1 and sys.argv[1] == "--tool-once":
        print(json.dumps(tool_run(sys.argv[2], sys.argv[4:], sys.argv[3])))
    else:
        main()
