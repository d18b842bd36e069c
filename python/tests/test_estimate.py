# SPDX-License-Identifier: Apache-2.0
import threading

import numpy as np
import pytest

import qzkit
from conftest import EXAMPLES

ECG = EXAMPLES / "ecg250"
PPG = EXAMPLES / "ppg250"


def synthetic(rng):
    """A recording of random length, rate, shape and noise; some words carry bits above the low 10."""
    length = int(rng.choice([1500, 600]))
    t = np.arange(length)
    period = 15000 / rng.uniform(25, 260)
    beats = np.arange(rng.uniform(0, period), length, period)
    width = rng.uniform(2, 25)
    pulse = np.exp(-0.5 * ((t[:, None] - beats[None, :]) / width) ** 2).sum(axis=1)
    signal = rng.uniform(100, 900) + rng.uniform(-400, 400) * pulse + rng.normal(0, rng.uniform(0, 60), length)
    signal += rng.uniform(0, 200) * np.sin(2 * np.pi * t / rng.uniform(200, 3000))
    words = np.clip(np.round(signal), 0, 1023).astype(np.uint16)
    words[rng.random(length) < 0.02] |= np.uint16(rng.integers(1, 64) << 10)
    return words


def random_settings(rng):
    mask = 127 if rng.random() < 0.5 else int(rng.integers(0, 256))
    return mask, int(rng.integers(0, 3)), int(rng.integers(0, 9)), int(rng.choice([2, 3, 5]))


def generated_cases(count=300):
    rng = np.random.default_rng(17)
    return [(ECG if rng.random() < 0.7 else PPG, synthetic(rng), random_settings(rng)) for _ in range(count)]


def shipped_cases():
    ecg = lambda name: np.fromfile(EXAMPLES / f"{name}.ecg", dtype="<u2")
    return [
        (ECG, ecg("ecg_72bpm"), (127, 1, 1, 2)),
        (ECG, ecg("ecg_72bpm"), (127, 0, 2, 5)),
        (ECG, ecg("ecg_60bpm_600"), (127, 1, 3, 2)),
        (PPG, ecg("ppg_66bpm"), (115, 1, 1, 2)),
        (ECG, ecg("ppg_66bpm"), (-1, 4, 9, 5)),
    ]


def tool_outputs(tool, folder, constants, samples, settings):
    """The result record and the stage dumps of the tool run on `samples`."""
    samples.astype("<u2").tofile(folder / "r.ecg")
    tool(folder, constants, "r", *settings)
    dumps = {path.suffix[1:]: np.fromfile(path, dtype="<u2") for path in folder.glob("r.*")}
    del dumps["ecg"]
    return dumps.pop("out"), dumps


@pytest.mark.parametrize("constants, samples, settings", shipped_cases() + generated_cases())
def test_same_record_and_stages_as_the_tool(tool, tmp_path, constants, samples, settings):
    record, dumps = tool_outputs(tool, tmp_path, constants, samples, settings)
    result = qzkit.estimate(samples, constants, *settings, stages=True)
    np.testing.assert_array_equal(result.record, record)
    assert result.stages.keys() == dumps.keys()
    for name, dump in dumps.items():
        np.testing.assert_array_equal(result.stages[name], dump, err_msg=name)


def test_result_fields_read_the_record():
    result = qzkit.estimate(np.fromfile(EXAMPLES / "ecg_72bpm.ecg", dtype="<u2"), ECG)
    assert (result.bpm, result.qi, result.classified, result.peak_count) == (72, 0, False, 8)
    np.testing.assert_array_equal(result.peaks, result.record[4:12])
    assert result.statistics.Tegur == result.record[41] | result.record[42] << 16
    assert result.stages is None
    assert repr(result).startswith("Result(bpm=72, qi=0, peak_count=8, classified=False, record=array([")


