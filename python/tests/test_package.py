"""`pip install .` from a clean clone into a fresh virtual environment, then the package used
with the clone and its build tree gone: the module, its bundled libraries and the tool."""

import os
import pathlib
import shutil
import subprocess
import sys

import pytest

from conftest import REPOSITORY

pytestmark = pytest.mark.package

USE = """
import numpy as np, velk_background_line as vbl
line = vbl.BackgroundLine([0.0, 10.0, 20.0])
assert line.insert("w", np.array([5.0, 15.0])) == ["inserted"]
print(vbl.__version__, vbl.__file__)
"""


def test_pip_install_from_a_clean_clone_works_without_the_build_tree(tmp_path):
    if shutil.which("git") is None or not (REPOSITORY / ".git").exists():
        pytest.skip("needs a git checkout to clone")
    clone, venv = tmp_path / "clone", tmp_path / "venv"
    subprocess.run(["git", "clone", "--quiet", "--no-hardlinks", str(REPOSITORY), str(clone)],
                   check=True)
    subprocess.run([sys.executable, "-m", "venv", "--system-site-packages", str(venv)], check=True)
    python = venv / "bin" / "python"
    subprocess.run([str(python), "-m", "pip", "install", "--quiet", "--no-build-isolation",
                    "--no-index", str(clone)], check=True, cwd=tmp_path)
    shutil.rmtree(clone)  # the sources and the build tree inside it

    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "LD_LIBRARY_PATH")}
    used = subprocess.run([str(python), "-c", USE], check=True, capture_output=True, text=True,
                          cwd=tmp_path, env=env).stdout
    version, where = used.split()
    package = pathlib.Path(where).parent
    assert package.is_relative_to(venv)

    # Every library the module and the tool load is the system's base or bundled beside them.
    for binary in [*package.glob("_core*.so"), package / "velk-background-line"]:
        loaded = subprocess.run(["ldd", str(binary)], check=True, capture_output=True, text=True,
                                env=env).stdout
        for line in loaded.splitlines():
            name, _, where = line.strip().partition(" => ")
            assert "not found" not in where, line
            if name.startswith(("libabsl_", "libVelk", "libLumora")):
                assert pathlib.Path(where.split()[0]).parent == package, line

    tool = subprocess.run([str(venv / "bin" / "velk-background-line"), "--version"],
                          capture_output=True, text=True, cwd=tmp_path, env=env)
    assert tool.returncode == 0 and tool.stdout.strip() == version, tool
    demo = subprocess.run([str(venv / "bin" / "velk-background-line"), "demo"],
                          capture_output=True, text=True, cwd=tmp_path, env=env)
    assert demo.returncode == 0, demo.stderr
    assert (tmp_path / "velk-demo" / "result.json").stat().st_size > 0
    metadata = subprocess.run([str(python), "-m", "pip", "show", "velk_background_line"],
                              check=True, capture_output=True, text=True, env=env).stdout
    assert "License: MIT" in metadata and f"Version: {version}" in metadata
