#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Vellwake developers
# SPDX-License-Identifier: MIT
"""Listens to what the sound player really sends to a sound server.

Starts a private sound server with one null sink, records the sink's
monitor while the player loops a fixture, and checks that the recording
holds exact copies of the fixture one file-length apart, without a gap,
and silence after the stop.

    pulse_loop_check.py PLAYER
"""
import os
import random
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time
import wave

RATE, CHANNELS, WIDTH = 44100, 2, 2
FRAME = CHANNELS * WIDTH
FIXTURE_FRAMES = 11025  # a quarter second
SINK = "vellwake_null"


def fail(message):
    print("FAIL: " + message, flush=True)
    sys.exit(1)


def make_fixture(path):
    # Samples that are never zero, so the sound can be told from silence at
    # every sample, and that never repeat within the file.
    rng = random.Random(20260101)
    samples = [rng.choice((-1, 1)) * rng.randint(200, 20000)
               for _ in range(FIXTURE_FRAMES * CHANNELS)]
    pcm = struct.pack("<%dh" % len(samples), *samples)
    with wave.open(path, "wb") as w:
        w.setnchannels(CHANNELS)
        w.setsampwidth(WIDTH)
        w.setframerate(RATE)
        w.writeframes(pcm)
    return pcm


def wait_for(predicate, seconds, what):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if predicate():
            return
        time.sleep(0.05)
    fail("timed out waiting for " + what)


def start_server(home, env):
    socket = os.path.join(home, "native")
    subprocess.run(
        ["pulseaudio", "-n", "--daemonize=yes", "--use-pid-file=yes",
         "--exit-idle-time=-1", "--system=no", "--realtime=no",
         "--high-priority=no", "--disable-shm=yes",
         "--log-target=file:" + os.path.join(home, "server.log"),
         "-L", "module-native-protocol-unix auth-anonymous=1 socket=" + socket,
         "-L", "module-null-sink sink_name=%s rate=%d channels=%d format=s16le"
               % (SINK, RATE, CHANNELS)],
        env=env, check=True, timeout=20)
    wait_for(lambda: subprocess.run(["pactl", "info"], env=env,
                                    stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL).returncode == 0,
             10, "the sound server")


def stop_server(home):
    pid_file = os.path.join(home, "runtime", "pulse", "pid")
    try:
        with open(pid_file) as f:
            pid = int(f.read().strip())
    except (OSError, ValueError):
        return
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        return

    def gone():
        try:
            os.kill(pid, 0)
            return False
        except ProcessLookupError:
            return True
    deadline = time.monotonic() + 5
    while not gone() and time.monotonic() < deadline:
        time.sleep(0.05)
    if not gone():
        os.kill(pid, signal.SIGKILL)


def analyse(recording, pcm):
    """Returns (error or None, summary)."""
    n = len(pcm)
    start = recording.find(pcm[:256])
    while start >= 0 and start % FRAME:
        start = recording.find(pcm[:256], start + 1)
    if start < 0:
        return ("the fixture's first samples never reached the sink "
                "(%d bytes recorded)" % len(recording)), ""
    # Before the first whole copy: silence, then at most the end of a copy.
    # The server's monitor may miss the first few milliseconds of a stream
    # that starts while it is being recorded, so the first copy may lack its
    # head, but never anything else.
    head = recording[:start]
    lead = 0
    while lead < len(head) and not any(head[lead:lead + FRAME]):
        lead += FRAME
    partial = head[lead:]
    if partial and not pcm.endswith(partial):
        return "sound before the loop that is not the fixture's end", ""
    # Whole copies back to back, then a partial one, then silence.
    copies, at = 0, start
    while recording[at:at + n] == pcm:
        copies, at = copies + 1, at + n
    rest = recording[at:]
    cut = 0
    while cut < len(rest) and cut < n and rest[cut] == pcm[cut]:
        cut += 1
    tail = rest[cut:]
    heard = (at + cut - (start - len(partial))) / (RATE * FRAME)
    summary = ("recorded %.2f s: the end of a first copy (%d frames of its head "
               "missed), %d exact copies one file-length (%d bytes) apart, then %.3f s "
               "of silence; %.3f s of sound in all" % (
                   len(recording) / (RATE * FRAME),
                   (n - len(partial)) // FRAME if partial else 0, copies, n,
                   len(tail) / (RATE * FRAME), heard))
    if copies < 3:
        return ("only %d exact copies in a row; the loop broke at byte %d of the "
                "file" % (copies, cut)), summary
    if any(tail):
        first = next(i for i, b in enumerate(tail) if b)
        return ("not silent after the stop, or a gap in the loop: sound at %.3f s "
                "after the loop's last sample" % (first / (RATE * FRAME))), summary
    if len(tail) < RATE * FRAME // 2:
        return "the recording holds too little of the time after the stop", summary
    return None, summary


