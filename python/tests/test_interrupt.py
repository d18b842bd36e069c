# SPDX-License-Identifier: Apache-2.0
"""Ctrl-C ends a long estimate_many between windows, not when the batch ends."""
import signal
import subprocess
import sys
import time

from conftest import EXAMPLES

SCRIPT = """
import signal, sys, numpy, qzkit
# Ctrl-C raises KeyboardInterrupt as in a terminal, also when the tests run
# where SIGINT is ignored (started in the background by a script).
signal.signal(signal.SIGINT, signal.default_int_handler)
samples = numpy.full((200000, 600), 512, dtype=numpy.uint16)  # 2 to 4 s of work
print("ready", flush=True)
try:
    qzkit.estimate_many(samples, sys.argv[1])
except KeyboardInterrupt:
    print("interrupted", flush=True)
    sys.exit(3)
"""


def test_ctrl_c_stops_a_long_batch_within_a_second():
    child = subprocess.Popen([sys.executable, "-c", SCRIPT, str(EXAMPLES / "ecg250")], stdout=subprocess.PIPE, text=True)
    assert child.stdout.readline() == "ready\n"
    time.sleep(0.2)
    sent = time.monotonic()
    child.send_signal(signal.SIGINT)
    assert child.wait(timeout=30) == 3
    assert time.monotonic() - sent < 1.0
    assert child.stdout.read() == "interrupted\n"
