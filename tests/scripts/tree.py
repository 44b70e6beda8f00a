"""Small source trees in temporary folders for the tests of the checkers in
scripts/, and a way to run a checker on one."""
import os
import subprocess
import sys

SCRIPTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts")


def write_tree(root, files):
    """Writes each path (relative to root) with its text; None removes the file."""
    for path, text in files.items():
        full = os.path.join(root, path)
        if text is None:
            os.remove(full)
            continue
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8") as f:
            f.write(text)


def run_script(name, root, *args):
    return subprocess.run([sys.executable, os.path.join(SCRIPTS, name), "--root", root, *args],
                          capture_output=True, text=True)
