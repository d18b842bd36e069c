# SPDX-License-Identifier: Apache-2.0
"""read_record and qzkit read a record with one reader: the same verdict, the same
message and the same channel rule, whatever the names in the files hold."""
import pytest

import qzkit


@pytest.fixture(scope="module")
def segments(tmp_path_factory, qzkit_cli):
    """A folder with segments "a" (1500 frames) and "b" (its file holds 1000) and a record that has segments itself."""
    folder = tmp_path_factory.mktemp("segments")
    for name in ("a", "b"):
        qzkit_cli(folder, "synth", name, "--wfdb")
    (folder / "b.hea").write_text("b 1 250 0\nb.dat 16 200 10 512 0 0 0 synthetic\n")
    with open(folder / "b.dat", "r+b") as data:
        data.truncate(2000)
    (folder / "deep.hea").write_text("deep/1 1 250 1500\na 1500\n")
    return folder


@pytest.mark.parametrize(
    "header, channel, message",
    [
        (b"ms/2 1 250 3000\na 1500\nb 1500\n", 0, "the segment holds 1000 frames, the record gives it 1500"),
        (b"ms/2 1 250 3000\na 1500\ndeep 1500\n", 0, "cannot itself have segments"),
        (b"ms/2 1 250 9999\na 1500\na 1500\n", 0, "the record has 9999 frames, its segments 3000"),
        (b"ms/2 1 250 3000\na 1500\n../a 1500\n", 0, "'../a' is not a file name beside the record"),
        (b"ms/1 1 250 0\na 0\n", 0, "no segment holds frames"),
        # Names that are not UTF-8 or hold a NUL: the whole message, such bytes shown as escapes.
        (b"ms 1 250 1500\nms.dat 16 200 10 0 0 0 0 d\xe9riv\n", "zz", "no channel 'zz'; channels are 0 'd\\xe9riv'"),
        (b"ms 1 250 1500\nms.dat 16 200 10 0 0 0 0 a\x00b\n", "zz", "no channel 'zz'; channels are 0 'a?b'"),
    ],
)
def test_refusals_are_the_commands(segments, qzkit_refusal, monkeypatch, header, channel, message):
    (segments / "ms.hea").write_bytes(header)
    (segments / "ms.dat").write_bytes(bytes(3000))
    monkeypatch.chdir(segments)  # the record named as the commands are given it
    with pytest.raises(qzkit.Error) as refused:
        qzkit.read_record("ms", channel)
    assert message in str(refused.value)
    for command in ("export", "convert"):
        line = qzkit_refusal(segments, command, "ms", "--channel", channel)
        assert line == f"qzkit {command}: error: {refused.value}\n"


def write_table(path, names):
    rows = (",".join(str(row * (column + 1) % 7) for column in range(len(names))) for row in range(1500))
    path.write_text(",".join(names) + "\n" + "\n".join(rows) + "\n")


@pytest.mark.parametrize(
    "channel, chosen",
    [(None, "3"), (3, "X"), ("3", "X"), ("x", "x")],  # a time column is never the default; a number is an index
)
def test_channel_choice_is_the_commands(tmp_path, qzkit_cli, channel, chosen):
    write_table(tmp_path / "t.csv", ["time_s", "3", "x", "X"])
    assert qzkit.read_record(tmp_path / "t.csv", channel, rate=250).channel == chosen
    options = [] if channel is None else ["--channel", channel]
    assert f"source: channel '{chosen}'" in qzkit_cli(tmp_path, "convert", "t.csv", "--input-rate", 250, *options)


@pytest.mark.parametrize(
    "channel, message", [("a", "'a' names several signals (1 'a', 2 'a')"), (5, "no channel with index 5")]
)
def test_channel_refusal_is_the_commands(tmp_path, qzkit_refusal, channel, message):
    write_table(tmp_path / "t.csv", ["time", "a", "a"])
    with pytest.raises(qzkit.Error) as refused:
        qzkit.read_record(tmp_path / "t.csv", channel, rate=250)
    assert message in str(refused.value)
    line = qzkit_refusal(tmp_path, "convert", "t.csv", "--input-rate", 250, "--channel", channel)
    assert line == f"qzkit convert: error: {refused.value}\n"
