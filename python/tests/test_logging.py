import logging
import subprocess
import sys
import threading

import numpy as np

import velk_background_line as vbl


def records(caplog):
    return [r for r in caplog.records if r.name == "velk_background_line"]


def test_progress_arrives_at_info(caplog):
    caplog.set_level(logging.INFO, logger="velk_background_line")
    line = vbl.BackgroundLine([0.0, 10.0])
    line.insert("well-1", [2.0, 4.0, 6.0])
    got = records(caplog)
    assert [r.levelno for r in got] == [logging.INFO, logging.INFO]
    assert got[0].getMessage().startswith("Insertion of curve well-1 (")
    assert got[0].getMessage().endswith("): started (2 steps)")
    assert "completed 2/2" in got[1].getMessage()


def test_placement_trace_arrives_at_debug_only_when_asked(caplog):
    caplog.set_level(logging.DEBUG, logger="velk_background_line")
    line = vbl.BackgroundLine([0.0, 10.0])
    line.insert("a", [2.0, 4.0])
    debug = [r.getMessage() for r in records(caplog) if r.levelno == logging.DEBUG]
    assert "edge_id = 0" in debug
    assert "point = 2" in debug

    caplog.clear()
    caplog.set_level(logging.WARNING, logger="velk_background_line")
    line.insert("b", [5.0, 6.0])
    assert records(caplog) == []


def test_lines_from_another_thread_arrive(caplog):
    caplog.set_level(logging.INFO, logger="velk_background_line")
    line = vbl.BackgroundLine([0.0, 1.0])
    worker = threading.Thread(target=line.insert, args=("t", np.linspace(0.0, 1.0, 1001)))
    worker.start()
    worker.join()
    messages = [r.getMessage() for r in records(caplog)]
    assert any(m.startswith("Insertion of curve t (") for m in messages)
    assert all(r.threadName == worker.name for r in records(caplog))


def test_a_failing_handler_is_reported_and_the_insertion_goes_on(monkeypatch):
    class Failing(logging.Handler):
        def emit(self, record):
            raise RuntimeError("handler failed")

    reported = []
    monkeypatch.setattr(sys, "unraisablehook", lambda report: reported.append(report.exc_value))
    logger = logging.getLogger("velk_background_line")
    handler = Failing()
    logger.addHandler(handler)
    logger.setLevel(logging.INFO)
    try:
        line = vbl.BackgroundLine([0.0, 10.0])
        assert line.insert("w", [1.0, 2.0]) == ["inserted"]
    finally:
        logger.removeHandler(handler)
        logger.setLevel(logging.NOTSET)
    assert [str(error) for error in reported] == ["handler failed", "handler failed"]


def test_the_interpreter_exits_cleanly_while_a_thread_logs():
    # A daemon thread still inserting (and logging every placement) when the interpreter
    # exits: the bridge must be gone before Python is, with no hang and no crash.
    script = """
import logging, os, threading, time
import numpy as np
import velk_background_line as vbl
logging.basicConfig(level=logging.DEBUG, stream=open(os.devnull, "w"))
line = vbl.BackgroundLine([0.0, 1.0])
worker = threading.Thread(target=line.insert, args=("t", np.linspace(0.0, 1.0, 1_000_001)),
                          daemon=True)
worker.start()
time.sleep(0.2)
"""
    result = subprocess.run(
        [sys.executable, "-c", script], capture_output=True, text=True, timeout=300
    )
    assert result.returncode == 0, result.stderr
    # Lines logged after the bridge went reach stderr through the library's default sink.
    assert all(line.startswith("[info] ") for line in result.stderr.splitlines()), result.stderr
