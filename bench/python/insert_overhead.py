"""The Python binding's overhead: one insert of a curve of N points (10^6 by default) into
the background [0, 1], from Python (BackgroundLine.insert on a numpy array) against the same
through the C++ class (velk_session_insert), each in a fresh process, alternating.

    python3 bench/python/insert_overhead.py --build-dir build-bench [--points N] [--repetitions R]
"""

import argparse
import os
import pathlib
import statistics
import subprocess
import sys
import tempfile

import numpy as np

PYTHON_SIDE = """
import sys, time
import numpy as np
import velk_background_line as vbl
points = np.fromfile(sys.argv[1], dtype=np.float64)
line = vbl.BackgroundLine([0.0, 1.0])
wall, cpu = time.perf_counter(), time.thread_time()
status = line.insert("curve", points)
cpu, wall = time.thread_time() - cpu, time.perf_counter() - wall
print(f"{wall:.6f} {cpu:.6f} {len(status)}")
"""


def curve(count, seed=20261209):
    """0, then count - 2 sorted uniform points, then 1; every gap wider than 2e-8, so that no
    two points snap together (as in the W2 workload)."""
    random = np.random.default_rng(seed)
    inner = np.sort(random.uniform(0.0, 1.0, count - 2))
    while True:
        points = np.concatenate(([0.0], inner, [1.0]))
        close = np.flatnonzero(np.diff(points) <= 2e-8)
        if close.size == 0:
            return points
        inner[np.clip(close, 0, inner.size - 1)] = random.uniform(0.0, 1.0, close.size)
        inner.sort()


def run(command, env=None):
    out = subprocess.run(command, check=True, capture_output=True, text=True, env=env).stdout
    wall, cpu, edges = out.split()
    return float(wall), float(cpu), int(edges)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", type=pathlib.Path, required=True)
    parser.add_argument("--points", type=int, default=1_000_000)
    parser.add_argument("--repetitions", type=int, default=5)
    args = parser.parse_args()

    program = args.build_dir / "bin" / "velk_session_insert"
    env = dict(os.environ, PYTHONPATH=str(args.build_dir / "python"))
    load_start = open("/proc/loadavg").read().split()[:3]
    cpp, python = [], []
    with tempfile.TemporaryDirectory() as scratch:
        path = pathlib.Path(scratch) / "points.f64"
        curve(args.points).tofile(path)
        for repetition in range(args.repetitions):
            # Alternating which side goes first spreads the machine's load over both.
            sides = [("cpp", [str(program), str(path)]),
                     ("python", [sys.executable, "-c", PYTHON_SIDE, str(path)])]
            if repetition % 2:
                sides.reverse()
            for side, command in sides:
                result = run(command, env)
                (cpp if side == "cpp" else python).append(result)
                print(f"  run {repetition + 1} {side:6s} wall {result[0]:.3f} s, "
                      f"cpu {result[1]:.3f} s, {result[2]} edges", flush=True)
    load_end = open("/proc/loadavg").read().split()[:3]

    def median(runs, field):
        return statistics.median(run[field] for run in runs)

    print()
    print(f"One insert of {args.points} points ({cpp[0][2]} edges) into [0, 1], "
          f"{args.repetitions} runs per side, medians:")
    print(f"  {'side':<28}{'wall s':>10}{'CPU s':>10}")
    print(f"  {'C++ BackgroundLineSession':<28}{median(cpp, 0):>10.3f}{median(cpp, 1):>10.3f}")
    print(f"  {'Python BackgroundLine':<28}{median(python, 0):>10.3f}{median(python, 1):>10.3f}")
    wall_overhead = median(python, 0) / median(cpp, 0) - 1
    cpu_overhead = median(python, 1) / median(cpp, 1) - 1
    print(f"  binding overhead: {100 * wall_overhead:+.1f} % wall, {100 * cpu_overhead:+.1f} % CPU"
          f" (target: under 10 %)")
    print(f"  load average: {' '.join(load_start)} at the start, {' '.join(load_end)} at the end")
    return 0 if wall_overhead < 0.10 or cpu_overhead < 0.10 else 1


if __name__ == "__main__":
    sys.exit(main())
