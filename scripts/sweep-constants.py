#!/usr/bin/env python3
"""Sweep the constants design space with qzkit and report how each point does.

Every point is a `qzkit constants design` (low-pass cut-off, high-pass order
and cut-off, swing) run with the tool's settings (stage mask, derivative
order, peak detection, beat classification); `qzkit evaluate` runs it on
each data set, and the scores are counted from its per-window CSV:

  ecg:   synthetic ECG windows (1500 and 600 samples) with rates from 40 to
         200 BPM and varied noise, baseline wander, amplitude and offset, one
         set in sinus rhythm and one with premature beats; with --record,
         also a WFDB record converted to 250 Hz windows every 3 s, each lead,
         both lengths.
  pulse: synthetic pulse (PPG) windows with the same kinds of variation.

Synthetic sets are generated deterministically (fixed seeds) into the work
directory; real records are converted there too. Nothing is written into
the source tree. Not run by CI; needs python3 and a built qzkit.

  scripts/sweep-constants.py --qzkit build/tools/qzkit --kind ecg \\
      --record ../shared/ecg/mitdb-100/100 --workdir /tmp/sweep-ecg
  scripts/sweep-constants.py --qzkit build/tools/qzkit --kind pulse --workdir /tmp/sweep-pulse

Results go to WORKDIR/results.csv (one row per point and data set) and the
best points, by the worst set's share of windows answered within +-5 BPM, to
the terminal; a mark flags points whose QI 0 answers are right in less than
99.5 % of cases on some set.
"""

import argparse
import csv
import itertools
import os
import random
import subprocess
import sys
import tempfile

RATE = 250
WINDOW_STEP = 750  # 3 s at 250 Hz
QI0_BAR = 99.5     # % of QI 0 answers within +-5 BPM
MIN_BPM, MAX_BPM = 30, 240

# High-pass choices are "order/cut-off in Hz".
ECG_GRID = {
    "lowpass": [16.3, 18, 20, 23, 26, 30, 35],
    "highpass": ["3/2", "3/3", "3/4", "3/5", "3/6", "3/8", "3/10", "3/12", "1/0.5", "1/1", "1/2", "1/5"],
    "swing": [200, 300, 375, 450, 500],
    "mask": [127],
    "derivative": [2],
    "peak": [1],
    "beat": [1],
}
PULSE_GRID = {
    "lowpass": [16.3, 20],
    "highpass": ["1/0.3", "1/0.5", "1/0.8", "1/1.2", "3/1.5", "3/3"],
    "swing": [150, 200, 250, 375],
    # all stages; without the high-pass; without derivative and squaring;
    # smoothing only
    "mask": [127, 125, 115, 113],
    "derivative": [2, 5],
    "peak": [1],
    "beat": [1, 3],
}

# Synthetic rhythms: (name, range of the RR standard deviation as a fraction
# of the mean, range of the premature-beat fraction). "sinus" has the rate
# variability of a resting heart and no premature beats; "ectopic" adds
# premature beats with compensatory pauses and more variability.
SYNTHETIC_RHYTHMS = [("sinus", (0.0, 0.04), (0.0, 0.0)), ("ectopic", (0.02, 0.06), (0.0, 0.08))]

TOLERANCE_BPM = 5.0
NO_RATE_QI = 3


def run(command):
    result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit("failed: %s\n%s" % (" ".join(command), result.stderr))
    return result.stdout


def synth_options(generator, kind, rhythm, length):
    _, variability, ectopic = rhythm
    pulse = kind == "pulse"
    return [
        "--kind", kind,
        "--bpm", "%.1f" % generator.uniform(40, 200),
        "--variability", "%.3f" % generator.uniform(*variability),
        "--ectopic", "%.3f" % generator.uniform(*ectopic),
        "--noise", "%.1f" % generator.uniform(0.0, 5.0 if pulse else 8.0),
        "--wander", "%.1f" % generator.uniform(0.0, 100.0 if pulse else 60.0),
        "--amplitude", "%.0f" % generator.uniform(60 if pulse else 120, 300 if pulse else 400),
        "--offset", "%.0f" % generator.uniform(350, 650),
        "--length", str(length),
        "--rate", str(RATE),
        "--seed", str(generator.randrange(1, 1 << 30)),
        "--manifest",
    ]


