# SPDX-FileCopyrightText: 2026 The Vellwake developers
# SPDX-License-Identifier: MIT
"""Runs the real vellwake binary the way a user's desktop does, and lets a
scenario drive it only through the screen, the keyboard, the mouse, the
window's close request, the accessibility bus and the loudspeaker.

One Desktop per scenario process: its own X server, session bus,
accessibility bus, sound server and fake wall clock. Everything it starts is
stopped again by the id it was started with."""

import array
import ctypes
import datetime
import os
import shutil
import signal
import subprocess
import tempfile
import time
import zoneinfo

FAKETIME_LIB = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"
BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"

# Generous: the sanitizer build starts and reacts several times slower.
DEFAULT_TIMEOUT = float(os.environ.get("VELLWAKE_E2E_TIMEOUT", "40"))


class Failure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(predicate, what, timeout=DEFAULT_TIMEOUT, interval=0.05):
    """Polls until predicate() returns something truthy and returns it."""
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = predicate()
            if value:
                return value
        except Failure:
            raise
        except Exception as error:  # the window may be mid-update
            last_error = error
        if time.monotonic() > deadline:
            detail = f" (last error: {last_error!r})" if last_error else ""
            raise Failure(f"timed out after {timeout:.0f} s waiting for {what}{detail}")
        time.sleep(interval)


class _XClientMessageEvent(ctypes.Structure):
    _fields_ = [
        ("type", ctypes.c_int),
        ("serial", ctypes.c_ulong),
        ("send_event", ctypes.c_int),
        ("display", ctypes.c_void_p),
        ("window", ctypes.c_ulong),
        ("message_type", ctypes.c_ulong),
        ("format", ctypes.c_int),
        ("data", ctypes.c_long * 5),
    ]


class _XEvent(ctypes.Union):
    _fields_ = [("xclient", _XClientMessageEvent), ("pad", ctypes.c_long * 24)]


def send_close_request(display, window):
    """What a window manager sends when the user clicks the close button."""
    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.POINTER(_XEvent)]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = x11.XOpenDisplay(display.encode())
    check(dpy, f"cannot open display {display}")
    try:
        event = _XEvent()
        event.xclient.type = 33  # ClientMessage
        event.xclient.window = window
        event.xclient.message_type = x11.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
        event.xclient.format = 32
        event.xclient.data[0] = x11.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
        event.xclient.data[1] = 0  # CurrentTime
        check(x11.XSendEvent(dpy, window, 0, 0, ctypes.byref(event)),
              "XSendEvent refused the close request")
        x11.XFlush(dpy)
    finally:
        x11.XCloseDisplay(dpy)


