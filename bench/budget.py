#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Holds measured figures to a committed budget file, or writes the file anew.

A budget file has comment lines (#) and one figure a line: a key of one or more
words, then a whole number. The check fails when a measured figure has no
budget or rises by more than 2 % above it; --update replaces the figures and
keeps the file's comment lines.

Usage: bench/budget.py [--update] [--unit UNIT] BUDGET MEASURED
"""
import argparse
import os
import sys

TOLERANCE = 0.02


def read_figures(path):
    """The figures of a budget or measurement file as {key: value}, in order."""
    figures = {}
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            if line.strip() and not line.startswith("#"):
                *key, value = line.split()
                figures[" ".join(key)] = int(value)
    return figures


def comment_lines(path):
    with open(path, encoding="utf-8") as lines:
        return [line for line in lines if line.startswith("#")]


def update(budget, measured):
    figures = read_figures(measured)
    with open(budget + ".tmp", "w", encoding="utf-8") as out:
        out.writelines(comment_lines(budget))
        out.writelines("%s %d\n" % item for item in figures.items())
    os.replace(budget + ".tmp", budget)
    print("budget written to %s" % budget)
    return 0


def check(budget, measured, unit):
    limits = read_figures(budget)
    passed = failed = 0
    for key, value in read_figures(measured).items():
        limit = limits.get(key)
        if limit is None or value > limit * (1 + TOLERANCE):
            failed += 1
            print("OVER BUDGET %s: %d %s, budget %s" % (key, value, unit, limit))
        else:
            passed += 1
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--update", action="store_true", help="write the measured figures into BUDGET")
    parser.add_argument("--unit", default="", help="the figures' unit, for the messages")
    parser.add_argument("budget")
    parser.add_argument("measured")
    args = parser.parse_args()
    if args.update:
        return update(args.budget, args.measured)
    return check(args.budget, args.measured, args.unit)


if __name__ == "__main__":
    sys.exit(main())