class Recorder:
    """Keeps everything parec hears, as it arrives."""

    def __init__(self, env):
        self.proc = subprocess.Popen(
            ["parec", "--latency-msec=50", "-d", SINK + ".monitor",
             "--format=s16le", "--rate=%d" % RATE, "--channels=%d" % CHANNELS,
             "--raw"], env=env, stdout=subprocess.PIPE)
        self.lock = threading.Lock()
        self.data = bytearray()
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        while True:
            chunk = self.proc.stdout.read1(65536)
            if not chunk:
                return
            with self.lock:
                self.data += chunk

    def bytes(self):
        with self.lock:
            return bytes(self.data)

    def stop(self):
        self.proc.terminate()
        self.proc.wait(timeout=10)
        self.thread.join(timeout=10)


def main():
    if len(sys.argv) != 2:
        fail("usage: pulse_loop_check.py PLAYER")
    player = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory(prefix="vellwake-pulse-") as home:
        runtime = os.path.join(home, "runtime")
        os.makedirs(runtime, mode=0o700)
        env = dict(os.environ, HOME=home, XDG_RUNTIME_DIR=runtime,
                   XDG_CONFIG_HOME=os.path.join(home, "config"),
                   PULSE_SERVER="unix:" + os.path.join(home, "native"),
                   PULSE_SINK=SINK, SDL_AUDIODRIVER="pulseaudio")
        env.pop("PULSE_COOKIE", None)
        fixture = os.path.join(home, "fixture.wav")
        pcm = make_fixture(fixture)
        try:
            start_server(home, env)
            recorder = Recorder(env)
            # The sink's monitor delivers from when it has a listener; give
            # it that head start so the sound's first frame is recorded.
            wait_for(lambda: len(recorder.bytes()) > 0, 10, "the recording to start")
            proc = subprocess.Popen([player, fixture], env=env, text=True,
                                    stdin=subprocess.PIPE, stdout=subprocess.PIPE)
            if proc.stdout.readline().strip() != "playing":
                fail("the player did not start (exit %s)" % proc.wait())
            playing = time.monotonic()
            time.sleep(1.3)
            stop_asked = time.monotonic()
            proc.stdin.write("stop\n")
            proc.stdin.flush()
            if proc.stdout.readline().strip() != "stopped":
                fail("the player did not stop")
            stopped = time.monotonic()
            print("stopPlay returned after %.1f ms; %.3f s passed between the play "
                  "and the stop returning" % ((stopped - stop_asked) * 1000,
                                              stopped - playing), flush=True)
            # The server hands the recording over in blocks; wait until the
            # silence after the stop is in, or give up.
            deadline = time.monotonic() + 15
            error, summary = analyse(recorder.bytes(), pcm)
            while error and time.monotonic() < deadline:
                time.sleep(0.2)
                error, summary = analyse(recorder.bytes(), pcm)
            proc.stdin.close()
            if proc.wait(timeout=10) != 0:
                fail("the player exited with %d" % proc.returncode)
            recorder.stop()
        finally:
            stop_server(home)
        print(summary, flush=True)
        if error:
            fail(error)
    print("pass", flush=True)


if __name__ == "__main__":
    main()
