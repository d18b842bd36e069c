# SPDX-License-Identifier: Apache-2.0
import numpy as np
import pytest

import qzkit
from conftest import EXAMPLES


@pytest.mark.parametrize("name", ["ecg250", "ppg250"])
def test_constants_round_trip_and_text_form(qzkit_cli, tmp_path, name):
    constants = qzkit.Constants.read(EXAMPLES / name)
    assert bytes(constants) == (EXAMPLES / f"{name}.pvx.filters.v1").read_bytes()
    assert qzkit.Constants.from_text((EXAMPLES / f"{name}.constants.txt").read_text()) == constants
    assert qzkit.Constants.from_text(constants.to_text()) == constants
    assert constants.to_text() in qzkit_cli(tmp_path, "constants", "show", EXAMPLES / f"{name}.pvx.filters.v1")
    constants.write(tmp_path / "copy.pvx.filters.v1")
    assert qzkit.Constants.read(tmp_path / "copy") == constants


@pytest.mark.parametrize(
    "choices, options",
    [({}, []), ({"lowpass": 16.3, "highpass": 0.5, "highpass_order": 1, "max_bpm": 200}, ["--lowpass", 16.3, "--highpass", 0.5, "--highpass-order", 1, "--max-bpm", 200])],
)
def test_design_as_the_command(qzkit_cli, tmp_path, choices, options):
    printed = qzkit_cli(tmp_path, "constants", "design", "--out", "d.pvx.filters.v1", *options)
    designed = qzkit.Constants.design(**choices)
    assert bytes(designed) == (tmp_path / "d.pvx.filters.v1").read_bytes()
    assert designed.description.splitlines()[0] in printed


@pytest.mark.parametrize(
    "field, value, stored",
    [("MinBPM", 40, 40), ("Period", 0.004, 0.003999948501586914), ("LPFConstants", [1, 2, 3, 4, 5], (1, 2, 3, 4, 5)),
     ("MinBPM", 70000, qzkit.Error), ("LPFConstants", [1, 2], qzkit.Error), ("Nothing", 1, AttributeError),
     ("MinBPM", 30.7, TypeError), ("Period", "0.004", TypeError)],  # never cut or parsed on the way
)
def test_fields_by_name(field, value, stored):
    constants = qzkit.Constants.read(EXAMPLES / "ecg250")
    if isinstance(stored, type):
        with pytest.raises(stored):
            setattr(constants, field, value)
    else:
        changed = constants.replace(**{field: value})
        assert getattr(changed, field) == stored
        assert qzkit.Constants.from_text(changed.to_text()) == changed


@pytest.mark.parametrize("options, python", [([], {}), (["--ac-coupling", 0.5, "--gain", 150, "--quality", "fast", "--window", 600, "--step", 300], {"ac_coupling": 0.5, "gain": 150, "quality": "fast"})])
def test_reader_and_front_end_as_convert(qzkit_cli, tmp_path, options, python):
    qzkit_cli(tmp_path, "synth", "s", "--wfdb", "--rate", 360, "--length", 9000, "--noise", 5)
    qzkit_cli(tmp_path, "convert", "s.hea", "--output-dir", tmp_path, *options)
    recording = qzkit.read_record(tmp_path / "s.hea", "synthetic")
    samples = qzkit.front_end(recording.signal, recording.rate, units=recording.units, **python)
    length, step = (600, 300) if options else (1500, None)
    cut = qzkit.windows(samples, length, step)
    files = sorted(tmp_path.glob("s_*.ecg"))
    assert len(cut) == len(files) > 0
    for window, path in zip(cut, files):
        np.testing.assert_array_equal(window, np.fromfile(path, dtype="<u2"))
