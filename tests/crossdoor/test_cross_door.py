"""One job through every door: the command-line tool, the C++ classes (through a small helper
program) and the Python module must give the same answers: the tolerance in effect, the
background warnings, where each input point lands, and the overlay's rows."""

import json
import logging
import os
import re
import subprocess

import pytest
import velk_background_line as vbl

TOOL = os.environ["VELK_TOOL"]
HELPER = os.environ["VELK_CROSS_DOOR_HELPER"]

# (background, tolerance, curves): a folded background, points near the tolerance asked.
JOBS = [
    ([30.0, 0.0, 20.0, 10.0], 1e-8, {"a": [5.0, 25.0], "b": [12.0, 12.000000005]}),
    ([0.0, 10.0, 20.0, 30.0], 8.0, {"near": [17.0, 25.5, 9.5, 4.0]}),
    ([0.0, 0.1, 0.3, 1000.3], 1e-3, {"a": [0.3006, 700.7], "b": [0.3009, 0.2995]}),
    ([0.0, 0.0, 1.0, 2.0], 1e-8, {"a": [0.5, 1.5]}),
]


def tool_answer(tmp_path, background, tolerance, curves):
    job = tmp_path / "job.json"
    job.write_text(json.dumps({
        "background": {"points": background},
        "curves": [{"name": n, "points": p} for n, p in curves.items()],
    }))
    result = tmp_path / "result.json"
    run = subprocess.run([TOOL, "insert", str(job), "-o", str(result), "--tolerance",
                          repr(tolerance)], capture_output=True, text=True, check=True)
    document = json.loads(result.read_text())
    x_of = {}
    for vertex in document["background"]["vertices"]:
        for macro in vertex["macro_vertices"]:
            x_of.setdefault((macro["curve"], macro["vertex"]), vertex["x"])
    landing = {n: [x_of[(n, v)] for v in range(len(p))] for n, p in curves.items()}
    warnings = [line[len("[warn] "):] for line in run.stderr.splitlines()
                if line.startswith("[warn] background")]
    said = re.search(r"points within (\S+) of each other snap together", run.stderr)
    in_effect = float(said.group(1)) if said else 1e-8
    return {"tolerance": in_effect, "warnings": warnings, "landing": landing}


def helper_answer(tmp_path, background, tolerance, curves):
    job = tmp_path / "helper.json"
    job.write_text(json.dumps({
        "background": {"points": background},
        "curves": [{"name": n, "points": p} for n, p in curves.items()],
    }))
    run = subprocess.run([HELPER, "insert", str(job), repr(tolerance)], capture_output=True,
                         text=True, check=True)
    return json.loads(run.stdout)


def python_answer(caplog, background, tolerance, curves):
    with caplog.at_level(logging.WARNING, logger="velk_background_line"):
        caplog.clear()
        line = vbl.BackgroundLine(background, tolerance=tolerance)
        warnings = [r.getMessage() for r in caplog.records
                    if r.getMessage().startswith("background")]
    landing = {}
    for name, points in curves.items():
        line.insert(name, points)
        landing[name] = [float(line.points[line.vertex_of(name, v)]) for v in range(len(points))]
    return {"tolerance": line.tolerance, "warnings": warnings, "landing": landing}


@pytest.mark.parametrize("background,tolerance,curves", JOBS)
def test_insert_answers_agree(tmp_path, caplog, background, tolerance, curves):
    tool = tool_answer(tmp_path, background, tolerance, curves)
    helper = helper_answer(tmp_path, background, tolerance, curves)
    python = python_answer(caplog, background, tolerance, curves)
    assert helper == python
    assert tool["warnings"] == helper["warnings"]
    assert tool["landing"] == helper["landing"]
    # The tool prints the tolerance in its shortest form: it reads back to the same double.
    assert tool["tolerance"] == helper["tolerance"]
    assert tolerance / 2 < helper["tolerance"] <= tolerance


def test_overlay_rows_agree_with_zero_length_rows(tmp_path):
    a = tmp_path / "a.bed"
    b = tmp_path / "b.bed"
    a.write_text("chr1\t10\t10\nchr1\t5\t20\nchr2\t0\t0\n")
    b.write_text("chr1\t0\t0\nchr1\t15\t15\nchr2\t3\t7\nchr1\t30\t31\n")
    tool = subprocess.run([TOOL, "overlay", str(a), str(b), "--quiet"], capture_output=True,
                          text=True, check=True).stdout
    helper = subprocess.run([HELPER, "overlay", str(a), str(b)], capture_output=True, text=True,
                            check=True).stdout
    assert tool == helper
    assert "chr1\t0\t1\t1\tb\t0\t1\n" in tool  # the zero-length row at 0 covers [0, 1]