@pytest.mark.parametrize("length", [1500, 600])
def test_batch_equals_single_runs_also_from_threads(length):
    cases = [case for case in generated_cases(60) if len(case[1]) == length]
    rows = np.stack([samples for _, samples, _ in cases])
    batch = qzkit.estimate_many(rows, ECG, 127, 1, 2, 5, stages=True)
    for index, samples in enumerate(rows):
        single = qzkit.estimate(samples, ECG, 127, 1, 2, 5, stages=True)
        np.testing.assert_array_equal(batch[index].record, single.record)
        for name, values in single.stages.items():
            np.testing.assert_array_equal(batch.stages[name][index], values)
    np.testing.assert_array_equal(batch.bpm, batch.records[:, 0])
    results = [None] * 4
    threads = [
        threading.Thread(target=lambda i=i: results.__setitem__(i, qzkit.estimate_many(rows, ECG, 127, 1, 2, 5)))
        for i in range(4)
    ]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for result in results:
        np.testing.assert_array_equal(result.records, batch.records)


def test_batches_from_iterators_of_no_runs_and_by_slice():
    rows = np.stack([GOOD, np.fromfile(EXAMPLES / "ecg_72bpm.ecg", dtype="<u2")])
    batch = qzkit.estimate_many(iter(rows), ECG, stages=True)
    np.testing.assert_array_equal(batch.records, qzkit.estimate_many(rows, ECG).records)
    assert isinstance(batch[-1], qzkit.Result) and batch[-1].bpm == 72
    tail = batch[1:]
    assert isinstance(tail, qzkit.Batch) and len(tail) == 1 and tail.stages["lowpass"].shape == (1, 1500)
    np.testing.assert_array_equal(tail.records[0], batch[1].record)
    assert len(qzkit.estimate_many([], ECG)) == 0


def short_file(folder):
    (folder / "short.pvx.filters.v1").write_bytes(bytes(30))
    return folder / "short"


GOOD = np.full(1500, 512, dtype=np.uint16)


@pytest.mark.parametrize(
    "call, error, message",
    [
        (lambda _: qzkit.estimate(GOOD.astype(float), ECG), ValueError, "integers .* not float64"),
        (lambda _: qzkit.estimate(GOOD.astype(int) - 513, ECG), ValueError, "0..65535"),
        (lambda _: qzkit.estimate(GOOD.astype(int) + 65024, ECG), ValueError, "0..65535"),
        (lambda _: qzkit.estimate(GOOD[:1000], ECG), qzkit.Error, "Error in reading record input, read 1000"),
        (lambda _: qzkit.estimate(np.stack([GOOD, GOOD]), ECG), ValueError, "1-D array, not 2-D"),
        (lambda _: qzkit.estimate_many(GOOD, ECG), ValueError, "2-D array, not 1-D"),
        (lambda _: qzkit.estimate(GOOD, EXAMPLES / "none"), FileNotFoundError, "Error in reading filter input, read 0"),
        (lambda tmp: qzkit.estimate(GOOD, short_file(tmp)), qzkit.Error, "Error in reading filter input, read 30"),
        (lambda _: qzkit.estimate(GOOD, bytes(30)), qzkit.Error, "31 bytes, not 30"),
        (lambda _: qzkit.estimate(GOOD, None), TypeError, "^estimate: constants are .* not NoneType"),
        (lambda _: qzkit.Constants(31), TypeError, "not the number 31"),
        (lambda _: qzkit.windows(GOOD, step=0), ValueError, "at least 1"),
    ],
)
def test_refusals_with_the_tools_message(tmp_path, call, error, message):
    with pytest.raises(error, match=message):
        call(tmp_path)


def test_one_version_for_package_tool_and_qzkit(tool, qzkit_cli, tmp_path):
    assert tool(tmp_path, "--version") == f"qz_vozozi_DE Version {qzkit.__version__}"
    assert qzkit_cli(tmp_path, "--version") == f"qzkit {qzkit.__version__}\n"
