"""The command-line tool `velk-background-line`, installed with the package: runs the
program bundled beside this file with the same arguments."""

import os
import pathlib
import sys

PROGRAM = pathlib.Path(__file__).resolve().parent / "velk-background-line"


def main():
    if not PROGRAM.is_file():
        sys.exit(f"velk-background-line: the bundled program is missing ({PROGRAM})")
    # The program takes over this process: exit code, signals and streams are its own.
    os.execv(str(PROGRAM), [str(PROGRAM)] + sys.argv[1:])


if __name__ == "__main__":
    main()