def synthetic_set(qzkit, workdir, kind, rhythm, count, seed):
    """Writes `count` windows of each length and one manifest naming them all,
    each with the reference columns of its own manifest (the rate is scored,
    not the beats, so the beat files the single manifests name are left out)."""
    directory = os.path.join(workdir, "synth-%s-%s" % (kind, rhythm[0]))
    manifest = os.path.join(directory, "all.manifest.csv")
    if os.path.exists(manifest):
        return manifest
    os.makedirs(directory, exist_ok=True)
    generator = random.Random(seed)
    header, rows = None, []
    for index in range(count):
        for length in (1500, 600):
            base = os.path.join(directory, "%04d_%d" % (index, length))
            run([qzkit, "synth", base] + synth_options(generator, kind, rhythm, length))
            with open(base + ".manifest.csv") as single:
                lines = list(csv.reader(single))
            header = lines[0][:lines[0].index("beats_file")]
            rows.extend(line[:len(header)] for line in lines[1:])
    with open(manifest + ".tmp", "w", newline="") as combined:
        writer = csv.writer(combined)
        writer.writerow(header)
        writer.writerows(rows)
    os.replace(manifest + ".tmp", manifest)
    return manifest


def record_sets(qzkit, workdir, record):
    """Both leads of a WFDB record, 1500- and 600-sample windows every 3 s."""
    manifests = []
    name = os.path.basename(record)
    for channel in (0, 1):
        for window in (1500, 600):
            directory = os.path.join(workdir, "%s-lead%d-%d" % (name, channel, window))
            manifest = os.path.join(directory, name + ".manifest.csv")
            if not os.path.exists(manifest):
                os.makedirs(directory, exist_ok=True)
                run([qzkit, "convert", record + ".hea", "--channel", str(channel), "--window", str(window),
                     "--step", str(WINDOW_STEP), "--rate", str(RATE), "--output-dir", directory,
                     "--name", name, "--annotations", record + ".atr"])
            manifests.append(manifest)
    return manifests


def grid_points(grid):
    """Every combination, leaving out settings the mask makes irrelevant."""
    keys = list(grid)
    seen, points = set(), []
    for values in itertools.product(*(grid[key] for key in keys)):
        point = dict(zip(keys, values))
        if not point["mask"] & 2:
            point["highpass"] = grid["highpass"][0]
        if not point["mask"] & 4:
            point["derivative"] = grid["derivative"][0]
        signature = tuple(point.values())
        if signature not in seen:
            seen.add(signature)
            points.append(point)
    return points


def design(qzkit, workdir, point):
    order, cutoff = point["highpass"].split("/")
    path = os.path.join(workdir, "lp%g-hp%s-%s-sw%g.pvx.filters.v1" % (point["lowpass"], order, cutoff,
                                                                      point["swing"]))
    if not os.path.exists(path):
        run([qzkit, "constants", "design", "--rate", str(RATE), "--lowpass", str(point["lowpass"]),
             "--highpass", cutoff, "--highpass-order", order, "--swing", str(point["swing"]),
             "--min-bpm", str(MIN_BPM), "--max-bpm", str(MAX_BPM), "--out", path])
    return path


def share(part, whole, empty=0.0):
    return round(100.0 * part / whole, 2) if whole else empty


