import pathlib

import numpy as np
import pytest

import velk_background_line as vbl

REPOSITORY = pathlib.Path(__file__).resolve().parents[2]


@pytest.fixture
def example():
    """The README's example: a background over [0, 30] with well-1 inserted and cleaned."""
    line = vbl.BackgroundLine([0.0, 10.0, 20.0, 30.0])
    status = line.insert("well-1", np.array([5.0, 15.0, 25.0]))
    line.clean()
    return line, status


def pytest_configure(config):
    config.addinivalue_line(
        "markers", "package: builds and installs the package in a fresh venv (slow; run apart)"
    )
