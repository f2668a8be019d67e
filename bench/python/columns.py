"""Time and memory of the module's bulk calls, each job in a fresh process.

    python3 bench/python/columns.py --build-dir build [--edges 3000000] [--points 1000000]

- overlapping: a background of E unit edges carrying two curves, `overlapping_columns` and
  the per-edge `overlapping` over the whole line;
- macro_elements: `macro_element_columns()` (every live edge at once) on the same line;
- insert: one curve of P points into a background of P edges (peak RSS delta per point).
Prints wall and CPU time and the peak resident memory the call added.
"""

import argparse
import json
import os
import subprocess
import sys

JOB = r"""
import json, resource, sys, time
import numpy as np
import velk_background_line as vbl

job, edges, points = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])

def peak():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024

def rss():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * 4096

if job == "insert":
    line = vbl.BackgroundLine(np.arange(points + 1, dtype=float))
    curve = np.arange(points, dtype=float) + 0.5
else:
    line = vbl.BackgroundLine(np.arange(edges + 1, dtype=float))
    line.insert("a", np.arange(0, edges + 1, 7, dtype=float))
    line.insert("b", np.arange(0, edges + 1, 5, dtype=float))
    line.clean()
before_peak, before = peak(), rss()
wall, cpu = time.perf_counter(), time.process_time()
if job == "insert":
    result = line.insert("c", curve)
elif job == "overlapping_columns":
    result = line.overlapping_columns(-np.inf, np.inf)
elif job == "overlapping_tuples":
    result = line.overlapping(-np.inf, np.inf)
elif job == "macro_element_columns":
    result = line.macro_element_columns()
elif job == "to_pandas":
    result = line.macro_element_columns().to_pandas()
wall, cpu = time.perf_counter() - wall, time.process_time() - cpu
added = max(peak() - before_peak, rss() - before)
print(json.dumps({"job": job, "wall": wall, "cpu": cpu, "added_bytes": added,
                  "edges": len(line.edges), "items": len(result)}))
"""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", default="build")
    parser.add_argument("--edges", type=int, default=3_000_000)
    parser.add_argument("--points", type=int, default=1_000_000)
    parser.add_argument("jobs", nargs="*", default=["overlapping_columns", "overlapping_tuples",
                                                    "macro_element_columns", "to_pandas", "insert"])
    args = parser.parse_args()
    env = dict(os.environ, PYTHONPATH=os.path.join(args.build_dir, "python"))
    print(f"{'job':24} {'wall s':>8} {'cpu s':>8} {'added MB':>9}  notes")
    for job in args.jobs:
        out = subprocess.run([sys.executable, "-c", JOB, job, str(args.edges), str(args.points)],
                             env=env, check=True, capture_output=True, text=True).stdout
        r = json.loads(out)
        note = f"{r['edges']} background edges, {r['items']} items"
        if job == "insert":
            note += f", {r['added_bytes'] / args.points:.0f} B per point"
        print(f"{job:24} {r['wall']:8.3f} {r['cpu']:8.3f} {r['added_bytes'] / 2**20:9.1f}  {note}")


if __name__ == "__main__":
    main()
