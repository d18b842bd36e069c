#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Writes the measured figures into the docs, from the files the checks hold them to.

Every block between `<!-- figures:NAME -->` and `<!-- /figures -->` in README.md
and docs/*.md is rendered from bench/instruction-budget.txt (bench/count.sh)
or target/footprint-budget.txt (target/footprint.sh); each block appears exactly
once. With --check nothing is written: the script names every block that
differs and exits with 1.

Usage: scripts/docs-figures.py [--check]
"""
import argparse
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "bench"))
import budget  # noqa: E402  (the budget files' reader, beside the budget check)
INSTRUCTIONS = ROOT / "bench" / "instruction-budget.txt"
FOOTPRINT = ROOT / "target" / "footprint-budget.txt"
BLOCK = re.compile(r"(<!-- figures:([\w-]+) -->\n)(.*?)(<!-- /figures -->)", re.S)

TARGETS = {"m4f": "Cortex-M4F", "m3": "Cortex-M3", "desktop": "desktop (x86-64, `-O3`)"}
CASES = {
    "ecg-1500": "ECG example `ecg_72bpm`, 1500 samples",
    "ecg-600": "ECG example `ecg_60bpm_600`, 600 samples",
    "ppg-1500": "pulse example `ppg_66bpm`",
    "ecg-1500-5point": "ECG example, 5-point derivative",
    "worst-template": "worst case, template matching",
    "worst-level": "worst case, level-based throw-out",
    "worst-statistical": "worst case, statistical",
    "worst-median": "worst case, median search",
}
STAGES = {
    "statistics": "buffer statistics: minimum, maximum, sum and median",
    "lowpass": "low-pass",
    "highpass": "high-pass",
    "derivative": "derivative",
    "square": "squaring",
    "average": "double moving average",
    "dumps": "unpacking for the 5 stage dumps",
    "peaks": "peak finder",
    "beatrate": "beat rate",
}
CLOCKS_MHZ = (16, 64, 168)


def read_figures(path):
    """{key words: value} of a budget file, in its order."""
    return {tuple(key.split()): value for key, value in budget.read_figures(path).items()}


def table(header, rows):
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    lines += ["| " + " | ".join(row) + " |" for row in rows]
    return "\n".join(lines) + "\n"


def thousands(value):
    return "{:,}".format(value)


def instruction_counts():
    counts = {}
    for (target, case, stage), value in read_figures(INSTRUCTIONS).items():
        counts.setdefault(case, {}).setdefault(target, {})[stage] = value
    return counts


def render_instructions():
    header = ["Case"] + [TARGETS[t] for t in TARGETS] + ["M4F at %d MHz" % mhz for mhz in CLOCKS_MHZ]
    rows = []
    for case, targets in instruction_counts().items():
        wholes = [thousands(targets[t]["whole"]) for t in TARGETS]
        times = ["%.1f ms" % (targets["m4f"]["whole"] / mhz / 1000) for mhz in CLOCKS_MHZ]
        rows.append([CASES.get(case, case)] + wholes + times)
    return table(header, rows)


def render_stages():
    targets = instruction_counts()["ecg-1500"]
    header = ["Stage"] + [TARGETS[t] for t in TARGETS]
    rows = [[STAGES.get(stage, stage)] + [thousands(targets[t][stage]) for t in TARGETS]
            for stage in targets["m4f"] if stage != "whole"]
    return table(header, rows)


def render_footprint():
    figures = read_figures(FOOTPRINT)

    def byte(*key):
        return "%d B" % figures[key]

    rows = [
        ["library code, `libqz_core.a` (all stages, pipeline, packing, conversions, C interface)",
         byte("core", "code")],
        ["library static RAM (data + bss)", byte("core", "ram")],
        ["stdio file operations, `libqz_fileio.a`: code / static RAM",
         byte("fileio", "code") + " / " + byte("fileio", "ram")],
        ["driver, `libqz_driver.a`: code / buffers", byte("driver", "code") + " / " + byte("driver", "ram")],
        ["deepest stack of `CalculateHeartRate`, `LogLevel` 0", byte("stack", "loglevel0")],
        ["the same with `LogLevel` 4 (newlib's `printf` with `%f` inside)", byte("stack", "loglevel4")],
        ["the tool's image `qz_vozozi_DE` (with newlib, semihosting, full `printf`): text / data / bss",
         " / ".join(byte("image", part) for part in ("text", "data", "bss"))],
        ["newlib's heap for its stdio buffers (the library allocates nothing)", byte("heap", "newlib")],
    ]
    return table(["Part", "Bytes"], rows)


def render_globals():
    groups = {}
    for key, value in read_figures(FOOTPRINT).items():
        if key[0] == "global":
            groups.setdefault((key[1], value), []).append("`%s`" % key[2])
    rows = [["`libqz_%s.a`" % part, str(size) + (" each" if len(names) > 1 else ""), ", ".join(names)]
            for (part, size), names in groups.items()]
    return table(["Archive", "Bytes", "Global"], rows)


RENDERERS = {
    "instructions": render_instructions,
    "stages": render_stages,
    "footprint": render_footprint,
    "globals": render_globals,
}


def render_document(text, path):
    def replace(match):
        name = match.group(2)
        if name not in RENDERERS:
            sys.exit("%s: unknown figures block '%s'" % (path, name))
        try:
            return match.group(1) + RENDERERS[name]() + match.group(4)
        except KeyError as missing:
            sys.exit("%s: figures:%s needs %s, which the budget files lack" % (path, name, missing))
    return BLOCK.sub(replace, text)


def differing_blocks(old, new):
    old_blocks = {m.group(2): m.group(3) for m in BLOCK.finditer(old)}
    return [m.group(2) for m in BLOCK.finditer(new) if old_blocks.get(m.group(2)) != m.group(3)]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true", help="write nothing; fail when a block differs")
    args = parser.parse_args()
    differing = []
    blocks = []
    for path in [ROOT / "README.md"] + sorted((ROOT / "docs").glob("*.md")):
        old = path.read_text(encoding="utf-8")
        blocks += [match.group(2) for match in BLOCK.finditer(old)]
        new = render_document(old, path.relative_to(ROOT))
        if new == old:
            continue
        if args.check:
            differing += ["%s: figures:%s" % (path.relative_to(ROOT), name) for name in differing_blocks(old, new)]
        else:
            temporary = path.with_name(path.name + ".tmp")
            temporary.write_text(new, encoding="utf-8")
            temporary.replace(path)
            print("wrote %s" % path.relative_to(ROOT))
    for block in differing:
        print("%s differs from the budget files; run scripts/docs-figures.py" % block)
    placement = [name for name in RENDERERS if blocks.count(name) != 1]
    for name in placement:
        print("figures:%s appears %d times in the docs; it belongs in exactly one place" % (name, blocks.count(name)))
    return 1 if differing or placement else 0


if __name__ == "__main__":
    sys.exit(main())
