#!/usr/bin/env python3
"""Fails when a folder's library needs a symbol that only a library on its own
or a higher rung of the ladder defines: each library must link alone with
the libraries below it.

The ladder is QUARVELIN_LADDER in src/CMakeLists.txt (read as the boundary
check reads it); the libraries are the built archives libquarvelin_<folder>.a.
A symbol no folder's library defines belongs to a system or third-party
library and is not checked. Type records ("typeinfo for") are checked like
any symbol: the sanitizers' type checks name the record of every class
whose members they guard, and the record is made with the class's first
out-of-line virtual function, so that function belongs on the class's own
rung.

Usage: check-layer-links.py --lib-dir DIR [--root REPOSITORY] [--nm NM]
Prints one line per violation, "library(member): needs symbol, defined in
library above", and exits 1 when there is any.
"""
import argparse
import importlib.util
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def boundary_check():
    spec = importlib.util.spec_from_file_location("check_boundaries", os.path.join(HERE, "check-boundaries.py"))
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def symbols(nm, archive):
    """(member, symbol, defined) for every global symbol of the archive."""
    out = subprocess.run([nm, "-A", "-P", archive], capture_output=True, text=True, check=True).stdout
    for line in out.splitlines():
        fields = line.split()
        if len(fields) < 3 or not fields[0].endswith(":"):
            continue
        member = fields[0][:-1]
        if "[" in member:
            member = member[member.index("[") + 1:].rstrip("]")
        kind = fields[2]
        if kind in "wv" or kind.islower() and kind not in "u":
            continue  # weak references and local symbols
        yield member, fields[1], kind != "U"


def check(root, lib_dir, nm):
    checker = boundary_check()
    rungs = checker.read_ladder(root)
    if rungs is None:
        return ["src/CMakeLists.txt: no QUARVELIN_LADDER"]
    folders = [name for names in rungs for name in names]
    defined = {}  # symbol -> folders defining it
    needed = {}  # folder -> [(member, symbol)]
    problems = []
    for folder in folders:
        archive = os.path.join(lib_dir, "libquarvelin_%s.a" % folder)
        if not os.path.exists(archive):
            problems.append("%s: not built" % archive)
            continue
        for member, symbol, is_definition in symbols(nm, archive):
            if is_definition:
                defined.setdefault(symbol, set()).add(folder)
            else:
                needed.setdefault(folder, []).append((member, symbol))
    for folder in folders:
        for member, symbol in sorted(set(needed.get(folder, []))):
            owners = defined.get(symbol)
            if not owners or folder in owners:
                continue
            wrong = [checker.ladder_problem(rungs, folder, owner) for owner in sorted(owners)]
            if all(wrong):
                problems.append("libquarvelin_%s.a(%s): needs %s, but %s" % (folder, member, demangled(symbol), wrong[0]))
    return problems


def demangled(symbol):
    try:
        return subprocess.run(["c++filt", symbol], capture_output=True, text=True).stdout.strip() or symbol
    except OSError:
        return symbol


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.dirname(HERE))
    parser.add_argument("--lib-dir", required=True)
    parser.add_argument("--nm", default="nm")
    args = parser.parse_args()
    problems = check(args.root, args.lib_dir, args.nm)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