def evaluate(qzkit, manifest, constants, point):
    """Scores of one point on one set, from evaluate's per-window CSV."""
    with tempfile.TemporaryDirectory() as scratch:
        path = os.path.join(scratch, "windows.csv")
        run([qzkit, "evaluate", manifest, "--constants", constants, "--mask", str(point["mask"]),
             "--derivative", str(point["derivative"]), "--peak", str(point["peak"]),
             "--beat-method", str(point["beat"]), "-o", path])
        with open(path, newline="") as table:
            windows = [row for row in csv.DictReader(table) if row["reference_bpm"] != ""]
    if not windows:
        sys.exit("no window of %s has a reference rate" % manifest)
    answered = [row for row in windows if int(row["qi"]) < NO_RATE_QI]
    errors = [abs(float(row["error_bpm"])) for row in answered]
    qi0 = [row for row in answered if int(row["qi"]) == 0]
    within = sum(error <= TOLERANCE_BPM for error in errors)
    scores = {
        "coverage": share(len(answered), len(windows)),
        "within5": share(within, len(answered)),
        "mae": round(sum(errors) / len(errors), 2) if errors else 0.0,
        "qi0_windows": len(qi0),
        "qi0_within5": share(sum(abs(float(row["error_bpm"])) <= TOLERANCE_BPM for row in qi0), len(qi0), 100.0),
    }
    # share of all windows with a reference that are answered and within +-5 BPM
    scores["within5_all"] = share(within, len(windows))
    return scores


def report(rows, keys, top):
    by_point = {}
    for row in rows:
        by_point.setdefault(tuple(row[key] for key in keys), []).append(row)
    ranked = sorted(by_point.items(), key=lambda item: (-min(r["within5_all"] for r in item[1]),
                                                        -sum(r["within5_all"] for r in item[1])))
    set_names = [row["set"] for row in next(iter(by_point.values()))]
    print(" ".join("%-10s" % key for key in keys) + "   worst  " + "  ".join(set_names))
    for point, point_rows in ranked[:top]:
        worst = min(r["within5_all"] for r in point_rows)
        cells = "  ".join("%5.1f/%5.1f" % (r["within5_all"], r["qi0_within5"]) for r in point_rows)
        mark = " " if all(r["qi0_within5"] >= QI0_BAR for r in point_rows) else "!"
        print(" ".join("%-10s" % value for value in point) + " %s %5.1f  %s" % (mark, worst, cells))
    print("cells: %% of windows answered and within +-5 BPM / %% of QI 0 answers within +-5 BPM;"
          " !: QI 0 below %g %% on some set" % QI0_BAR)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--qzkit", required=True, help="path of the built qzkit program")
    parser.add_argument("--kind", choices=("ecg", "pulse"), required=True)
    parser.add_argument("--workdir", required=True, help="scratch directory (created)")
    parser.add_argument("--record", help="WFDB record path without extension, with a .atr beside it")
    parser.add_argument("--synthetic", type=int, default=150, help="synthetic windows of each length")
    parser.add_argument("--baseline", help="also score this constants file, with the grid's first settings")
    parser.add_argument("--top", type=int, default=25, help="points to list")
    arguments = parser.parse_args()

    os.makedirs(arguments.workdir, exist_ok=True)
    seed = 20240 if arguments.kind == "ecg" else 20241
    sets = [synthetic_set(arguments.qzkit, arguments.workdir, arguments.kind, rhythm, arguments.synthetic, seed + i)
            for i, rhythm in enumerate(SYNTHETIC_RHYTHMS)]
    if arguments.record:
        sets += record_sets(arguments.qzkit, arguments.workdir, arguments.record)
    grid = ECG_GRID if arguments.kind == "ecg" else PULSE_GRID
    points = grid_points(grid)
    candidates = [(point, design(arguments.qzkit, arguments.workdir, point)) for point in points]
    if arguments.baseline:
        candidates.insert(0, (dict(points[0], lowpass="baseline", highpass="", swing=""), arguments.baseline))

    rows = []
    for number, (point, constants) in enumerate(candidates, 1):
        for manifest in sets:
            scores = evaluate(arguments.qzkit, manifest, constants, point)
            rows.append(dict(point, set=os.path.basename(os.path.dirname(manifest)), **scores))
        print("\r%d of %d points" % (number, len(candidates)), end="", file=sys.stderr, flush=True)
    print(file=sys.stderr)

    results = os.path.join(arguments.workdir, "results.csv")
    with open(results + ".tmp", "w", newline="") as output:
        writer = csv.DictWriter(output, fieldnames=list(rows[0]))
        writer.writeheader()
        writer.writerows(rows)
    os.replace(results + ".tmp", results)
    report(rows, list(grid), arguments.top)
    print("all results in %s" % results)


if __name__ == "__main__":
    main()
