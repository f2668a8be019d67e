import gzip
import io
import os
import subprocess

import numpy as np
import pandas as pd
import pytest

import velk_background_line as vbl

# Two BED tracks over three sequences, in the order of first appearance: a header line of
# each kind, rows overlapping within a track, a zero-length row, a gzip file.
A = "track name=a\nchr2\t5\t15\nchr1\t10\t20\nchr1\t15\t30\nchr1\t40\t40\n"
B = "# comment\nchr1\t18\t45\nchr2\t0\t7\nchr3\t1\t2\n"


@pytest.fixture
def bed_files(tmp_path):
    a, b = tmp_path / "a.bed", tmp_path / "b.bed.gz"
    a.write_text(A)
    b.write_bytes(gzip.compress(B.encode()))
    return [a, b]


def tool_rows(files, tmp_path):
    tool = os.environ.get("VELK_TOOL")
    if not tool:
        pytest.skip("the command-line tool is not built")
    out = tmp_path / "out.tsv"
    subprocess.run([tool, "overlay", *map(str, files), "-o", str(out), "--quiet"], check=True)
    # The five columns, then a 0/1 column per track.
    rows = pd.read_csv(out, sep="\t", header=None)
    rows.columns = ["seq", "start", "end", "count", "names"] + [
        f"track{i}" for i in range(rows.shape[1] - 5)]
    return rows


def test_overlay_gives_the_tools_rows_from_files_and_from_memory(bed_files, tmp_path):
    expected = tool_rows(bed_files, tmp_path)
    from_files = vbl.overlay(bed_files)
    assert list(from_files.columns) == ["seq", "start", "end", "count", "names", "a", "b"]
    got = from_files[expected.columns[:5]].astype({"seq": str})
    pd.testing.assert_frame_equal(got, expected.iloc[:, :5])
    # The tool's 0/1 columns are the DataFrame's flags.
    assert (from_files[["a", "b"]].astype(int).values == expected.iloc[:, 5:].values).all()
    # The flags say the same as the names.
    assert (from_files.a == from_files.names.str.contains("a")).all()
    assert (from_files[["a", "b"]].sum(axis=1) == from_files["count"]).all()

    # The rows read back (zero-length row widened) give the same overlay in memory.
    tables = [vbl.read_bed(path) for path in bed_files]
    # Rows come grouped by sequence, sequences in name order.
    assert tables[0].start.tolist() == [10, 15, 39, 5] and tables[1].end.dtype == np.int64
    pd.testing.assert_frame_equal(vbl.overlay(tables, names=["a", "b"], threads=1), from_files)


def test_plain_tables_as_files_and_as_arrays(tmp_path):
    a, b = tmp_path / "x.csv", tmp_path / "y.txt"
    a.write_text("start,end\n0,3\n5,9\n4,4\n")
    b.write_text("2 4\n")
    expected = tool_rows([a, b], tmp_path.joinpath())
    from_files = vbl.overlay([a, b])
    assert "seq" not in from_files.columns
    from_arrays = vbl.overlay([([0, 5, 4], [3, 9, 4]), (np.array([2.0]), np.array([4.0]))],
                              names=["x", "y"])
    pd.testing.assert_frame_equal(from_arrays, from_files)
    assert from_files[["start", "end", "count", "names"]].values.tolist() == \
        expected.iloc[:, :4].values.tolist()


def test_gff_rows_read_as_half_open(tmp_path):
    gff = tmp_path / "genes.gff"
    gff.write_text("##gff-version 3\nchr1\tsrc\tgene\t11\t20\t.\t+\t.\tID=g\n")
    table = vbl.read_bed(gff)
    assert table[["seq", "start", "end"]].astype({"seq": str}).values.tolist() == \
        [["chr1", 10, 20]]


@pytest.mark.parametrize("call, message", [
    (lambda p: vbl.overlay([p, ([0], [1])]), "every track as a path"),
    (lambda p: vbl.overlay([p], names=["count"]), "may not be named 'count'"),
    (lambda p: vbl.overlay([p], names=["a", "b"]), "name"),
    (lambda p: vbl.read_bed(p.parent / "missing.bed"), "missing.bed"),
    (lambda p: vbl.overlay([p], format="gff3"), "unknown format"),
])
def test_bad_tracks_are_refused(bed_files, call, message):
    with pytest.raises(ValueError, match=message):
        call(bed_files[0])
