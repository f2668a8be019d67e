import copy
import os
import pickle
import signal
import subprocess
import sys
import textwrap
import time

import numpy as np
import pytest

import velk_background_line as vbl


def random_history(seed):
    """A line after a seeded run of insertions, removals and cleans."""
    rng = np.random.default_rng(seed)
    line = vbl.BackgroundLine(np.arange(0.0, 21.0), tolerance=1e-6)
    names = []
    for step in range(12):
        action = rng.integers(3) if names else 0
        if action == 0:
            name = f"c{step}"
            points = np.sort(rng.uniform(0, 20, rng.integers(2, 6)))
            only = None if rng.integers(2) else [0]
            line.insert(name, points, only=only)
            names.append(name)
        elif action == 1:
            line.remove(names.pop(rng.integers(len(names))))
        else:
            line.clean()
    return line


@pytest.mark.parametrize("seed", range(6))
def test_copies_and_pickles_give_an_equal_independent_line(seed):
    line = random_history(seed)
    for other in (copy.copy(line), copy.deepcopy(line), pickle.loads(pickle.dumps(line))):
        assert other == line and other is not line
        np.testing.assert_array_equal(other.points, line.points)
        assert other.curves == line.curves
        for edge in range(len(line.edges)):
            assert other.macro_elements(edge) == line.macro_elements(edge)
        other.insert("new", [0.5, 19.5])
        assert other != line and "new" not in line.curves


def test_lines_that_differ_are_unequal():
    a, b = vbl.BackgroundLine([0.0, 10.0]), vbl.BackgroundLine([0.0, 10.0])
    assert a == b and a != vbl.BackgroundLine([0.0, 10.0], name="other") and a != "line"
    a.insert("x", [2.0, 3.0])
    b.insert("y", [2.0, 3.0])  # same points and edges, another curve
    assert a != b


def test_a_bad_pickle_state_is_refused():
    line = vbl.BackgroundLine([0.0, 1.0])
    state = line.__getstate__()
    fresh = vbl.BackgroundLine.__new__(vbl.BackgroundLine)
    with pytest.raises(ValueError, match="not a pickled BackgroundLine"):
        fresh.__setstate__((99,) + state[1:])


@pytest.mark.parametrize("a, b", [(-np.inf, np.inf), (3.2, 7.9), (5.0, 5.0), (20.0, 20.0)])
def test_columns_agree_with_the_calls_one_by_one(a, b):
    line = random_history(7)
    found = line.overlapping_columns(a, b)
    one_by_one = line.overlapping(a, b)
    assert [(int(e), s, t, found.carried(i)) for i, (e, s, t) in
            enumerate(zip(found.edges, found.starts, found.ends))] == one_by_one

    every = line.macro_element_columns()
    live = np.flatnonzero(~line.detached)
    np.testing.assert_array_equal(every.edges, live)
    assert [every.carried(i) for i in range(len(every))] == [line.macro_elements(e) for e in live]
    table = every.to_pandas()
    pairs = table[table.element >= 0]
    assert len(pairs) == len(every.curve) and set(table.edge) == set(live.tolist())
    assert list(zip(pairs.curve.astype(str), pairs.element)) == [
        pair for e in live for pair in line.macro_elements(e)]

    vertices = line.macro_vertex_columns([3, 0])
    assert [vertices.carried(i) for i in range(2)] == [line.macro_vertices(3),
                                                        line.macro_vertices(0)]
    assert vertices.to_pandas().coordinate.iloc[0] == line.points[3]


INTERRUPTED = textwrap.dedent("""
    import sys, time
    import numpy as np
    import velk_background_line as vbl

    line = vbl.BackgroundLine([0.0, 1.0])
    line.insert("first", [0.25, 0.75])
    before = (line.points.copy(), line.edges.copy(), line.curves, line.path("first", 0).tolist())
    points = np.linspace(0.0, 1.0, 3_000_001)
    print("inserting", flush=True)
    try:
        line.insert("long", points)
        print("finished")
    except KeyboardInterrupt:
        stopped = time.monotonic()
        same = (np.array_equal(line.points, before[0]) and np.array_equal(line.edges, before[1])
                and line.curves == before[2] and line.path("first", 0).tolist() == before[3])
        print("interrupted", "same" if same else "changed", repr(stopped), flush=True)
        line.insert("long", points[:1000])  # the name is free again
        print("usable", flush=True)
""")


def test_ctrl_c_stops_a_long_insert_and_leaves_the_line_as_it_was():
    child = subprocess.Popen([sys.executable, "-c", INTERRUPTED], stdout=subprocess.PIPE,
                             text=True, env=dict(os.environ))
    assert child.stdout.readline() == "inserting\n"
    time.sleep(1.0)  # well into the insertion, which takes several seconds
    child.send_signal(signal.SIGINT)
    out, _ = child.communicate(timeout=60)
    words = out.split()
    assert words[:2] == ["interrupted", "same"] and words[-1] == "usable", out
