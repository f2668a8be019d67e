import numpy as np
import pytest

meshio = pytest.importorskip("meshio")


def test_vtu_round_trip(example, tmp_path):
    line, _ = example
    line.insert("background_edge", [12.0, 28.0])  # named like the line's own column
    mesh = line.to_meshio()
    assert mesh.points.shape == (len(line.points), 3)
    path = tmp_path / "line.vtu"
    mesh.write(path)
    back = meshio.read(path)

    np.testing.assert_array_equal(back.points[:, 0], line.points)
    assert not back.points[:, 1:].any()
    live = ~line.detached
    assert back.cells[0].type == "line"
    np.testing.assert_array_equal(back.cells[0].data, line.edges[live])
    edges = np.flatnonzero(live)
    np.testing.assert_array_equal(back.cell_data["background_edge"][0], edges)
    for name in ("well-1", "background_edge"):
        expected = [
            min((i for n, i in line.macro_elements(e) if n == name), default=-1) for e in edges
        ]
        np.testing.assert_array_equal(back.cell_data["curve:" + name][0], expected)
