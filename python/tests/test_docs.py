"""The examples of docs/python.md run in order, in one namespace, and print what the page
shows under them."""

import contextlib
import io
import os
import re

from conftest import REPOSITORY

BLOCK = re.compile(r"```(\w+)\n(.*?)```", re.DOTALL)


def test_the_python_guide_runs_as_written(tmp_path):
    text = (REPOSITORY / "docs" / "python.md").read_text()
    blocks = [(kind, body) for kind, body in BLOCK.findall(text) if kind in ("python", "text")]
    assert sum(kind == "python" for kind, _ in blocks) >= 5
    namespace = {}
    here = os.getcwd()
    os.chdir(tmp_path)
    try:
        for i, (kind, code) in enumerate(blocks):
            if kind != "python":
                continue
            printed = io.StringIO()
            with contextlib.redirect_stdout(printed):
                exec(compile(code, f"docs/python.md block {i}", "exec"), namespace)
            shown = blocks[i + 1][1] if i + 1 < len(blocks) and blocks[i + 1][0] == "text" else ""
            assert printed.getvalue() == shown, f"block {i}:\n{code}"
    finally:
        os.chdir(here)
    assert (tmp_path / "section.vtu").stat().st_size > 0
