import math

import numpy as np
import pytest

import velk_background_line as vbl


def test_error_is_a_runtime_error():
    assert issubclass(vbl.Error, RuntimeError)
    assert not issubclass(vbl.Error, ValueError)


# (call on a fresh line holding curve "well" over [1, 2], exception, message start)
CASES = [
    (lambda l: vbl.BackgroundLine([[0.0, 1.0]]), ValueError,
     "[BackgroundLine.__init__] points must be one-dimensional, got shape (1, 2)"),
    (lambda l: vbl.BackgroundLine(["a", "b"]), ValueError, "[BackgroundLine.__init__] points must be an array of numbers"),
    (lambda l: vbl.BackgroundLine([0.0, math.nan]), ValueError,
     "[BackgroundLineSession::BackgroundLineSession] background: point 1 is not finite (nan)"),
    (lambda l: vbl.BackgroundLine([0.0, 1.0], edges=[[0, 1, 2]]), ValueError,
     "[BackgroundLine.__init__] edges must have shape (m, 2), got shape (1, 3)"),
    (lambda l: vbl.BackgroundLine([0.0, 1.0], edges=[[0.0, 1.0]]), ValueError,
     "[BackgroundLine.__init__] edges must hold integers, got dtype float64"),
    (lambda l: vbl.BackgroundLine([0.0, 1.0], edges=[[0, -1]]), ValueError,
     "[BackgroundLine.__init__] edges holds -1, which is not a valid index"),
    (lambda l: vbl.BackgroundLine([0.0, 1.0], edges=[[0, 2]]), ValueError,
     "[BackgroundLineSession::BackgroundLineSession] background: edge 0 names vertex 2, out of "
     "range (2 points)"),
    (lambda l: vbl.BackgroundLine([0.0, 1.0], tolerance=-1.0), ValueError,
     "[BackgroundLineSession::BackgroundLineSession] tolerance -1 must be positive and finite"),
    (lambda l: vbl.BackgroundLine([0.0, 1e300], tolerance=1e-20), ValueError,
     "[BackgroundLineSession::BackgroundLineSession] background: point 1 (1e+300) overflows"),
    (lambda l: l.insert("well", [1.0, 2.0]), ValueError,
     '[BackgroundLineSession::insert] a curve is already named "well"'),
    (lambda l: l.insert("", [1.0, 2.0]), ValueError,
     "[BackgroundLineSession::insert] a curve needs a name"),
    (lambda l: l.insert("new", [1.0, math.inf]), ValueError,
     '[BackgroundLineSession::insert] curve "new": point 1 is not finite (inf)'),
    (lambda l: l.insert("new", [1.0, 2.0], only=[1]), ValueError,
     '[BackgroundLineSession::insert] curve "new": entry 0 of the edges to insert names edge 1, '
     "out of range (1 edges)"),
    (lambda l: l.insert("new", [1.0, 2.0], only=[]), ValueError,
     "[BackgroundLine.insert] only is empty: leave it out to insert every edge"),
    (lambda l: l.macro_vertices(-1), ValueError, "[BackgroundLine.macro_vertices] background vertex -1 is out of range"),
    (lambda l: l.insert("new", [[1.0, 2.0]]), ValueError,
     "[BackgroundLine.insert] points must be one-dimensional, got shape (1, 2)"),
    (lambda l: l.path("well", -2), ValueError, "[BackgroundLine.path] edge -2 is out of range"),
    (lambda l: l.macro_vertices(99), ValueError,
     "[BackgroundLineSession::macro_vertices] background vertex 99 is out of range (5 vertices)"),
    (lambda l: l.macro_elements(99), ValueError,
     "[BackgroundLineSession::macro_elements] background edge 99 is out of range (6 edges)"),
    (lambda l: l.vertex_of("nobody", 0), ValueError,
     '[BackgroundLineSession::vertex_of] no curve is named "nobody"'),
    (lambda l: l.vertex_of("well", 2), ValueError,
     '[BackgroundLineSession::vertex_of] vertex 2 of curve "well" is out of range (2 vertices)'),
    (lambda l: l.path("well", 1), ValueError,
     '[BackgroundLineSession::path] edge 1 of curve "well" is out of range (1 edges)'),
    (lambda l: l.remove("nobody"), ValueError,
     '[BackgroundLineSession::remove] no curve is named "nobody"'),
    (lambda l: l.overlapping(2.0, 1.0), ValueError,
     "[BackgroundLineSession::overlapping] [2, 1] is not an interval"),
    (lambda l: l.overlapping(math.nan, 1.0), ValueError,
     "[BackgroundLineSession::overlapping] [nan, 1] is not an interval"),
    (lambda l: l.insert_intervals("rows", [1.0, 2.0], [3.0]), ValueError,
     "[BackgroundLine.insert_intervals] starts and ends differ in length (2 and 1)"),
    (lambda l: l.insert_intervals("rows", [], []), ValueError,
     "[BackgroundLine.insert_intervals] no interval to insert"),
    (lambda l: l.insert_intervals("rows", [1.0], [25.0]), vbl.Error,
     '[BackgroundLineSession::insert] curve "rows": point 1 (25) lies on no background edge'),
    (lambda l: l.macro_element_columns([0, 99]), ValueError,
     "[BackgroundLineSession::macro_element_columns] background edge 99 is out of range"),
    (lambda l: l.overlapping_columns(2.0, 1.0), ValueError,
     "[BackgroundLineSession::overlapping_columns] [2, 1] is not an interval"),
    (lambda l: l.insert("off", [1.0, 25.0]), vbl.Error,
     '[BackgroundLineSession::insert] curve "off": point 1 (25) lies on no background edge; '
     "nothing was inserted"),
]


@pytest.mark.parametrize("call, exception, message", CASES)
def test_bad_calls_raise_and_change_nothing(call, exception, message):
    line = vbl.BackgroundLine([0.0, 10.0, 20.0])
    line.insert("well", [1.0, 2.0])
    points, edges = line.points, line.edges
    with pytest.raises(exception) as raised:
        call(line)
    assert str(raised.value).startswith(message)
    np.testing.assert_array_equal(line.points, points)
    np.testing.assert_array_equal(line.edges, edges)
    assert line.curves == ["well"]