class Service:
    """A process started in its own process group, so that helpers it spawns
    (the accessibility bus daemon, the registry) end with it."""

    def __init__(self, name, argv, env, cwd=None, log_dir=None, stdout=None):
        self.name = name
        self.log_path = os.path.join(log_dir, f"{name}.log") if log_dir else os.devnull
        self._log = open(self.log_path, "ab")
        self.proc = subprocess.Popen(argv, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                                     stdout=stdout if stdout is not None else self._log,
                                     stderr=self._log, start_new_session=True)
        self.pid = self.proc.pid

    def running(self):
        return self.proc.poll() is None

    def stop(self, timeout=15):
        if self.proc.poll() is None:
            try:
                os.killpg(self.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            try:
                self.proc.wait(timeout)
            except subprocess.TimeoutExpired:
                os.killpg(self.pid, signal.SIGKILL)
                self.proc.wait(timeout)
        else:
            # The leader is gone; helpers left in its group go too.
            try:
                os.killpg(self.pid, signal.SIGTERM)
            except (ProcessLookupError, PermissionError):
                pass
        self._log.close()
        return self.proc.returncode

    def log(self):
        try:
            with open(self.log_path, "rb") as f:
                return f.read().decode(errors="replace")
        except OSError:
            return ""


class Desktop:
    def __init__(self, binary, artefacts, scenario, tz="Europe/Berlin",
                 clock="2026-03-02 07:00:00", scale=None, sound_server=True):
        self.build_binary = os.path.abspath(binary)
        self.artefacts = os.path.join(os.path.abspath(artefacts), scenario)
        shutil.rmtree(self.artefacts, ignore_errors=True)
        os.makedirs(self.artefacts)
        # Short path: the sockets below must fit in sun_path.
        self.dir = tempfile.mkdtemp(prefix="vw-e2e-")
        self.home = os.path.join(self.dir, "home")
        self.runtime = os.path.join(self.dir, "run")
        self.workdir = os.path.join(self.dir, "cwd")
        self.bin = os.path.join(self.dir, "bin")
        self.progdir = os.path.join(self.dir, "prog")
        for d in (self.home, self.runtime, self.workdir, self.bin, self.progdir):
            os.makedirs(d, mode=0o700)
        # A copy of the program alone: the sound files of the build tree,
        # beside the real binary, would be found and hide what a scenario
        # lays out in the working directory.
        self.binary = os.path.join(self.progdir, "vellwake")
        shutil.copy2(self.build_binary, self.binary)
        # The browser the program would open: it only notes what it was asked.
        self.launched_file = os.path.join(self.dir, "launched")
        opener = os.path.join(self.bin, "xdg-open")
        with open(opener, "w") as f:
            f.write(f'#!/bin/sh\nprintf "%s\\n" "$*" >> "{self.launched_file}"\n')
        os.chmod(opener, 0o755)
        self.clock_file = os.path.join(self.dir, "clock")
        self.tz = tz
        self.set_clock(clock)
        self.scale = scale
        self.services = []
        self.app = None
        self.env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": self.home,
            "XDG_RUNTIME_DIR": self.runtime,
            "XDG_CONFIG_HOME": os.path.join(self.home, ".config"),
            "XDG_CACHE_HOME": os.path.join(self.home, ".cache"),
            "LANG": "C.UTF-8",
        }
        try:
            self._start_x()
            self._start_session_bus()
            self._start_accessibility_bus()
            self.pulse = None
            if sound_server:
                self.start_sound_server()
            os.environ.update({k: self.env[k] for k in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS")})
        except BaseException:
            self.close()
            raise

    # --- services -------------------------------------------------------

    def _start_x(self):
        read_fd, write_fd = os.pipe()
        log = open(os.path.join(self.artefacts, "xvfb.log"), "ab")
        proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_fd,), stdin=subprocess.DEVNULL, stdout=log, stderr=log,
            start_new_session=True, env=self.env)
        os.close(write_fd)
        log.close()
        wrapper = Service.__new__(Service)
        wrapper.name, wrapper.proc, wrapper.pid = "xvfb", proc, proc.pid
        wrapper.log_path = os.path.join(self.artefacts, "xvfb.log")
        wrapper._log = open(os.devnull, "ab")
        self.services.append(wrapper)
        with os.fdopen(read_fd) as r:
            number = r.readline().strip()
        check(number.isdigit(), "Xvfb did not report its display number")
        self.display = f":{number}"
        self.env["DISPLAY"] = self.display

    def _start_session_bus(self):
        address = f"unix:path={self.dir}/bus"
        bus = Service("session-bus", ["dbus-daemon", "--session", "--nofork",
                                      f"--address={address}", "--nopidfile"],
                      self.env, log_dir=self.artefacts)
        self.services.append(bus)
        wait_for(lambda: os.path.exists(f"{self.dir}/bus"), "the session bus", timeout=20)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address

    def _start_accessibility_bus(self):
        self.services.append(Service("a11y-bus", [BUS_LAUNCHER, "--launch-immediately"],
                                     self.env, log_dir=self.artefacts))

        def registered():
            out = subprocess.run(
                ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                 "/org/a11y/bus", "org.a11y.Bus.GetAddress"],
                env=self.env, capture_output=True, text=True, timeout=10)
            return out.returncode == 0 and "unix:" in out.stdout
        wait_for(registered, "the accessibility bus", timeout=20)

    def start_sound_server(self):
        check(self.pulse is None or not self.pulse.running(), "sound server already running")
        socket = os.path.join(self.runtime, "native")
        if os.path.exists(socket):
            os.unlink(socket)
        self.pulse = Service("pulseaudio", [
            "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
            "--disallow-exit", "--disable-shm=yes",
            "--load=module-null-sink sink_name=null",
            f"--load=module-native-protocol-unix auth-anonymous=1 socket={socket}"],
            self.env, log_dir=self.artefacts)
        self.services.append(self.pulse)
        self.env["PULSE_SERVER"] = f"unix:{socket}"
        wait_for(lambda: self.pactl("info").returncode == 0, "the sound server", timeout=20)

    def kill_sound_server(self):
        check(self.pulse is not None and self.pulse.running(), "no sound server to kill")
        os.killpg(self.pulse.pid, signal.SIGKILL)
        self.pulse.stop()
        self.pulse = None

    def pactl(self, *args):
        return subprocess.run(["pactl", *args], env=self.env, capture_output=True, text=True,
                              timeout=10)

    # --- the program ----------------------------------------------------

    def set_clock(self, when, fold=0):
        """Sets the program's wall clock to a local time of its zone; the clock
        runs on in real time from there. fold=1 picks the second of two equal
        local times in the night the clocks go back."""
        local = datetime.datetime.strptime(when, "%Y-%m-%d %H:%M:%S")
        target = local.replace(tzinfo=zoneinfo.ZoneInfo(self.tz), fold=fold).timestamp()
        # An offset from the real clock: unlike a start time, it holds however
        # long the program has been running.
        tmp = self.clock_file + ".new"
        with open(tmp, "w") as f:
            f.write(f"{target - time.time():+.3f}\n")
        os.replace(tmp, self.clock_file)

    def start_app(self, extra_env=None):
        check(self.app is None, "the program is already running")
        env = dict(self.env)
        env.update({
            "PATH": self.bin + os.pathsep + self.env["PATH"],
            "QT_QPA_PLATFORM": "xcb",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "QT_ACCESSIBILITY": "1",
            "TZ": self.tz,
            "LD_PRELOAD": FAKETIME_LIB,
            "FAKETIME_TIMESTAMP_FILE": self.clock_file,
            "FAKETIME_NO_CACHE": "1",
            "FAKETIME_DONT_FAKE_MONOTONIC": "1",
            # The sanitizer runtime need not come first: the clock library does.
            # Leaks are checked by the unit tests: here the leak checker's
            # thread-stopping tracer now and then crashed at exit (signal 11
            # inside the tracer, not in the program) with the clock library
            # preloaded, failing a run that had passed.
            "ASAN_OPTIONS": "verify_asan_link_order=0:detect_leaks=0:abort_on_error=0:"
                            "exitcode=66",
            "LSAN_OPTIONS": "suppressions=" + os.path.join(os.path.dirname(__file__), "lsan.supp")
                            + ":print_suppressions=0",
            "UBSAN_OPTIONS": "print_stacktrace=1:halt_on_error=1:exitcode=67",
        })
        if self.scale is not None:
            env["QT_SCALE_FACTOR"] = str(self.scale)
        if extra_env:
            for key, value in extra_env.items():
                if value is None:
                    env.pop(key, None)
                else:
                    env[key] = value
        self.app = Service("vellwake", [self.binary], env, cwd=self.workdir,
                           log_dir=self.artefacts)
        self._atspi_app = None
        return self.app

    def launched(self):
        """Everything the program asked the desktop to open, one per line."""
        try:
            with open(self.launched_file) as f:
                return f.read().splitlines()
        except FileNotFoundError:
            return []

    def app_running(self):
        return self.app is not None and self.app.running()

    def check_running(self):
        if self.app is None or not self.app.running():
            code = self.app.proc.returncode if self.app else None
            raise Failure(f"the program is not running (exit code {code}); its output:\n"
                          + (self.app.log()[-4000:] if self.app else ""))

    def wait_app_exit(self, timeout=DEFAULT_TIMEOUT):
        wait_for(lambda: not self.app.running(), "the program to end", timeout=timeout)
        code = self.app.proc.returncode
        output = self.app.log()
        self.app.stop()
        self.app = None
        return code, output

    def stop_app(self):
        if self.app is not None:
            self.app.stop()
            self.app = None

    def close(self):
        self.stop_app()
        self.drop_clipboard()
        for service in reversed(self.services):
            service.stop()
        self.services = []
        shutil.rmtree(self.dir, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, exc_type, exc, tb):
        if exc_type is not None:
            self.record_failure()
        self.close()

    def record_failure(self):
        """Keeps the screen, the windows and the accessibility tree as they
        were when a scenario failed."""
        try:
            self.screenshot("failure")
        except Exception:
            pass
        lines = []
        try:
            lines.append("X windows: " + self.xdotool(
                "search", "--onlyvisible", "--name", ".", check_ok=False).replace("\n", " "))
            lines.append(f"X focus: {self.focused_window()}")
        except Exception as error:
            lines.append(f"no window list: {error!r}")
        try:
            import pyatspi
            pyatspi.clearCache()
            app = self.accessible_app()

            def walk(acc, depth):
                if acc is None or depth > 30:
                    return
                states = sorted(pyatspi.stateToString(st) for st in acc.getState().getStates())
                lines.append("  " * depth + f"{acc.getRoleName()} {acc.name!r} "
                             f"{acc.description!r} {states}")
                for i in range(acc.childCount):
                    walk(acc.getChildAtIndex(i), depth + 1)
            walk(app, 0)
        except Exception as error:
            lines.append(f"no accessibility tree: {error!r}")
        with open(os.path.join(self.artefacts, "failure.txt"), "w") as f:
            f.write("\n".join(lines) + "\n")

    # --- windows, keys and mouse ------------------------------------------

    def xdotool(self, *args, check_ok=True):
        out = subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True,
                             timeout=20)
        if check_ok and out.returncode != 0:
            raise Failure(f"xdotool {' '.join(args)} failed: {out.stderr.strip()}")
        return out.stdout

    def windows(self, title):
        """Visible top-level windows of the program with exactly this title."""
        self.check_running()
        out = self.xdotool("search", "--onlyvisible", "--pid", str(self.app.pid),
                           "--name", f"^{title}$", check_ok=False)
        return [int(w) for w in out.split()]

    def wait_window(self, title, other_than=(), timeout=DEFAULT_TIMEOUT):
        def found():
            ws = [w for w in self.windows(title) if w not in other_than]
            return ws[0] if ws else None
        return wait_for(found, f'a window titled "{title}"', timeout=timeout)

    def wait_window_gone(self, window, title, timeout=DEFAULT_TIMEOUT):
        wait_for(lambda: window not in self.windows(title),
                 f'the window "{title}" to go', timeout=timeout)

    def geometry(self, window):
        out = self.xdotool("getwindowgeometry", "--shell", str(window))
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return {k: int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT")}

    def focused_window(self):
        out = self.xdotool("getwindowfocus", "-f", check_ok=False).strip()
        return int(out) if out.isdigit() else None

    def focus(self, window):
        """Gives the window the keyboard, as a window manager would."""
        if self.focused_window() == window:
            return
        self.xdotool("windowfocus", str(window))
        wait_for(lambda: self.focused_window() == window, "the window to take the keyboard",
                 timeout=20)

    def key(self, window, *keys, delay_ms=30):
        """Real key presses (through the X test extension) into that window."""
        self.focus(window)
        self.xdotool("key", "--clearmodifiers", "--delay", str(delay_ms), *keys)

    def type_text(self, window, text, delay_ms=30):
        self.focus(window)
        self.xdotool("type", "--delay", str(delay_ms), text)

    def click(self, window, x, y):
        """A left click at screen coordinates, with that window focused."""
        self.focus(window)
        # No --sync: it waits for a motion that never comes when the pointer
        # is already there. The X server keeps the move and click in order.
        self.xdotool("mousemove", str(x), str(y), "click", "1")

    def click_accessible(self, window, acc):
        """Clicks the middle of a control found on the accessibility bus.
        Its extents are in unscaled pixels: only for scale factor 1."""
        import pyatspi
        ext = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        check(ext.width > 0 and ext.height > 0, f"{acc.name!r} has no extent")
        self.click(window, ext.x + ext.width // 2, ext.y + ext.height // 2)

    def paste(self, window, text):
        """Puts text on the clipboard, as another program would, and pastes
        it with Ctrl+V into the focused control of that window."""
        path = os.path.join(self.dir, "clipboard")
        with open(path, "w") as f:
            f.write(text)
        owner = Service("clipboard", ["xclip", "-quiet", "-selection", "clipboard", "-i", path],
                        self.env, log_dir=self.artefacts)
        try:
            wait_for(lambda: subprocess.run(["xclip", "-o", "-selection", "clipboard"],
                                            env=self.env, capture_output=True,
                                            timeout=10).stdout == text.encode(),
                     "the clipboard to hold the text", timeout=20)
            self.key(window, "ctrl+v")
        finally:
            # Served once for the check above and once for the paste at most;
            # the program reads it within its key handler.
            self._clipboard_owners = getattr(self, "_clipboard_owners", []) + [owner]

    def drop_clipboard(self):
        for owner in getattr(self, "_clipboard_owners", []):
            owner.stop()
        self._clipboard_owners = []

    def request_close(self, window):
        send_close_request(self.display, window)

    def screenshot(self, name, window=None):
        path = os.path.join(self.artefacts, f"{name}.png")
        target = ["-window", str(window)] if window else ["-window", "root"]
        out = subprocess.run(["import", "-display", self.display, *target, path],
                             env=self.env, capture_output=True, text=True, timeout=30)
        check(out.returncode == 0, f"screenshot failed: {out.stderr}")
        return path

    # --- accessibility ----------------------------------------------------

    def accessible_app(self):
        import pyatspi
        self.check_running()
        if self._atspi_app is not None:
            try:
                if self._atspi_app.get_process_id() == self.app.pid:
                    return self._atspi_app
            except Exception:
                pass
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            try:
                if app is not None and app.get_process_id() == self.app.pid:
                    self._atspi_app = app
                    return app
            except Exception:
                continue
        return None

    def accessibles(self, role=None, name=None, window_name=None, predicate=None):
        """Every object of the program's tree that matches, in tree order."""
        import pyatspi
        pyatspi.clearCache()
        app = self.accessible_app()
        found = []
        if app is None:
            return found

        def walk(acc, depth):
            if acc is None or depth > 30:
                return
            ok = ((role is None or acc.getRoleName() == role)
                  and (name is None or acc.name == name)
                  and (predicate is None or predicate(acc)))
            if ok:
                found.append(acc)
            for i in range(acc.childCount):
                walk(acc.getChildAtIndex(i), depth + 1)

        for i in range(app.childCount):
            top = app.getChildAtIndex(i)
            if window_name is not None and (top is None or top.name != window_name):
                continue
            if window_name is not None and not has_state(top, "showing"):
                continue
            walk(top, 1)
        return found

    def accessible(self, role, name=None, window_name=None, predicate=None,
                   timeout=DEFAULT_TIMEOUT):
        what = f"a {role} named {name!r}" if name is not None else f"a {role}"
        return wait_for(lambda: (self.accessibles(role, name, window_name, predicate) or [None])[0],
                        what + " on the accessibility bus", timeout=timeout)

    # --- sound ------------------------------------------------------------

    def playback_streams(self):
        """The program's playback streams on the sound server: {index: corked}."""
        out = self.pactl("list", "sink-inputs")
        streams, index, pid, corked = {}, None, None, False

        def flush():
            if index is not None and pid == self.app.pid:
                streams[index] = corked
        for line in out.stdout.splitlines():
            line = line.strip()
            if line.startswith("Sink Input #"):
                flush()
                index, pid, corked = int(line.split("#")[1]), None, False
            elif line.startswith("Corked:"):
                corked = line.split(":", 1)[1].strip() == "yes"
            elif line.startswith("application.process.id"):
                pid = int(line.split("=", 1)[1].strip().strip('"'))
        flush()
        return streams

    def loudness(self, seconds=0.25):
        """Peak sample level heard on the sink over a short stretch, 0..32767."""
        return max((abs(s) for s in self.record(seconds)), default=0)

    def pitch(self, seconds=0.6):
        """The main frequency heard, in Hz, over the loud stretches; 0 if silent."""
        samples, rate = self.record(seconds), 8000
        block = rate // 100
        crossings = loud = 0
        for start in range(0, len(samples) - block + 1, block):
            part = samples[start:start + block]
            if max(abs(v) for v in part) < 1000:
                continue
            loud += block
            sign = 0
            for v in part:
                # A little hysteresis keeps noise near zero from counting.
                if v > 300 and sign <= 0:
                    crossings += sign < 0
                    sign = 1
                elif v < -300 and sign >= 0:
                    crossings += sign > 0
                    sign = -1
        return crossings / 2 / (loud / rate) if loud else 0.0

    def record(self, seconds):
        """What the sink plays over a short stretch, as 8 kHz mono samples."""
        rate = 8000
        want = int(rate * seconds) * 2
        proc = subprocess.Popen(["parec", "-d", "null.monitor", "--raw", "--format=s16le",
                                 f"--rate={rate}", "--channels=1", "--latency-msec=20"],
                                env=self.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        data = b""
        try:
            deadline = time.monotonic() + seconds + 10
            while len(data) < want and time.monotonic() < deadline:
                chunk = proc.stdout.read1(want - len(data))
                if not chunk:
                    break
                data += chunk
        finally:
            proc.terminate()
            proc.wait(10)
        samples = array.array("h")
        samples.frombytes(data[:len(data) - len(data) % 2])
        return samples

    def sounding(self):
        return self.loudness() > 1000

    def wait_sound(self, timeout=DEFAULT_TIMEOUT):
        wait_for(self.sounding, "the alarm sound on the loudspeaker", timeout=timeout)

    def wait_silence(self, timeout=DEFAULT_TIMEOUT):
        wait_for(lambda: self.loudness(0.5) < 200, "the loudspeaker to fall silent",
                 timeout=timeout)


def has_state(acc, state_name):
    import pyatspi
    return any(pyatspi.stateToString(s) == state_name for s in acc.getState().getStates())
