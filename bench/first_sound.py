#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Vellwake developers
# SPDX-License-Identifier: MIT
"""first_sound.py TIMEOUT_S: listens to the null sink's monitor and prints the
steady clock's seconds (CLOCK_MONOTONIC, as the program's steady clock) at the
first sample that is not silence, or "none" after TIMEOUT_S. Prints "ready"
once it listens."""
import os
import subprocess
import sys
import time

rec = subprocess.Popen(["parec", "-d", "null.monitor", "--raw", "--format=s16le", "--rate=44100",
                        "--channels=1", "--latency-msec=2"], stdout=subprocess.PIPE)
try:
    fd = rec.stdout.fileno()
    os.read(fd, 2)  # the recording runs
    print("ready", flush=True)
    deadline = time.monotonic() + float(sys.argv[1])
    heard = "none"
    while time.monotonic() < deadline:
        chunk = os.read(fd, 88)  # 1 ms
        if any(chunk):
            heard = f"{time.monotonic():.6f}"
            break
    print(heard, flush=True)
finally:
    rec.kill()
