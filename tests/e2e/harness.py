# SPDX-FileCopyrightText: 2026 The Vellwake developers
# SPDX-License-Identifier: MIT
# A private desktop for the real program: its own X server, session and
# accessibility buses, sound server with a null sink, and a wall clock moved
# from outside. Everything it starts is stopped by the id it was started with;
# the desktop's own services are never touched.

import array, ctypes, datetime, os, shutil, signal, struct, subprocess, tempfile, time, zoneinfo

FAKETIME = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"
# Generous: the sanitizer build starts and reacts several times slower.
TIMEOUT = float(os.environ.get("VELLWAKE_E2E_TIMEOUT", "60"))


def check(ok, message):
    if not ok:
        raise AssertionError(message)


def wait_for(predicate, what, timeout=TIMEOUT):
    deadline = time.monotonic() + timeout
    while True:
        try:
            if value := predicate():
                return value
        except AssertionError:
            raise
        except Exception:  # a window or a bus in the middle of a change
            pass
        check(time.monotonic() < deadline, f"timed out waiting for {what}")
        time.sleep(0.05)


class Desktop:
    def __init__(self, binary, artefacts, name, clock="2026-03-02 07:00:00", sound=True):
        self.artefacts = os.path.join(os.path.abspath(artefacts), name)
        shutil.rmtree(self.artefacts, ignore_errors=True), os.makedirs(self.artefacts)
        self.dir = tempfile.mkdtemp(prefix="vw-")  # short: socket paths must fit
        self.run, self.home, self.cwd = (os.path.join(self.dir, d) for d in ("run", "home", "cwd"))
        [os.makedirs(d, mode=0o700) for d in (self.run, self.home, self.cwd, self.run + "/pulse")]
        # A copy, with the audio module it loads from beside itself: the sound
        # files beside the built binary would hide the ones a row lays out in
        # the working directory.
        self.binary = shutil.copy2(binary, self.dir)
        shutil.copy2(os.path.join(os.path.dirname(binary), "vellwake-sound.so"), self.dir)
        self.clock_file, self.tz = os.path.join(self.dir, "clock"), "Europe/Berlin"
        self.procs, self.app, self.sound = [], None, []
        self.set_clock(clock)
        self.env = {"PATH": os.environ["PATH"], "HOME": self.home, "LANG": "C.UTF-8",
                    "XDG_RUNTIME_DIR": self.run, "PULSE_SERVER": f"unix:{self.run}/pulse/native"}
        try:
            # A display of this process's own: one just freed may still be torn down.
            # No reset when the last client leaves: the program would find it closed.
            got, ready = os.pipe()
            self.start("xvfb", ["Xvfb", f":{1000 + os.getpid() % 20000}", "-displayfd", str(ready),
                                "-nolisten", "tcp", "-noreset"], pass_fds=(ready,))
            os.close(ready)
            self.env["DISPLAY"] = ":" + os.fdopen(got).readline().strip()
            wait_for(lambda: self.run_tool("xdpyinfo").returncode == 0, "the X server")
            bus = self.env["DBUS_SESSION_BUS_ADDRESS"] = f"unix:path={self.dir}/bus"
            self.start("session-bus", ["dbus-daemon", "--session", "--nofork", "--address=" + bus])
            wait_for(lambda: os.path.exists(f"{self.dir}/bus"), "the session bus")
            self.start("a11y-bus", ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
            wait_for(lambda: self.run_tool("dbus-send", "--session", "--dest=org.a11y.Bus",
                                           "--print-reply", "/org/a11y/bus",
                                           "org.a11y.Bus.GetAddress").returncode == 0, "a11y")
            os.environ.update(DISPLAY=self.env["DISPLAY"], DBUS_SESSION_BUS_ADDRESS=bus)
            self.start_sound() if sound else None
        except BaseException:
            self.close()
            raise

    def start(self, name, argv, env=None, out=None, **kw):
        # Each in a process group of its own, so that its helpers end with it.
        with open(os.path.join(self.artefacts, name + ".log"), "ab") as log:
            proc = subprocess.Popen(argv, env=env or self.env, stdin=subprocess.DEVNULL,
                                    stdout=out or log, stderr=log, start_new_session=True, **kw)
        self.procs.append(proc)
        return proc

    def stop(self, proc):
        try:
            os.killpg(proc.pid, signal.SIGTERM)
            proc.wait(15)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL), proc.wait()
        except ProcessLookupError:
            pass

    def run_tool(self, *argv):
        return subprocess.run(argv, env=self.env, capture_output=True, text=True, timeout=30)

    def start_sound(self):
        # PipeWire where it is the desktop's server; VELLWAKE_E2E_SOUND_SERVER forces one.
        installed = self.run_tool("dpkg-query", "-W", "-f=${Status}", "pipewire-pulse").stdout
        kind = "pipewire" if "ok installed" in installed else "pulseaudio"
        if os.environ.get("VELLWAKE_E2E_SOUND_SERVER", kind) == "pipewire":
            # Its session manager leaves the machine's sound cards and headsets alone.
            for part, monitors in (("main", "alsa v4l2 libcamera"), ("bluetooth", "bluez")):
                os.makedirs(conf := f"{self.home}/.config/wireplumber/{part}.lua.d", exist_ok=True)
                open(conf + "/80-private.lua", "w").write(
                    "".join(f"{m}_monitor.enabled = false\n" for m in monitors.split()))
            # Each needs the one before it up: wireplumber gives up at once without pipewire.
            self.sound = [self.start("pipewire", ["pipewire"])]
            wait_for(lambda: os.path.exists(f"{self.run}/pipewire-0"), "pipewire")
            self.sound += [self.start(n, [n]) for n in ("wireplumber", "pipewire-pulse")]
        else:
            self.sound = [self.start("pulseaudio", [
                "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--disable-shm=yes",
                "--load=module-native-protocol-unix auth-anonymous=1 socket="
                + self.env["PULSE_SERVER"][5:]])]
        wait_for(lambda: self.run_tool("pactl", "info").returncode == 0, "the sound server")
        check(self.run_tool("pactl", "load-module", "module-null-sink",
                            "sink_name=null").returncode == 0, "no null sink")
        wait_for(lambda: self.run_tool("pactl", "set-default-sink", "null").returncode == 0
                 and "Default Sink: null" in self.run_tool("pactl", "info").stdout, "the null sink")

    def set_clock(self, when):  # a local time of the program's zone, running on from there
        target = datetime.datetime.strptime(when, "%Y-%m-%d %H:%M:%S").replace(
            tzinfo=zoneinfo.ZoneInfo(self.tz)).timestamp()
        # An offset from the real clock holds however long the program runs.
        open(self.clock_file + ".new", "w").write(f"{target - time.time():+.3f}\n")
        os.replace(self.clock_file + ".new", self.clock_file)

    def start_app(self, **extra):
        env = dict(self.env, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   TZ=self.tz, LD_PRELOAD=FAKETIME, FAKETIME_TIMESTAMP_FILE=self.clock_file,
                   FAKETIME_NO_CACHE="1", FAKETIME_DONT_FAKE_MONOTONIC="1",
                   # The clock library comes first; leaks are the unit tests' job.
                   ASAN_OPTIONS="verify_asan_link_order=0:detect_leaks=0",
                   UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1", **extra)
        self.app = self.start("vellwake", [self.binary], env=env, cwd=self.cwd)

    def close(self):
        [self.stop(proc) for proc in reversed(self.procs)]
        shutil.rmtree(self.dir, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, kind, error, tb):
        if kind is not None:  # keep the screen and what a screen reader saw
            try:
                self.screenshot("failure")
                with open(os.path.join(self.artefacts, "failure.txt"), "w") as f:
                    f.writelines(f"{n['win']!r} {n['role']} {n['name']!r} {n['desc']!r} "
                                 f"{sorted(n['states'])}\n" for n in self.nodes())
            except Exception as note:
                print(f"no failure record: {note!r}")
        self.close()

    # --- the screen, keys and mouse

    def xdo(self, *args):
        return self.run_tool("xdotool", *args).stdout

    def windows(self, title):
        check(self.app.poll() is None, f"the program ended with code {self.app.returncode}")
        return [int(w) for w in self.xdo("search", "--onlyvisible", "--pid", str(self.app.pid),
                                         "--name", f"^{title}$").split()]

    def window(self, title, other_than=()):
        return wait_for(lambda: next((w for w in self.windows(title) if w not in other_than), 0),
                        f'a window "{title}"')

    def keys(self, window, *keys):
        # Real key presses into a window given the keyboard, as a window manager would.
        self.xdo("windowfocus", str(window))
        wait_for(lambda: self.xdo("getwindowfocus").strip() == str(window), "the keyboard")
        self.xdo("key", "--clearmodifiers", "--delay", "80", *keys) if keys else None

    def click(self, node, button=1):
        # A click in the middle of a control (at scale factor 1).
        import pyatspi
        e = node["acc"].queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        x, y = e.x + e.width // 2, e.y + e.height // 2
        self.xdo("mousemove", str(x), str(y), "click", str(button))

    def request_close(self, window):
        # What a window manager sends for the close box: WM_DELETE_WINDOW.
        x = ctypes.CDLL("libX11.so.6")
        x.XOpenDisplay.restype = x.XInternAtom.restype = ctypes.c_void_p  # a Display*, an Atom
        dpy = ctypes.c_void_p(x.XOpenDisplay(self.env["DISPLAY"].encode()))
        event = ctypes.create_string_buffer(192)  # an XClientMessageEvent inside an XEvent
        struct.pack_into("=i4xQi4xQQQi4x2q", event, 0, 33, 0, 0, 0, window,
                         x.XInternAtom(dpy, b"WM_PROTOCOLS", 0), 32,
                         x.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0), 0)
        check(x.XSendEvent(dpy, ctypes.c_ulong(window), 0, ctypes.c_long(0), event), "refused")
        x.XCloseDisplay(dpy)

    def screenshot(self, name, window="root"):
        return self.run_tool("import", "-window", str(window),
                             path := os.path.join(self.artefacts, name + ".png")) and path

    # --- what a screen reader sees

    def nodes(self):
        # Every object of the program, with its top-level window's name
        # while that window shows.
        import pyatspi
        pyatspi.clearCache()
        desktop = pyatspi.Registry.getDesktop(0)
        app = next(a for a in (desktop.getChildAtIndex(i) for i in range(desktop.childCount))
                   if a is not None and a.get_process_id() == self.app.pid)
        found = []

        def walk(acc, win, top):  # noqa: E306
            states = {pyatspi.stateToString(s) for s in acc.getState().getStates()}
            win = (acc.name if "showing" in states else None) if top else win
            text = acc.queryText().getText(0, -1) if acc.getRoleName() == "text" else None
            found.append(dict(role=acc.getRoleName(), name=acc.name, desc=acc.description,
                              text=text, states=states, win=win, top=top, acc=acc))
            for i in range(acc.childCount):
                walk(acc.getChildAtIndex(i), win, acc is app)
        walk(app, None, False)
        return found

    def find(self, states=(), **match):
        return [n for n in self.nodes() if all(n[k] == v for k, v in match.items())
                and set(states) <= n["states"]]

    def wait_node(self, states=(), **match):
        return wait_for(lambda: (self.find(states, **match) or [None])[0], f"{match} {states}")

    # --- the loudspeaker

    def listen(self, seconds):
        # What the null sink plays, as 8 kHz mono samples.
        proc = self.start("parec", ["parec", "-d", "null.monitor", "--raw", "--format=s16le",
                                    "--rate=8000", "--channels=1", "--latency-msec=20"],
                          out=subprocess.PIPE)
        data, want = b"", int(8000 * seconds) * 2
        while len(data) < want and (chunk := proc.stdout.read1(want - len(data))):
            data += chunk
        self.stop(proc), self.procs.remove(proc)
        return array.array("h", data[:len(data) // 2 * 2])

    def heard(self, seconds=1.0):
        # (main pitch in Hz, share of 10 ms stretches with sound, the stretches where it breaks).
        s = self.listen(seconds)
        loud = [max(map(abs, s[i:i + 80])) > 1000 for i in range(0, len(s) - 79, 80)]
        signs = [v > 0 for v in s if abs(v) > 300]  # near zero is noise
        crossings = sum(a != b for a, b in zip(signs, signs[1:]))
        return (crossings / 2 / max(sum(loud) / 100, 0.01), sum(loud) / max(len(loud), 1),
                [i for i in range(1, len(loud)) if loud[i - 1] and not loud[i]])
