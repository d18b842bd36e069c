#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Make the data sets the shipped constants were tuned on, then run `qzkit constants tune`.

A thin wrapper: the search, the scores, the Pareto set and the chosen set are
all `qzkit constants tune`'s (see docs/constants.md, "Tuning"). This script
only makes the windows it trains and validates on, deterministically (fixed
seeds), in the work directory, never in the source tree:

  ecg:   synthetic ECG windows (1500 and 600 samples) with rates from 40 to
         200 BPM and varied noise, baseline wander, amplitude and offset, one
         set in sinus rhythm and one with premature beats; with --record,
         also a WFDB record converted to 250 Hz windows every 3 s, each lead,
         both lengths.
  pulse: synthetic pulse (PPG) windows with the same kinds of variation.

Training: the record's 1500-sample windows of both leads (ECG), or the
synthetic sets (pulse). Validation, only scored: the record's 600-sample
windows and synthetic sets made with other seeds. Arguments after `--` go
to `qzkit constants tune` unchanged (ranges, requirements, --pick, -o ...).
Not run by CI; needs python3 and a built qzkit.

  scripts/sweep-constants.py --qzkit build/tools/qzkit --kind ecg \\
      --record ../shared/ecg/mitdb-100/100 --workdir /tmp/tune-ecg -- \\
      --start examples/ecg250-original --require 'qi0_right>=100' --require 'within5>=97' --pick battery
  scripts/sweep-constants.py --qzkit build/tools/qzkit --kind pulse --workdir /tmp/tune-pulse -- \\
      --battery pulse --highpass-order 1 --highpass 0.2:2 --settings '115 1 1 2' --pick battery
"""

import argparse
import csv
import os
import random
import subprocess
import sys

RATE = 250
WINDOW_STEP = 750  # 3 s at 250 Hz
TRAINING_WINDOWS, VALIDATION_WINDOWS = 150, 60

# Synthetic rhythms: (name, range of the RR standard deviation as a fraction
# of the mean, range of the premature-beat fraction). "sinus" has the rate
# variability of a resting heart and no premature beats; "ectopic" adds
# premature beats with compensatory pauses and more variability.
SYNTHETIC_RHYTHMS = [("sinus", (0.0, 0.04), (0.0, 0.0)), ("ectopic", (0.02, 0.06), (0.0, 0.08))]


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
    so the beat files the single manifests name are left out)."""
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


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--qzkit", required=True, help="path of the built qzkit program")
    parser.add_argument("--kind", choices=("ecg", "pulse"), required=True)
    parser.add_argument("--workdir", required=True, help="scratch directory (created)")
    parser.add_argument("--record", help="WFDB record path without extension, with a .atr beside it")
    parser.add_argument("tune", nargs="*", help="arguments for qzkit constants tune (after --)")
    arguments = parser.parse_args()

    os.makedirs(arguments.workdir, exist_ok=True)
    seed = 20240 if arguments.kind == "ecg" else 20241
    training, validation = [], []
    for i, rhythm in enumerate(SYNTHETIC_RHYTHMS):
        validation.append(synthetic_set(arguments.qzkit, os.path.join(arguments.workdir, "valid"), arguments.kind,
                                        rhythm, VALIDATION_WINDOWS, seed + 1000 + 10 * i))
        if arguments.kind == "pulse":
            training.append(synthetic_set(arguments.qzkit, os.path.join(arguments.workdir, "train"), arguments.kind,
                                          rhythm, TRAINING_WINDOWS, seed + 10 * i))
    if arguments.record:
        for manifest in record_sets(arguments.qzkit, arguments.workdir, arguments.record):
            (training if "-1500" in os.path.dirname(manifest) else validation).append(manifest)
    command = [arguments.qzkit, "constants", "tune"]
    command += [argument for manifest in training for argument in ("--manifest", manifest)]
    command += [argument for manifest in validation for argument in ("--validate", manifest)]
    sys.exit(subprocess.run(command + arguments.tune).returncode)


if __name__ == "__main__":
    main()
