import contextlib
import io
import os

from conftest import REPOSITORY


def block_after(text, marker):
    start = text.index(marker)
    start = text.index("```", start)
    start = text.index("\n", start) + 1
    return text[start : text.index("```", start)]


def test_the_readme_example_runs_as_written(tmp_path):
    readme = (REPOSITORY / "README.md").read_text()
    code = block_after(readme, "<!-- example: python -->")
    shown = block_after(readme, "<!-- output: python -->")
    printed = io.StringIO()
    here = os.getcwd()
    os.chdir(tmp_path)
    try:
        with contextlib.redirect_stdout(printed):
            exec(compile(code, "README.md", "exec"), {})
    finally:
        os.chdir(here)
    assert printed.getvalue() == shown
    assert (tmp_path / "well-1.vtu").stat().st_size > 0
