#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Writes the seeds of the WFDB reader targets (fuzz/corpus/Wfdb*/) from the
shipped examples: headers of every layout, one example recording stored in
every signal format (header, NUL, signal file) and its beats as an MIT
annotation file.

Run again after changing the examples:  fuzz/make_wfdb_corpus.py
"""
import glob
import os
import struct

from make_tool_corpus import EXAMPLES, read, write_seeds

SAMPLES = 300


def recording():
    path = sorted(glob.glob(os.path.join(EXAMPLES, "*.ecg")))[0]
    data = read(path)
    return [v - 512 for v in struct.unpack("<%dH" % SAMPLES, data[:2 * SAMPLES])]


def pack(fmt, values):
    """Signal bytes of `values` (interleaved) in WFDB format `fmt`."""
    if fmt in (16, 24, 32):
        width = fmt // 8
        return b"".join((v & ((1 << fmt) - 1)).to_bytes(width, "little") for v in values)
    if fmt == 61:
        return b"".join((v & 0xFFFF).to_bytes(2, "big") for v in values)
    if fmt == 160:
        return b"".join((v + 32768).to_bytes(2, "little") for v in values)
    if fmt == 80:
        return bytes((v >> 2) + 128 for v in values)
    if fmt == 8:
        previous, out = 0, bytearray()
        for v in values:
            step = max(-128, min(127, v - previous))
            previous += step
            out.append(step & 0xFF)
        return bytes(out)
    if fmt == 212:
        out = bytearray()
        for i in range(0, len(values) - 1, 2):
            a, b = values[i] & 0xFFF, values[i + 1] & 0xFFF
            out += bytes((a & 0xFF, (a >> 8) | ((b >> 8) << 4), b & 0xFF))
        return bytes(out)
    out = bytearray()  # 310, 311: three 10-bit values per 32 bits
    for i in range(0, len(values) - 2, 3):
        a, b, c = (v >> 1 & 0x3FF for v in values[i:i + 3])
        if fmt == 311:
            out += (a | b << 10 | c << 20).to_bytes(4, "little")
        else:
            out += ((a << 1 | (c & 0x1F) << 11).to_bytes(2, "little") + (b << 1 | (c >> 5) << 11).to_bytes(2, "little"))
    return bytes(out)


def crc(data, poly, bits):
    value, top, mask = 0, 1 << (bits - 1), (1 << bits) - 1
    for byte in data:
        value ^= byte << (bits - 8)
        for _ in range(8):
            value = ((value << 1) ^ poly if value & top else value << 1) & mask
    return value


def flac(channels, bits):
    """A FLAC stream of one frame of verbatim subframes."""
    count = len(channels[0])
    info = (struct.pack(">HH", count, count) + b"\0" * 6 +
            ((250 << 44) | ((len(channels) - 1) << 41) | ((bits - 1) << 36) | count).to_bytes(8, "big") + b"\0" * 16)
    size_code = {8: 1, 16: 4, 24: 6}[bits]
    header = bytes((0xFF, 0xF8, 0x70, (len(channels) - 1) << 4 | size_code << 1, 0)) + struct.pack(">H", count - 1)
    frame = header + bytes((crc(header, 0x07, 8),))
    for values in channels:
        frame += b"\x02" + b"".join((v & ((1 << bits) - 1)).to_bytes(bits // 8, "big") for v in values)
    frame += struct.pack(">H", crc(frame, 0x8005, 16))
    return b"fLaC" + bytes((0x80, 0, 0, 34)) + info + frame


def signal_seeds(values):
    seeds = {}
    for fmt in (8, 16, 24, 32, 61, 80, 160, 212, 310, 311):
        header = "r 2 250 %d\nd %d 200(0)/mV 12 0 0 0 0 I\nd %d 200 12 0 0 0 0 II\n" % (len(values) // 2, fmt, fmt)
        seeds["format%d" % fmt] = header.encode() + b"\0" + pack(fmt, values[:len(values) // 6 * 6])
    seeds["frame-skew-offset"] = (b"r 2 250\r\n# comment\r\n\r\nd 16x2:1+4 0 16 0 0 0 0 I\r\nd 16 100/uV 16 0 0 0 0 II\r\n"
                                  b"\0" + b"skip" + pack(16, values))
    for fmt, bits in ((508, 8), (516, 16), (524, 24)):
        scaled = [v >> (16 - bits) if bits < 16 else v << (bits - 16) for v in values[:200]]
        seeds["flac%d" % fmt] = (("r 2 250 100\nd %d 200 %d 0 0 0 0 I\nd %d 200 %d 0 0 0 0 II\n" % (fmt, bits, fmt, bits))
                                 .encode() + b"\0" + flac([scaled[0::2], scaled[1::2]], bits))
    return seeds


def header_seeds():
    return {
        "single.hea": b"100 2 360 650000 0:0:0 01/01/2000\n100.dat 212 200 11 1024 995 -22131 0 MLII\n"
                      b"100.dat 212 200 11 1024 1011 20052 0 V5\n# comment\n",
        "fields.hea": b"r 3 500/1000(2) 10\r\n\r\nr.dat 16x4:2+512 0(-5)/uV 16 0 0 0 0 a b\r\n"
                      b"r.dat 16 12.5 12\r\ns.dat 524 200(0)/mmHg 24 0 0 0 0\r\n",
        "fixed.hea": b"m/2 7 125 2000\nm01 1000\nm02 1000\n",
        "variable.hea": b"m/4 2 125 5000\nm_layout 0\n~ 1000\nm_1 2000\nm_2 2000\n",
        "layout.hea": b"m_layout 2 125 0\n~ 0 255(-128)/NU 8 0 -128 0 0 PLETH\n~ 0x4 2000 12 0 0 0 0 II\n",
    }


def annotation_seed(beat_times):
    """MIT annotations: a rhythm note with text, beats (a long gap as SKIP), the end marker."""
    words = [28 << 10 | 1, 63 << 10 | 2]
    out = struct.pack("<HH", *words) + b"(N"
    time = 1
    for i, t in enumerate(beat_times):
        sample = int(round(t * 250)) + (100000 if i == len(beat_times) - 1 else 0)
        step = sample - time
        if step > 1023:
            out += struct.pack("<H", 59 << 10) + struct.pack("<HH", step >> 16, step & 0xFFFF) + struct.pack("<H", 1 << 10)
        else:
            out += struct.pack("<H", 1 << 10 | step)
        time = sample
    out += struct.pack("<HH", 62 << 10 | 1, 61 << 10 | 2)
    return out + b"\0\0"


def main():
    values = recording()
    write_seeds("WfdbHeader", header_seeds())
    write_seeds("WfdbSignal", signal_seeds(values))
    beats = sorted(glob.glob(os.path.join(EXAMPLES, "*.beats.csv")))[0]
    times = [float(line.split(",")[1]) for line in read(beats).decode().splitlines()[1:] if line.strip()]
    write_seeds("WfdbAnnotation", {"beats.atr": annotation_seed(times)})


if __name__ == "__main__":
    main()
