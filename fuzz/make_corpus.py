#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Writes the fuzzer's seed corpus (fuzz/corpus/driver/) from the shipped constants
examples and a synthetic ECG, in the input layout of FuzzDriver.cpp.

Run again after changing the layout or the examples:  fuzz/make_corpus.py
"""
import glob
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
CORPUS = os.path.join(HERE, "corpus", "driver")


def control(constants=0, record=0, mode=2, stray=0):
    """Control byte: constants choice, record choice, argument mode, stray byte."""
    return bytes([constants | (record << 2) | (mode << 4) | (stray << 7)])


def byte_argument(value):
    """An optional argument given as the decimal text of one byte."""
    return bytes([0, value])


def odd_argument(index):
    """An optional argument taken from the driver's table of odd texts."""
    return bytes([2 | (index << 2)])


def synthetic_ecg(samples, period):
    """Baseline near 500 with a narrow R wave and a broad T wave every `period` samples."""
    out = []
    for n in range(samples):
        phase = n % period
        value = 500 + 12 * math.sin(2 * math.pi * n / 700)
        value += 380 * math.exp(-((phase - 40) / 3.0) ** 2)
        value -= 60 * math.exp(-((phase - 46) / 2.0) ** 2)
        value += 70 * math.exp(-((phase - 110) / 14.0) ** 2)
        out.append(max(0, min(1023, int(value))))
    return struct.pack("<%dH" % samples, *out)


def main():
    constants_files = sorted(glob.glob(os.path.join(ROOT, "examples", "*.pvx.filters.v1")))
    recordings = sorted(glob.glob(os.path.join(ROOT, "examples", "*.ecg")))
    os.makedirs(CORPUS, exist_ok=True)
    for old in glob.glob(os.path.join(CORPUS, "seed-*")):
        os.remove(old)

    seeds = {}
    for path in constants_files:
        name = os.path.basename(path).split(".")[0]
        image = open(path, "rb").read()[:31]
        # Default run on a full 1500-sample ECG at 75 beats per minute.
        seeds[name + "-default"] = control(mode=0) + image + synthetic_ecg(1500, 200)
        # Every setting given: variable threshold, template matching, 5-point
        # derivative, log level 4; a 600-sample record with irregular beats.
        settings = b"".join(byte_argument(v) for v in (127, 1, 1, 5, 4))
        irregular = synthetic_ecg(300, 140) + synthetic_ecg(300, 95)
        seeds[name + "-600-all-settings"] = control(record=2, mode=5) + settings + image + irregular
        # Absolute threshold, level-based and statistical methods on a short
        # periodic pattern (repeated by the driver).
        for method in (2, 3):
            settings = b"".join(byte_argument(v) for v in (127, 0, method, 2, 3))
            pulse = struct.pack("<8H", 0, 0, 300, 900, 300, 0, 0, 0) + b"\0" * 34
            seeds["%s-method%d" % (name, method)] = control(mode=5) + settings + image + pulse
        # Odd settings: a mask of -1 (all bits) and texts strtol must survive.
        settings = odd_argument(1) + odd_argument(8) + odd_argument(10) + odd_argument(4) + odd_argument(3)
        seeds[name + "-odd-settings"] = control(mode=5) + settings + image + synthetic_ecg(64, 50)
        # Inputs that must be rejected: a 30-byte constants file, a 1000-sample record.
        seeds[name + "-short-constants"] = control(constants=3, mode=0) + bytes([30]) + image[:30]
        seeds[name + "-1000-samples"] = control(record=3, mode=0) + struct.pack("<H", 2000) + image + b"\x01\x02"
    for path in recordings:
        name = os.path.basename(path).split(".")[0]
        data = open(path, "rb").read()[:3000]
        image = open(constants_files[0], "rb").read()[:31] if constants_files else bytes(31)
        record = 2 if len(data) == 1200 else 0
        seeds[name + "-recording"] = control(record=record, mode=0) + image + data

    for name, data in sorted(seeds.items()):
        with open(os.path.join(CORPUS, "seed-" + name), "wb") as f:
            f.write(data)
    print("wrote %d seeds to %s" % (len(seeds), CORPUS))


if __name__ == "__main__":
    main()
