#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Writes the seeds of the companion program's parser targets
(fuzz/corpus/<Name>/ for fuzz/tools/<Name>Fuzz.cpp) from the shipped examples:
their beat tables, constants texts, a manifest of their recordings and an EDF
file holding one of them. Seeds kept from findings (not named seed-*) stay.

Run again after changing the examples:  fuzz/make_tool_corpus.py
"""
import glob
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.path.join(os.path.dirname(HERE), "examples")
RATE = 250


def field(text, width):
    """An EDF header field: ASCII, left-aligned, space-padded."""
    return text.ljust(width).encode("ascii")[:width]


def edf_file(samples, label):
    """One-signal EDF: one data record per second of 16-bit samples 0..1023."""
    records = len(samples) // RATE
    header = (field("0", 8) + field("X X X X", 80) + field("Startdate 01-JAN-2020 X X X", 80)
              + field("01.01.20", 8) + field("00.00.00", 8) + field(str(512), 8) + field("", 44)
              + field(str(records), 8) + field("1", 8) + field("1", 4))
    signal = (field(label, 16) + field("", 80) + field("mV", 8) + field("-3.3", 8) + field("3.3", 8)
              + field("0", 8) + field("1023", 8) + field("", 80) + field(str(RATE), 8) + field("", 32))
    data = struct.pack("<%dh" % (records * RATE), *samples[:records * RATE])
    return header + signal + data


def manifest(recordings):
    """A manifest listing each example recording as one window."""
    rows = ["file,start_sample,start_time_s,samples,rate_hz,reference_beats,reference_bpm"]
    for i, (path, size) in enumerate(recordings):
        rows.append("%s,%d,%.6f,%d,%d,%s,%s" % (os.path.basename(path), i * 1500, i * 6.0, size // 2, RATE,
                                                "7" if i else "", "72.000" if i else ""))
    return ("\n".join(rows) + "\n").encode("ascii")


def write_seeds(target, seeds):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    for old in glob.glob(os.path.join(folder, "seed-*")):
        os.remove(old)
    for name, data in seeds.items():
        with open(os.path.join(folder, "seed-" + name), "wb") as f:
            f.write(data)
    print("wrote %d seeds to %s" % (len(seeds), folder))


def read(path):
    with open(path, "rb") as f:
        return f.read()


def main():
    beats = sorted(glob.glob(os.path.join(EXAMPLES, "*.beats.csv")))
    texts = sorted(glob.glob(os.path.join(EXAMPLES, "*.constants.txt")))
    recordings = sorted(glob.glob(os.path.join(EXAMPLES, "*.ecg")))
    write_seeds("CsvTable", {os.path.basename(p): read(p) for p in beats})
    write_seeds("ConstantsText", {os.path.basename(p): read(p) for p in texts})
    write_seeds("Manifest", {"manifest.csv": manifest([(p, len(read(p))) for p in recordings])})
    samples = struct.unpack("<%dH" % (len(read(recordings[0])) // 2), read(recordings[0]))
    write_seeds("EdfRecording", {"ecg.edf": edf_file(list(samples), "ECG")})


if __name__ == "__main__":
    main()
