#!/usr/bin/env python3
"""The example generator: --help prints its usage and writes nothing; asked to write
into a folder, it writes the example files of the repository byte for byte."""

import os
import subprocess
import sys
import tempfile

EXAMPLES = os.path.abspath(sys.argv[1])
SCRIPT = os.path.join(EXAMPLES, "generate.py")
NAMES = ["sphere_survey.dat", "sphere_subset.dat", "sphere_lines.xyz"]


def stamps():
    return {name: os.stat(os.path.join(EXAMPLES, name)).st_mtime_ns for name in NAMES}


def main():
    before = stamps()
    with tempfile.TemporaryDirectory() as folder:
        usage = subprocess.run([sys.executable, SCRIPT, "--help"], cwd=folder,
                               capture_output=True, text=True)
        assert usage.returncode == 0, usage
        assert usage.stdout.startswith("usage:"), usage.stdout
        assert stamps() == before, "--help rewrote the examples"
        assert os.listdir(folder) == [], os.listdir(folder)

        wrong = subprocess.run([sys.executable, SCRIPT, "--no-such-flag"], cwd=folder,
                               capture_output=True, text=True)
        assert wrong.returncode != 0 and "usage:" in wrong.stderr, wrong
        assert stamps() == before, "an unknown flag rewrote the examples"

        written = subprocess.run([sys.executable, SCRIPT, "--folder", folder])
        assert written.returncode == 0
        for name in NAMES:
            with open(os.path.join(folder, name), "rb") as new, \
                    open(os.path.join(EXAMPLES, name), "rb") as kept:
                assert new.read() == kept.read(), name
    print("ok")


if __name__ == "__main__":
    main()
