"""Background lines from Python: insert named curves into a one-dimensional background line
and ask which background vertices and edges carry them.

>>> import velk_background_line as vbl
>>> line = vbl.BackgroundLine([0.0, 10.0, 20.0, 30.0])
>>> line.insert("well-1", [5.0, 15.0, 25.0])
['inserted', 'inserted']

The library's log lines go to the logger ``"velk_background_line"`` (progress at INFO, the
placement trace at DEBUG).
"""

from ._columns import EdgeColumns, VertexColumns
from ._core import LOGGER_NAME, BackgroundLine, Error, __version__
from ._tracks import overlay, read_bed

__all__ = [
    "BackgroundLine",
    "EdgeColumns",
    "Error",
    "LOGGER_NAME",
    "VertexColumns",
    "__version__",
    "overlay",
    "read_bed",
]
