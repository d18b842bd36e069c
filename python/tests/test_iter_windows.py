# SPDX-License-Identifier: Apache-2.0
"""iter_windows gives convert's windows while it reads the record, in memory that does not
grow with the record's length."""
import subprocess
import sys

import numpy as np

import qzkit

RATE = 250
SEGMENT = 12 * 3600 * RATE  # 12 hours
GAP = RATE  # a null segment of 1 s between the two


def test_same_windows_as_in_memory(tmp_path, qzkit_cli):
    qzkit_cli(tmp_path, "synth", "s", "--bpm", "70", "--noise", "4", "--length", "20000", "--wfdb")
    recording = qzkit.read_record(tmp_path / "s.hea")
    mapped = qzkit.front_end(recording.signal, recording.rate, ac_coupling=0.5)
    expected = qzkit.windows(mapped, 600, 450)
    walked = list(qzkit.iter_windows(tmp_path / "s.hea", length=600, step=450, ac_coupling=0.5))
    assert [start for start, _ in walked] == list(range(0, 450 * len(expected), 450))
    assert np.array_equal(np.stack([window for _, window in walked]), expected)


# The peak resident memory of the walking process (its own: not inherited from this one).
WALK = """
import sys
import qzkit
def peak_kb():
    with open("/proc/self/status") as status:
        return next(int(line.split()[1]) for line in status if line.startswith("VmHWM:"))
before = peak_kb()
starts = [start for start, window in qzkit.iter_windows(sys.argv[1])]
print(len(starts), starts[7199], starts[7200], before, peak_kb())
"""


def test_a_day_long_record_walks_in_bounded_memory(tmp_path):
    """24 hours at 250 Hz in two segments with a null segment between them: 43 MB of samples,
    173 MB as the doubles of a whole-record read. The walk stays under 100 MB of resident
    memory, within 20 MB of the interpreter with qzkit imported."""
    beat = np.zeros(200, dtype="<i2")
    beat[:9] = [20, 60, 140, 200, 140, 60, 20, 0, -20]
    np.tile(beat, SEGMENT // len(beat)).tofile(tmp_path / "half.dat")
    (tmp_path / "half.hea").write_text(f"half 1 {RATE} {SEGMENT}\nhalf.dat 16 200 16 0 0 0 0 ECG\n")
    (tmp_path / "day.hea").write_text(f"day/3 1 {RATE} {2 * SEGMENT + GAP}\nhalf {SEGMENT}\n~ {GAP}\nhalf {SEGMENT}\n")
    done = subprocess.run(
        [sys.executable, "-P", "-c", WALK, str(tmp_path / "day.hea")], check=True, capture_output=True, text=True
    )
    windows, last_before_gap, first_after_gap, before_kb, peak_kb = map(int, done.stdout.split())
    assert last_before_gap == SEGMENT - 1500
    assert first_after_gap == (SEGMENT + GAP + 1499) // 1500 * 1500  # the first start inside the second run
    assert windows == 7200 + (2 * SEGMENT + GAP - first_after_gap) // 1500
    assert peak_kb < 100 * 1024 and peak_kb - before_kb < 20 * 1024, (before_kb, peak_kb)
