#!/usr/bin/env python3
"""Writes seed inputs for tests/fuzz/lpeg_fuzz.cpp into the folder given.

Each seed is a program of the target's byte code (a count, then operations
with their operand bytes) followed by a subject; together they cover the
shapes the script tests use: literals and sets, captures of each kind, a
grammar with a call, a label thrown and recovered, look-behind."""
import os
import sys

# Operation numbers, as in the target's table (1-based there, 0-based here).
LIT, SET, RANGE, SEQ, CHOICE, DIFF, AND, NOT, POW, CAP, TABLE, SUBST, GROUP, BACKREF, CONST, POS, \
    FORMAT, FUNC, FOLD, RUNTIME, THROW, REC, BEHIND, CALL, GRAMMAR, NUMBER, ARG, QUERY, NUMBERED, BOOL, \
    LOCALE = range(31)


def lit(s):
    return bytes([LIT, len(s)]) + s


SEEDS = {
    "literal": bytes([2]) + lit(b"ab") + bytes([POW, 3]) + b"ababab",
    "captures": bytes([8]) + lit(b"a") + bytes([CAP]) + bytes([SET, 2]) + b"bc" + bytes([POW, 2, TABLE])
                + bytes([SEQ, POS, SEQ]) + b"abcbc",
    "substitution": bytes([5]) + lit(b"a") + bytes([FORMAT, 2]) + b"%0" + bytes([SET, 1]) + b"b"
                    + bytes([CHOICE, POW, 2, SUBST]) + b"abab",
    "groups": bytes([6]) + lit(b"x") + bytes([CAP, GROUP, 1, BACKREF, 1, SEQ, TABLE]) + b"xx",
    "grammar": bytes([6]) + lit(b"(") + bytes([CALL, 0, SEQ]) + lit(b")") + bytes([SEQ, GRAMMAR, 0, 0]) + b"((()))",
    "recovery": bytes([6]) + lit(b"a") + bytes([THROW, 0, SEQ]) + lit(b"x") + bytes([REC, 0, 1]) + b"axb",
    "behind": bytes([4]) + lit(b"ab") + bytes([RANGE]) + b"az" + bytes([BEHIND, SEQ]) + b"abc",
    "runtime": bytes([4]) + bytes([RANGE]) + b"09" + bytes([POW, 3, RUNTIME, 2, FOLD]) + b"2024",
}


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for name, seed in SEEDS.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(seed)


if __name__ == "__main__":
    main()
