"""Interval tracks as pandas DataFrames: `read_bed` and `overlay`, over the tracks library.

The rules (formats, header lines, zero-length rows, merging each track's rows, one
background line per sequence) are the library's, shared with the command-line tool's
`overlay`; this module only lays out its arrays as tables."""

import os

import numpy as np

from . import _core

_FIXED = ("seq", "start", "end", "count", "names")


def _coordinates(values, plain):
    """Integers when every coordinate was read as one (as the tool prints them)."""
    return values.astype(np.int64) if plain else values


def read_bed(path, format="auto"):
    """The rows of a BED file (or a plain table of ``start end`` rows; gzip too) as the
    overlay reads them.

    Parameters
    ----------
    path : str or os.PathLike
        The file; "-" reads standard input.
    format : {"auto", "bed", "table", "gff", "vcf"}
        "auto": chosen from the file name (``.bed``, ``.gff``, ``.gtf``, ``.vcf``, gzipped
        too) or else from the rows' content.

    Returns
    -------
    pandas.DataFrame
        ``seq`` (categorical; absent for a plain table), ``start`` and ``end`` (int64 when
        every coordinate is an integer, else float64), one row per row kept, in file order
        grouped by sequence, sequences in name order. A zero-length BED row ``[s, s]`` is
        read as ``[s - 1, s + 1]`` and a zero-length table row is left out, as in the
        overlay; GFF's 1-based closed rows and VCF's records come as BED-like half-open rows.

    Raises
    ------
    ValueError
        For an unreadable file or a bad row (the message names the file, line and value).
    """
    import pandas as pd

    sequences, codes, starts, ends, plain, bed = _core._read_track(os.fspath(path), format)
    table = {}
    if bed:
        table["seq"] = pd.Categorical.from_codes(codes, categories=sequences)
    table["start"] = _coordinates(starts, plain)
    table["end"] = _coordinates(ends, plain)
    return pd.DataFrame(table)


def _track_argument(track):
    """A track as the core takes it: a path (str), or (seqs or None, starts, ends)."""
    if isinstance(track, (str, os.PathLike)):
        return os.fspath(track)
    if hasattr(track, "columns"):  # a DataFrame: seq (optional), start, end
        seqs = track["seq"].astype(str).tolist() if "seq" in track.columns else None
        return (seqs, track["start"].to_numpy(np.float64), track["end"].to_numpy(np.float64))
    starts, ends = track
    return (None, np.asarray(starts, dtype=np.float64), np.asarray(ends, dtype=np.float64))


def overlay(tracks, names=None, threads=None, format="auto"):
    """The overlay of interval tracks, as the command-line tool's ``overlay`` computes it.

    Each track becomes a curve in one background line per sequence (its rows merged where
    they overlap or touch); every stretch of the axis that some track covers comes back as a
    row with the tracks covering it. The GIL is released throughout, and lines are worked on
    in parallel.

    Parameters
    ----------
    tracks : sequence
        Every track as a path (BED or plain table, gzip too), or all of them in memory: a
        DataFrame with ``start``, ``end`` and optionally ``seq`` columns, or a pair
        ``(starts, ends)`` of arrays (one line, no sequence).
    names : sequence of str, optional
        One name per track; default: the file names without extensions ("a.bed.gz" is "a"),
        or "track 0", "track 1", ... for tracks in memory.
    threads : int, optional
        Worker threads (default: one per core, at most one per sequence).
    format : {"auto", "bed", "table", "gff", "vcf"}

    Returns
    -------
    pandas.DataFrame
        The tool's columns: ``seq`` (categorical; absent for plain tables), ``start``,
        ``end`` (int64 when every coordinate is an integer), ``count`` (the number of tracks
        over the row) and ``names`` (their names, comma-separated, in track order), then one
        bool column per track, named after it. Rows in sequence order, then axis order.

    Raises
    ------
    ValueError
        For a bad file, row or name, tracks of mixed kinds, or a track named like one of the
        fixed columns.
    Error
        When the library fails on usable input.
    """
    import pandas as pd

    given = [_track_argument(track) for track in tracks]
    if len({isinstance(track, str) for track in given}) > 1:
        raise ValueError("[overlay] give every track as a path, or every track in memory")
    if names is None and given and not isinstance(given[0], str):
        names = [f"track {i}" for i in range(len(given))]
    if names is not None:
        names = [str(name) for name in names]
        clash = sorted(set(names) & set(_FIXED))
        if clash:
            raise ValueError(f"[overlay] a track may not be named {clash[0]!r} (a column of the "
                             "result): pass other names")
    (track_names, sequences, codes, starts, ends, sets, members, plain,
     bed) = _core._overlay(given, names, threads or 0, format)
    if set(track_names) & set(_FIXED):
        raise ValueError("[overlay] a track may not be named like a column of the result "
                         f"({', '.join(_FIXED)}): pass other names")
    set_names = np.array([",".join(n for n, held in zip(track_names, row) if held)
                          for row in members], dtype=object)
    table = {}
    if bed:
        table["seq"] = pd.Categorical.from_codes(codes, categories=sequences)
    table["start"] = _coordinates(starts, plain)
    table["end"] = _coordinates(ends, plain)
    table["count"] = members.sum(axis=1, dtype=np.int64)[sets]
    table["names"] = set_names[sets]
    for t, name in enumerate(track_names):
        table[name] = members[sets, t].astype(bool)
    return pd.DataFrame(table)
