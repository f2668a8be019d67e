"""Columnar answers of BackgroundLine: many macro lists at once in flat numpy arrays."""

import numpy as np


def _rows(offsets):
    """Per item, its number of entries and the rows it takes in a table (at least one)."""
    counts = np.diff(offsets).astype(np.int64)
    return counts, np.maximum(counts, 1)


def _long_table(columns, item_columns, codes, indices, index_name):
    """One row per entry, items without any entry on one row with no curve and index -1."""
    import pandas as pd

    counts, reps = _rows(columns.offsets)
    total = int(reps.sum())
    filled = np.repeat(counts > 0, reps)
    curve = np.full(total, -1, dtype=np.int64)
    curve[filled] = codes
    index = np.full(total, -1, dtype=np.int64)
    index[filled] = indices
    table = {name: np.repeat(values, reps) for name, values in item_columns.items()}
    table["curve"] = pd.Categorical.from_codes(curve, categories=list(columns.curves))
    table[index_name] = index
    return pd.DataFrame(table)


class _Columns:
    """What both kinds share: items, offsets into the flat entries, the curve names once."""

    __slots__ = ()
    _ITEMS = _ENTRIES = ""

    def __len__(self):
        return len(getattr(self, self._ITEMS))

    def carried(self, i):
        """The (curve name, input index) pairs that the i-th item carries."""
        span = slice(int(self.offsets[i]), int(self.offsets[i + 1]))
        indices = getattr(self, self._ENTRIES)[span]
        return [(self.curves[c], int(k)) for c, k in zip(self.curve[span], indices)]

    def __repr__(self):
        return (f"<{type(self).__name__}: {len(self)} {self._ITEMS}, {len(self.curve)} carried "
                "entries>")


class EdgeColumns(_Columns):
    """Background edges and the input edges they carry, in flat arrays.

    Attributes
    ----------
    edges : numpy.ndarray of uint32
        The background edges, in the order of the question.
    starts, ends : numpy.ndarray of float64
        Each edge's interval (start <= end).
    offsets : numpy.ndarray of uint64, len(edges) + 1
        Edge ``i`` carries entries ``offsets[i]:offsets[i + 1]`` of ``curve`` and ``element``.
    curve : numpy.ndarray of uint32
        Each entry's curve, an index into ``curves``.
    element : numpy.ndarray of uint32
        Each entry's input edge.
    curves : tuple of str
        The curve names, each held once.
    """

    __slots__ = ("edges", "starts", "ends", "offsets", "curve", "element", "curves")
    _ITEMS, _ENTRIES = "edges", "element"

    def __init__(self, edges, starts, ends, offsets, curve, element, curves):
        self.edges, self.starts, self.ends = edges, starts, ends
        self.offsets, self.curve, self.element, self.curves = offsets, curve, element, curves

    def to_pandas(self):
        """A DataFrame with one row per (edge, carried input edge): ``edge``, ``start``,
        ``end``, ``curve`` (categorical) and ``element``; an edge that carries nothing has one
        row with no curve and element -1."""
        return _long_table(
            self,
            {"edge": self.edges, "start": self.starts, "end": self.ends},
            self.curve,
            self.element,
            "element",
        )


class VertexColumns(_Columns):
    """Background vertices and the input vertices they carry, in flat arrays.

    Attributes
    ----------
    vertices : numpy.ndarray of uint32
    coordinates : numpy.ndarray of float64
    offsets : numpy.ndarray of uint64, len(vertices) + 1
        Vertex ``i`` carries entries ``offsets[i]:offsets[i + 1]`` of ``curve`` and ``vertex``.
    curve : numpy.ndarray of uint32
        Each entry's curve, an index into ``curves``.
    vertex : numpy.ndarray of uint32
        Each entry's input vertex.
    curves : tuple of str
    """

    __slots__ = ("vertices", "coordinates", "offsets", "curve", "vertex", "curves")
    _ITEMS, _ENTRIES = "vertices", "vertex"

    def __init__(self, vertices, coordinates, offsets, curve, vertex, curves):
        self.vertices, self.coordinates = vertices, coordinates
        self.offsets, self.curve, self.vertex, self.curves = offsets, curve, vertex, curves

    def to_pandas(self):
        """A DataFrame with one row per (vertex, carried input vertex): ``vertex``,
        ``coordinate``, ``curve`` (categorical) and ``input_vertex``; a vertex that carries
        nothing has one row with no curve and input_vertex -1."""
        return _long_table(
            self,
            {"vertex": self.vertices, "coordinate": self.coordinates},
            self.curve,
            self.vertex,
            "input_vertex",
        )
