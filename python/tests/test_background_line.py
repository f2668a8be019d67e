import threading

import numpy as np
import pytest

import velk_background_line as vbl


def test_the_example_gives_its_known_answer(example):
    line, status = example
    assert status == ["inserted", "inserted"]
    assert line.points.dtype == np.float64 and line.points.shape == (7,)
    np.testing.assert_array_equal(line.points, [0, 10, 20, 30, 5, 15, 25])
    assert line.edges.dtype == np.uint32
    assert line.edges.tolist() == [[0, 4], [4, 1], [1, 5], [5, 2], [2, 6], [6, 3]]
    assert not line.detached.any()
    assert line.macro_vertices(5) == [("well-1", 1), ("well-1", 1)]
    assert line.macro_elements(3) == [("well-1", 1)]
    assert line.vertex_of("well-1", 0) == 4
    path = line.path("well-1", 0)
    assert path.dtype == np.uint32 and path.tolist() == [1, 2]
    assert line.overlapping(12.0, 18.0) == [
        (2, 10.0, 15.0, [("well-1", 0)]),
        (3, 15.0, 20.0, [("well-1", 1)]),
    ]
    assert line.curves == ["well-1"]
    assert repr(line) == (
        "<velk_background_line.BackgroundLine 'background': 7 vertices, 6 live edges, 1 curve>"
    )


def test_edges_only_and_none_answers():
    line = vbl.BackgroundLine(
        [0, 40, 10, 30, 20], edges=np.array([[0, 2], [2, 4], [4, 3], [3, 1]]), name="section"
    )
    status = line.insert("well-2", [12.5, 27.5, 38], edges=[[2, 1], [1, 0]], only=[1])
    assert status == ["inserted"]
    assert line.name == "section"
    assert line.vertex_of("well-2", 2) is None
    assert line.path("well-2", 0) is None
    assert line.detached.sum() == 2  # the two edges split by 12.5 and 27.5
    chain = line.path("well-2", 1)
    ends = line.edges[chain]
    assert np.abs(line.points[ends[:, 1]] - line.points[ends[:, 0]]).sum() == 15.0
    assert line.points[line.vertex_of("well-2", 1)] == 27.5


def test_removing_a_curve_gives_back_the_background(example):
    line, _ = example
    assert line.remove("well-1") == {
        "macro_vertices_removed": 4,  # input vertex 1 was placed twice
        "macro_elements_removed": 4,
        "vertices_merged": 3,
    }
    line.clean()
    np.testing.assert_array_equal(line.points, [0, 10, 20, 30])
    assert line.curves == [] and line.macro_elements(0) == []
    assert line.insert("well-1", [5.0, 15.0]) == ["inserted"]


def test_tolerance_is_given_in_the_callers_units():
    line = vbl.BackgroundLine([0.0, 0.1, 1000.3], tolerance=1e-3)
    # The largest tolerance in effect not above the one asked: 1e-8 * 2**16 = 6.6e-4.
    assert line.scale_exponent == -16
    assert line.tolerance == 1e-8 * 2**16
    line.insert("a", [0.3, 700.7])
    line.insert("b", [0.3006, 700.7])  # within the tolerance of a's first vertex
    line.insert("c", [0.3009, 700.7])  # within the one asked, but not the one in effect
    assert line.vertex_of("b", 0) == line.vertex_of("a", 0)
    assert line.vertex_of("c", 0) != line.vertex_of("a", 0)
    assert line.points[line.vertex_of("a", 0)] == 0.3  # given back digit for digit
    assert line.points[1] == 0.1


def test_a_long_numpy_curve_goes_in_with_a_path_of_any_length():
    # 10^5 edges over the single background edge [0, 1], then one path query along a chain
    # of every one of them.
    count = 100_000
    points = np.linspace(0.0, 1.0, count + 1)
    line = vbl.BackgroundLine([0.0, 1.0])
    status = line.insert("long", points)
    assert len(status) == count and set(status) == {"inserted"}
    line.insert("span", [0.0, 1.0])
    line.clean()
    assert line.edges.shape == (count, 2)
    np.testing.assert_array_equal(np.sort(line.points), points)
    assert len(line.path("span", 0)) == count
    assert line.overlapping(0.5, 0.5)[0][3] == [("long", count // 2 - 1), ("span", 0)]


def test_arrays_are_read_once_per_state_and_read_only(example):
    line, _ = example
    points, edges = line.points, line.edges
    assert line.points is points and line.edges is edges and len(line) == 6
    with pytest.raises(ValueError):
        points[:] = -1
    line.insert("well-2", [12.0, 18.0])
    assert line.points is not points and len(line.points) == 9 and len(points) == 7
    assert repr(line).endswith("9 vertices, 8 live edges, 2 split (clean() removes them), 2 curves>")


def test_insertion_releases_the_gil():
    # A Python thread keeps counting while a long insertion runs: it could not if the
    # insertion held the GIL.
    line = vbl.BackgroundLine([0.0, 1.0])
    points = np.linspace(0.0, 1.0, 300_001)
    progress = [0]
    done = threading.Event()

    def count():
        while not done.is_set():
            progress[0] += 1

    counter = threading.Thread(target=count)
    counter.start()
    try:
        before = progress[0]
        line.insert("c", points)
        during = progress[0] - before
    finally:
        done.set()
        counter.join()
    assert during > 1000


def test_calls_from_several_threads_run_one_at_a_time():
    line = vbl.BackgroundLine(np.arange(0.0, 101.0))
    errors = []

    def insert(k):
        try:
            for i in range(10):
                start = (k * 10 + i) % 90 + 0.25
                line.insert(f"c{k}-{i}", [start, start + 5.5])
                line.overlapping(start, start + 1)
        except Exception as error:  # pragma: no cover - reported below
            errors.append(error)

    threads = [threading.Thread(target=insert, args=(k,)) for k in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert errors == []
    assert len(line.curves) == 40
    for name in line.curves:
        assert len(line.path(name, 0)) >= 6


# Points at the tolerance's edge: (background, curves, where each input point lands, the
# number of edges in each curve's chain). A point within 1e-8 of vertices lands on the
# nearest, exactly on a vertex on that one; otherwise it splits the edge that holds it.
TOLERANCE_EDGE = [
    ([0.0, 100.0], [("a", [22.00000001, 30.0]), ("b", [22.00000002, 24.0])],
     {"a": [22.00000001, 30.0], "b": [22.00000002, 24.0]}, {"a": 3, "b": 1}),
    ([0.0, 50.0, 100.0], [("a", [60.0, 49.99999999]), ("b", [55.0, 50.0])],
     {"a": [60.0, 49.99999999], "b": [55.0, 50.0]}, {"a": 3, "b": 1}),
    ([0.0, 1.0], [("a", [1 - 1.5e-8, 1 - 0.6e-8])], {"a": [1 - 1.5e-8, 1.0]}, {"a": 1}),
]


@pytest.mark.parametrize("background, curves, landed, chain_lengths", TOLERANCE_EDGE)
def test_points_at_the_tolerance_edge_land_by_the_rule(background, curves, landed,
                                                       chain_lengths):
    line = vbl.BackgroundLine(background)
    for name, points in curves:
        assert line.insert(name, points) == ["inserted"]
    line.clean()
    points, edges = line.points, line.edges
    # One chain, in order: every edge runs from a smaller to a larger coordinate.
    assert len(edges) == len(points) - 1
    assert all(points[a] < points[b] for a, b in edges)
    for name, _ in curves:
        assert [points[line.vertex_of(name, v)] for v in (0, 1)] == landed[name]
        assert len(line.path(name, 0)) == chain_lengths[name]
