"""Type stub of velk_background_line (the compiled core re-exported by the package)."""

from typing import Any, Dict, List, Optional, Sequence, Tuple

from ._columns import EdgeColumns as EdgeColumns, VertexColumns as VertexColumns

import numpy as np
import numpy.typing as npt

__version__: str
LOGGER_NAME: str

def read_bed(path: Any, format: str = "auto") -> Any:
    """The rows of a BED file or plain table as a pandas DataFrame (seq, start, end)."""

def overlay(
    tracks: Sequence[Any],
    names: Optional[Sequence[str]] = None,
    threads: Optional[int] = None,
    format: str = "auto",
) -> Any:
    """The overlay of interval tracks as a DataFrame: seq, start, end, count, names, one
    bool column per track."""

class Error(RuntimeError):
    """A failed insertion or query, with the library's message."""

class BackgroundLine:
    """A background line and every curve inserted into it, known by name."""

    def __init__(
        self,
        points: npt.ArrayLike,
        edges: Optional[npt.ArrayLike] = None,
        tolerance: float = 1e-8,
        name: str = "background",
    ) -> None: ...
    def insert(
        self,
        name: str,
        points: npt.ArrayLike,
        edges: Optional[npt.ArrayLike] = None,
        only: Optional[Sequence[int]] = None,
    ) -> List[str]:
        """Insert the curve `name`; one status ("inserted", "walk_stopped") per inserted edge."""
    def insert_intervals(
        self, name: str, starts: npt.ArrayLike, ends: npt.ArrayLike
    ) -> List[str]:
        """Insert the rows [starts[i], ends[i]] as the curve `name`, each row an edge."""
    def remove(self, name: str) -> Dict[str, int]:
        """Take the curve `name` out again; the counts of what went."""
    def clean(self) -> None:
        """Remove the edges that insertions split and renumber the edges."""
    @property
    def points(self) -> npt.NDArray[np.float64]:
        """The background's vertex coordinates, shape (n,)."""
    @property
    def edges(self) -> npt.NDArray[np.uint32]:
        """Every background edge's two vertices, shape (m, 2)."""
    @property
    def detached(self) -> npt.NDArray[np.bool_]:
        """True for the edges a split replaced, shape (m,)."""
    @property
    def name(self) -> str:
        """The background curve's name."""
    @property
    def tolerance(self) -> float:
        """The snapping tolerance applied, in the points' units."""
    @property
    def scale_exponent(self) -> int:
        """Coordinates are multiplied by 2**scale_exponent inside the library."""
    @property
    def curves(self) -> List[str]:
        """The names of the inserted curves, in insertion order."""
    def macro_vertices(self, vertex: int) -> List[Tuple[str, int]]:
        """(curve name, input vertex) pairs a background vertex carries."""
    def macro_elements(self, edge: int) -> List[Tuple[str, int]]:
        """(curve name, input edge) pairs a background edge carries."""
    def vertex_of(self, name: str, vertex: int) -> Optional[int]:
        """The background vertex carrying an input vertex, or None."""
    def path(self, name: str, edge: int) -> Optional[npt.NDArray[np.uint32]]:
        """The background edges carrying an input edge, in order, or None."""
    def overlapping(
        self, a: float, b: float
    ) -> List[Tuple[int, float, float, List[Tuple[str, int]]]]:
        """(edge, start, end, carried) for each background edge overlapping [a, b]."""
    def overlapping_columns(self, a: float, b: float) -> EdgeColumns:
        """`overlapping(a, b)` as flat numpy arrays."""
    def macro_element_columns(self, edges: Optional[npt.ArrayLike] = None) -> EdgeColumns:
        """The input edges many background edges carry (None: every live edge), in columns."""
    def macro_vertex_columns(self, vertices: Optional[npt.ArrayLike] = None) -> VertexColumns:
        """The input vertices many background vertices carry (None: every vertex), in columns."""
    def to_meshio(self) -> Any:
        """The background as a meshio.Mesh with per-curve cell data ("curve:<name>")."""
    def __len__(self) -> int:
        """The number of live background edges."""
    def __eq__(self, other: object) -> bool: ...
    def __copy__(self) -> "BackgroundLine": ...
    def __deepcopy__(self, memo: Dict[int, Any]) -> "BackgroundLine": ...
