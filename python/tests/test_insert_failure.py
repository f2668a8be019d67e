"""A failed insert changes nothing: memory genuinely runs out part-way through an insert (in a
child process whose address space is limited), and the line must be as before, the name free."""
import json
import subprocess
import sys
import textwrap

# The child: a line holding one curve, then a curve of many edges over one stretch, inserted
# with the address space limited to what the part before the edges' tagging needs plus a
# share of the rest (measured by a first child that runs the same insert unlimited).
CHILD = textwrap.dedent(
    """
    import json, logging, resource, sys
    import numpy as np
    import velk_background_line as vbl

    def vm_size():
        with open("/proc/self/status") as status:
            for line in status:
                if line.startswith("VmSize:"):
                    return int(line.split()[1]) * 1024

    def peak():
        with open("/proc/self/status") as status:
            for line in status:
                if line.startswith("VmPeak:"):
                    return int(line.split()[1]) * 1024

    def state(line):
        return (line.points.tobytes(), line.edges.tobytes(), line.detached.tobytes(),
                [line.macro_vertices(v) for v in range(len(line.points))],
                [line.macro_elements(e) for e in range(len(line.edges))], line.curves)

    started = []
    class Started(logging.Handler):
        def emit(self, record):
            if "Insertion of curve big" in record.getMessage():
                started.append(record.getMessage())
    logger = logging.getLogger("velk_background_line")
    logger.setLevel(logging.INFO)
    logger.addHandler(Started())
    logger.propagate = False

    count = 400_000
    line = vbl.BackgroundLine([0.0, 1.0, 2.0, 3.0])
    line.insert("first", [0.5, 2.5])
    points = np.array([0.25, 1.75])
    edges = np.zeros((count, 2), dtype=np.int64)
    edges[:, 1] = 1
    before = state(line)
    base = vm_size()
    share = float(sys.argv[1])
    if share > 0:
        limit = base + int(share)
        resource.setrlimit(resource.RLIMIT_AS, (limit, resource.getrlimit(resource.RLIMIT_AS)[1]))
    try:
        line.insert("big", points, edges)
        outcome = "inserted"
    except MemoryError:
        outcome = "MemoryError"
    resource.setrlimit(resource.RLIMIT_AS, (resource.RLIM_INFINITY, resource.RLIM_INFINITY))
    report = {"outcome": outcome, "needed": peak() - base, "started": len(started) > 0}
    if outcome == "MemoryError":
        report["unchanged"] = state(line) == before
        report["curves"] = line.curves
        line.insert("big", points, edges[:3])  # the name is free
        report["again"] = line.curves
        report["path"] = line.path("big", 0).tolist()
    print(json.dumps(report))
    """
)


def run_child(share):
    done = subprocess.run([sys.executable, "-c", CHILD, str(share)], capture_output=True,
                          text=True, timeout=300)
    assert done.returncode == 0, done.stderr
    return json.loads(done.stdout.strip().splitlines()[-1])


def test_an_insert_that_runs_out_of_memory_leaves_the_line_as_it_was():
    unlimited = run_child(0)
    assert unlimited["outcome"] == "inserted"
    # Three quarters of what the insert needed: the edges are built and their tagging has
    # begun (the library's progress line says so) when an allocation fails.
    limited = run_child(0.75 * unlimited["needed"])
    assert limited["outcome"] == "MemoryError"
    assert limited["started"], "memory ran out before the library started inserting"
    assert limited["unchanged"]
    assert limited["curves"] == ["first"]
    assert limited["again"] == ["first", "big"]
    assert len(limited["path"]) == 3  # 0.25 to 0.5, to 1, to 1.75
