# SPDX-FileCopyrightText: 2026 The Vellwake developers
# SPDX-License-Identifier: MIT
# A private desktop for the real program: its own display server, session and
# accessibility buses, sound server with a null sink, and a wall clock moved
# from outside. Everything it starts is stopped by the id it was started with;
# the desktop's own services are never touched.

import array
import ctypes
import dataclasses
import datetime
import glob
import os
import re
import select
import shutil
import signal
import struct
import subprocess
import tempfile
import time
import zoneinfo

# Generous: the sanitizer build starts and reacts several times slower.
TIMEOUT = float(os.environ.get("VELLWAKE_E2E_TIMEOUT", "60"))
PROGRAM_TIME_ZONE = "Europe/Berlin"


def check(ok, message):
    if not ok:
        raise AssertionError(message)


def wait_for(predicate, what, timeout=TIMEOUT):
    """The first true value the predicate gives, asked again until the timeout."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            value = predicate()
        except AssertionError:
            raise
        except Exception:  # a window or a bus in the middle of a change
            value = None
        if value:
            return value
        check(time.monotonic() < deadline, f"timed out waiting for {what}")
        time.sleep(0.05)


def find_faketime_library():
    """Where this machine's libfaketime package put its preload library."""
    listed = subprocess.run(["dpkg", "-L", "libfaketime"], capture_output=True, text=True)
    candidates = [path for path in listed.stdout.split() if path.endswith("/libfaketime.so.1")]
    for pattern in ("/usr/lib/*/faketime/libfaketime.so.1", "/usr/lib*/faketime/libfaketime.so.1"):
        candidates.extend(sorted(glob.glob(pattern)))
    for path in candidates:
        if os.path.isfile(path):
            return path
    raise AssertionError("libfaketime.so.1 not found: the libfaketime package is missing")


def installed(package):
    query = subprocess.run(["dpkg-query", "-W", "-f=${Status}", package],
                           capture_output=True, text=True)
    return "ok installed" in query.stdout


class Processes:
    """The programs a desktop started. Each runs in a process group of its own,
    so that its helpers end with it, and logs into the artefact directory."""

    def __init__(self, log_dir):
        self.log_dir = log_dir
        self.running = []

    def start(self, name, argv, env, stdout=None, cwd=None, pass_fds=()):
        log_path = os.path.join(self.log_dir, name + ".log")
        with open(log_path, "ab") as log:
            process = subprocess.Popen(argv, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                                       stdout=stdout or log, stderr=log, pass_fds=pass_fds,
                                       start_new_session=True)
        self.running.append(process)
        return process

    def signal(self, process, number):
        try:
            os.killpg(process.pid, number)
        except ProcessLookupError:
            pass

    def stop(self, process):
        # A stopped process would keep the end signal pending for ever.
        self.signal(process, signal.SIGCONT)
        self.signal(process, signal.SIGTERM)
        try:
            process.wait(15)
        except subprocess.TimeoutExpired:
            self.signal(process, signal.SIGKILL)
            process.wait()
        if process in self.running:
            self.running.remove(process)

    def stop_all(self):
        for process in reversed(list(self.running)):
            self.stop(process)


class FakeClock:
    """The program's wall clock. libfaketime reads the file at each call; it
    holds an offset from the real clock, so that the program's time runs on
    from where it was set however long the program takes."""

    def __init__(self, path, time_zone):
        self.path = path
        self.zone = zoneinfo.ZoneInfo(time_zone)
        self.offset = 0.0

    def set(self, when):
        """when: a local time of the program's zone, "YYYY-MM-DD HH:MM:SS"."""
        target = datetime.datetime.strptime(when, "%Y-%m-%d %H:%M:%S").replace(tzinfo=self.zone)
        self.offset = target.timestamp() - time.time()
        with open(self.path + ".new", "w") as file:
            file.write(f"{self.offset:+.3f}\n")
        os.replace(self.path + ".new", self.path)

    def now(self):
        return datetime.datetime.fromtimestamp(time.time() + self.offset, self.zone)

    def program_environment(self):
        return {"TZ": self.zone.key, "LD_PRELOAD": find_faketime_library(),
                "FAKETIME_TIMESTAMP_FILE": self.path, "FAKETIME_NO_CACHE": "1",
                "FAKETIME_DONT_FAKE_MONOTONIC": "1"}


class DisplayServer:
    """What a desktop needs of its display server: start it, find the
    program's windows, and act on them as a user and a window manager would.
    Windows are whatever ids the kind of server has."""

    qt_platform = None

    def start(self):
        """Starts the server; returns what a client's environment needs."""
        raise NotImplementedError

    def windows(self, pid, title):
        """The visible windows of that process with exactly that title."""
        raise NotImplementedError

    def press_keys(self, window, keys):
        """Gives the window the keyboard and presses the keys (key names as
        xdotool spells them), one after the other."""
        raise NotImplementedError

    def click(self, x, y, button):
        """A click at a point of the screen."""
        raise NotImplementedError

    def request_close(self, window):
        """What the window's close box asks for."""
        raise NotImplementedError

    def offer_selection(self, text):
        """Makes the text the selection the middle button pastes."""
        raise NotImplementedError

    def screenshot(self, path, window=None):
        """The whole screen, or one window, as a PNG file."""
        raise NotImplementedError

    def program_environment(self, build_dir):
        """What the program needs on top of the desktop's environment; the
        libraries to preload from the build directory come after the clock's."""
        return {}


class XServer(DisplayServer):
    """A private X server, driven through xdotool as a user would."""

    qt_platform = "xcb"

    def __init__(self, desktop):
        self.desktop = desktop
        self.env = desktop.env

    def start(self):
        # A display of this process's own: one just freed may still be torn
        # down. No reset when the last client leaves: the program would find
        # it closed.
        read_end, write_end = os.pipe()
        first_try = f":{1000 + os.getpid() % 20000}"
        self.desktop.processes.start(
            "xvfb", ["Xvfb", first_try, "-displayfd", str(write_end), "-nolisten", "tcp",
                     "-noreset"], self.env, pass_fds=(write_end,))
        os.close(write_end)
        with os.fdopen(read_end) as chosen:
            display = ":" + chosen.readline().strip()
        self.env["DISPLAY"] = display
        wait_for(lambda: self.desktop.run_tool("xdpyinfo").returncode == 0, "the X server")
        return {"DISPLAY": display}

    def xdotool(self, *args):
        return self.desktop.run_tool("xdotool", *args).stdout

    def windows(self, pid, title):
        found = self.xdotool("search", "--onlyvisible", "--pid", str(pid), "--name", f"^{title}$")
        return [int(window) for window in found.split()]

    def press_keys(self, window, keys):
        # The keyboard given to the window, as a window manager would.
        self.xdotool("windowfocus", str(window))
        wait_for(lambda: self.xdotool("getwindowfocus").strip() == str(window), "the keyboard")
        if keys:
            self.xdotool("key", "--clearmodifiers", "--delay", "80", *keys)

    def click(self, x, y, button):
        self.xdotool("mousemove", str(x), str(y), "click", str(button))

    def request_close(self, window):
        # A window manager sends WM_DELETE_WINDOW for the close box.
        xlib = ctypes.CDLL("libX11.so.6")
        xlib.XOpenDisplay.restype = ctypes.c_void_p  # a Display*
        xlib.XInternAtom.restype = ctypes.c_void_p  # an Atom
        display = ctypes.c_void_p(xlib.XOpenDisplay(self.env["DISPLAY"].encode()))
        protocols = xlib.XInternAtom(display, b"WM_PROTOCOLS", 0)
        delete_window = xlib.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
        # An XClientMessageEvent inside an XEvent: type ClientMessage (33),
        # serial, send_event, display, window, message_type, format 32, data.
        client_message = 33
        event = ctypes.create_string_buffer(192)
        struct.pack_into("=i4xQi4xQQQi4x2q", event, 0, client_message, 0, 0, 0, window,
                         protocols, 32, delete_window, 0)
        sent = xlib.XSendEvent(display, ctypes.c_ulong(window), 0, ctypes.c_long(0), event)
        xlib.XCloseDisplay(display)
        check(sent, "the X server refused the close request")

    def offer_selection(self, text):
        path = os.path.join(self.desktop.root, "selection.txt")
        with open(path, "w") as file:
            file.write(text)
        self.desktop.processes.start(
            "xclip", ["xclip", "-quiet", "-selection", "primary", path], self.env)
        wait_for(lambda: self.desktop.run_tool("xclip", "-o", "-selection", "primary").stdout
                 == text, f"the selection {text!r}")

    def screenshot(self, path, window=None):
        self.desktop.run_tool("import", "-window", str(window or "root"), path)
        return path


class Weston(DisplayServer):
    """A headless Wayland compositor, with the program as a native Wayland
    client. No input devices: the program is driven through the
    accessibility bus, and its windows are asked for another state through
    the test library preloaded into it."""

    qt_platform = "wayland"

    def __init__(self, desktop):
        self.desktop = desktop
        self.env = desktop.env
        self.requests = os.path.join(desktop.root, "window-requests")

    def start(self):
        socket = "wayland-vellwake"
        # The pixman renderer and the debug protocols let a screenshot be taken.
        self.desktop.processes.start(
            "weston", ["weston", "--backend=headless-backend.so", "--socket=" + socket,
                       "--no-config", "--idle-time=0", "--use-pixman", "--debug"], self.env)
        wait_for(lambda: os.path.exists(os.path.join(self.desktop.run_dir, socket)), "weston")
        # The accessibility bindings would look for their bus on an X display.
        os.environ.pop("DISPLAY", None)
        return {"WAYLAND_DISPLAY": socket}

    def program_environment(self, build_dir):
        library = os.path.join(build_dir, "vellwake-window-requests.so")
        return {"LD_PRELOAD": library, "VELLWAKE_WINDOW_REQUESTS": self.requests}

    def windows(self, pid, title):
        # No client sees another's windows on Wayland: the program's own
        # top-level objects on the accessibility bus stand in, numbered from 1.
        try:
            tops = [node for node in ScreenReader(pid).nodes() if node.top]
        except AssertionError:  # not on the bus yet
            return []
        return [number for number, node in enumerate(tops, 1) if node.window == title]

    def press_keys(self, window, keys):
        # Nothing can give a window the keyboard of a compositor without a seat.
        check(not keys, "a headless compositor has no keyboard")

    def ask_window(self, title, request):
        """Asks the window of that title, as its title bar's buttons do, to
        "maximize", go "fullscreen", be "normal" again, or "close"."""
        with open(self.requests + ".new", "w") as file:
            file.write(f"{request} {title}\n")
        os.replace(self.requests + ".new", self.requests)
        wait_for(lambda: not os.path.exists(self.requests), f"the program to take {request!r}")

    def screenshot(self, path, window=None):
        # The whole screen: weston's client names the file itself, in its
        # working directory.
        shots = tempfile.mkdtemp(dir=self.desktop.root)
        subprocess.run(["weston-screenshooter"], env=self.env, cwd=shots, capture_output=True,
                       timeout=30)
        for name in os.listdir(shots):
            shutil.move(os.path.join(shots, name), path)
        return path


class SoundServer:
    """A private sound server with a null sink, named "null", as the default
    output: PipeWire where it is the machine's server, else PulseAudio;
    VELLWAKE_E2E_SOUND_SERVER forces one."""

    def __init__(self, desktop):
        self.desktop = desktop
        self.socket = os.path.join(desktop.run_dir, "pulse", "native")
        machine_kind = "pipewire" if installed("pipewire-pulse") else "pulseaudio"
        self.kind = os.environ.get("VELLWAKE_E2E_SOUND_SERVER", machine_kind)
        self.processes = []

    @property
    def running(self):
        return bool(self.processes)

    def start(self):
        for stale_socket in self.socket_paths():
            if os.path.exists(stale_socket):
                os.remove(stale_socket)
        if self.kind == "pipewire":
            self.start_pipewire()
        else:
            self.start_pulseaudio()
        wait_for(lambda: self.pactl("info").returncode == 0, "the sound server")
        loaded = self.pactl("load-module", "module-null-sink", "sink_name=null")
        check(loaded.returncode == 0, f"no null sink: {loaded.stderr}")
        wait_for(self.null_sink_is_default, "the null sink")

    def socket_paths(self):
        run_dir = self.desktop.run_dir
        return [self.socket, os.path.join(run_dir, "pipewire-0"),
                os.path.join(run_dir, "pipewire-0-manager")]

    def start_pipewire(self):
        # Its session manager leaves the machine's sound cards and headsets alone.
        config = os.path.join(self.desktop.home, ".config", "wireplumber")
        monitors_of = {"main": ["alsa", "v4l2", "libcamera"], "bluetooth": ["bluez"]}
        for part, monitors in monitors_of.items():
            part_dir = os.path.join(config, f"{part}.lua.d")
            os.makedirs(part_dir, exist_ok=True)
            with open(os.path.join(part_dir, "80-private.lua"), "w") as file:
                for monitor in monitors:
                    file.write(f"{monitor}_monitor.enabled = false\n")
        # Each needs the one before it up: wireplumber gives up at once
        # without pipewire.
        start = self.desktop.processes.start
        self.processes = [start("pipewire", ["pipewire"], self.desktop.env)]
        socket = os.path.join(self.desktop.run_dir, "pipewire-0")
        wait_for(lambda: os.path.exists(socket), "pipewire")
        for name in ("wireplumber", "pipewire-pulse"):
            self.processes.append(start(name, [name], self.desktop.env))

    def start_pulseaudio(self):
        argv = ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--disable-shm=yes",
                "--load=module-native-protocol-unix auth-anonymous=1 socket=" + self.socket]
        self.processes = [self.desktop.processes.start("pulseaudio", argv, self.desktop.env)]

    def null_sink_is_default(self):
        set_default = self.pactl("set-default-sink", "null")
        return set_default.returncode == 0 and "Default Sink: null" in self.pactl("info").stdout

    def pactl(self, *args):
        return self.desktop.run_tool("pactl", *args)

    def kill(self):
        """Ends the server as a crash would: no goodbye to its clients."""
        for process in self.processes:
            self.desktop.processes.signal(process, signal.SIGKILL)
        for process in self.processes:
            process.wait()
            self.desktop.processes.running.remove(process)
        self.processes = []

    def pause(self):
        """Freezes the server: its clients' calls find it there, and no answer."""
        for process in self.processes:
            self.desktop.processes.signal(process, signal.SIGSTOP)

    def resume(self):
        for process in self.processes:
            self.desktop.processes.signal(process, signal.SIGCONT)

    def set_mute(self, muted):
        done = self.pactl("set-sink-mute", "null", "1" if muted else "0")
        check(done.returncode == 0, f"the null sink's mute could not be set: {done.stderr}")

    def muted(self):
        answer = self.pactl("get-sink-mute", "null").stdout
        check(answer.startswith("Mute: "), f"no mute state read: {answer!r}")
        return answer.split()[1] == "yes"

    def set_volume(self, percent):
        done = self.pactl("set-sink-volume", "null", f"{percent}%")
        check(done.returncode == 0, f"the null sink's volume could not be set: {done.stderr}")

    def volume(self):
        """The loudest channel of the null sink, in percent."""
        answer = self.pactl("get-sink-volume", "null").stdout
        percents = [int(percent) for percent in re.findall(r"(\d+)%", answer)]
        check(percents, f"no volume read: {answer!r}")
        return max(percents)

    def record(self, seconds):
        """What the null sink plays, as 8 kHz mono samples."""
        argv = ["parec", "-d", "null.monitor", "--raw", "--format=s16le", "--rate=8000",
                "--channels=1", "--latency-msec=20"]
        recorder = self.desktop.processes.start("parec", argv, self.desktop.env,
                                                stdout=subprocess.PIPE)
        wanted = int(8000 * seconds) * 2
        data = b""
        # A server that does not answer gives what came until then.
        deadline = time.monotonic() + seconds + TIMEOUT
        while len(data) < wanted:
            left = deadline - time.monotonic()
            readable, _, _ = select.select([recorder.stdout], [], [], max(left, 0))
            if not readable:
                break
            chunk = recorder.stdout.read1(wanted - len(data))
            if not chunk:
                break
            data += chunk
        self.desktop.processes.stop(recorder)
        recorder.stdout.close()
        whole_samples = len(data) // 2 * 2
        return array.array("h", data[:whole_samples])


@dataclasses.dataclass
class Heard:
    """What a stretch of recording sounded like."""
    pitch: float  # the main pitch, in Hz
    share: float  # the share of its 10 ms stretches with sound in them
    breaks: list  # the 10 ms stretches at which the sound broke off

    @property
    def silent(self):
        return self.share == 0


# Samples louder than this are sound, about -30 dBFS; the null sink adds no noise.
LOUD = 1000
# Near zero, a sign change says nothing about the pitch.
NEAR_ZERO = 300


def judge(samples, rate=8000):
    stretch = rate // 100
    loud = []
    for start in range(0, len(samples) - stretch + 1, stretch):
        part = samples[start:start + stretch]
        loud.append(max(abs(value) for value in part) > LOUD)
    signs = [value > 0 for value in samples if abs(value) > NEAR_ZERO]
    crossings = sum(1 for a, b in zip(signs, signs[1:]) if a != b)
    seconds_with_sound = max(sum(loud) / 100, 0.01)
    breaks = [i for i in range(1, len(loud)) if loud[i - 1] and not loud[i]]
    return Heard(pitch=crossings / 2 / seconds_with_sound,
                 share=sum(loud) / max(len(loud), 1), breaks=breaks)


@dataclasses.dataclass
class Node:
    """An object of the program as a screen reader sees it."""
    role: str
    name: str
    description: str
    text: str  # a text field's contents; None for other roles
    states: set
    window: str  # the name of its top-level window while that shows, else None
    top: bool  # a top-level window itself
    accessible: object

    def matches(self, states, match):
        if not set(states) <= self.states:
            return False
        return all(getattr(self, key) == value for key, value in match.items())

    def extents(self, relative_to_window=False):
        """(x, y, width, height) on the screen, or within its window."""
        import pyatspi
        kind = pyatspi.WINDOW_COORDS if relative_to_window else pyatspi.DESKTOP_COORDS
        box = self.accessible.queryComponent().getExtents(kind)
        return box.x, box.y, box.width, box.height

    def describe(self):
        return (f"{self.window!r} {self.role} {self.name!r} {self.description!r} "
                f"{sorted(self.states)}")


class ScreenReader:
    """The program's objects on the accessibility bus. The bindings read the
    bus's address at first use, after the desktop has set it."""

    def __init__(self, pid):
        self.pid = pid

    def nodes(self):
        import pyatspi
        pyatspi.clearCache()
        desktop = pyatspi.Registry.getDesktop(0)
        program = None
        for index in range(desktop.childCount):
            application = desktop.getChildAtIndex(index)
            if application is not None and application.get_process_id() == self.pid:
                program = application
        check(program is not None, "the program is not on the accessibility bus")
        found = []
        self.walk(program, None, 0, found)
        return found

    def walk(self, accessible, window, depth, found):
        import pyatspi
        top = depth == 1  # the program's windows are its children
        states = {pyatspi.stateToString(state) for state in accessible.getState().getStates()}
        if top:
            window = accessible.name if "showing" in states else None
        role = accessible.getRoleName()
        text = accessible.queryText().getText(0, -1) if role == "text" else None
        found.append(Node(role=role, name=accessible.name, description=accessible.description,
                          text=text, states=states, window=window, top=top,
                          accessible=accessible))
        for index in range(accessible.childCount):
            self.walk(accessible.getChildAtIndex(index), window, depth + 1, found)

    def find(self, states=(), **match):
        return [node for node in self.nodes() if node.matches(states, match)]

    def wait_node(self, states=(), **match):
        def first_match():
            found = self.find(states, **match)
            return found[0] if found else None
        return wait_for(first_match, f"{match} {sorted(states)}")


class Desktop:
    """A private desktop; the display server's kind is a class given to it."""

    def __init__(self, artefacts, name, clock="2026-03-02 07:00:00", sound=True,
                 display_server=XServer):
        self.artefacts = os.path.join(os.path.abspath(artefacts), name)
        shutil.rmtree(self.artefacts, ignore_errors=True)
        os.makedirs(self.artefacts)
        self.root = tempfile.mkdtemp(prefix="vw-")  # short: socket paths must fit
        self.run_dir = os.path.join(self.root, "run")
        self.home = os.path.join(self.root, "home")
        self.cwd = os.path.join(self.root, "cwd")
        for directory in (self.run_dir, self.home, self.cwd, os.path.join(self.run_dir, "pulse")):
            os.makedirs(directory, mode=0o700)
        self.processes = Processes(self.artefacts)
        self.clock = FakeClock(os.path.join(self.root, "clock"), PROGRAM_TIME_ZONE)
        self.clock.set(clock)
        self.env = {"PATH": os.environ["PATH"], "HOME": self.home, "LANG": "C.UTF-8",
                    "XDG_RUNTIME_DIR": self.run_dir,
                    "PULSE_SERVER": "unix:" + os.path.join(self.run_dir, "pulse", "native")}
        self.display = display_server(self)
        self.sound = SoundServer(self)
        self.program = None
        self.screen_reader = None
        try:
            self.env.update(self.display.start())
            self.start_buses()
            if sound:
                self.sound.start()
        except BaseException:
            self.close()
            raise

    def start_buses(self):
        bus_path = os.path.join(self.root, "bus")
        bus = "unix:path=" + bus_path
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus
        self.processes.start("session-bus", ["dbus-daemon", "--session", "--nofork",
                                             "--address=" + bus], self.env)
        wait_for(lambda: os.path.exists(bus_path), "the session bus")
        self.processes.start("a11y-bus", ["/usr/libexec/at-spi-bus-launcher",
                                          "--launch-immediately"], self.env)
        ask_address = ["dbus-send", "--session", "--dest=org.a11y.Bus", "--print-reply",
                       "/org/a11y/bus", "org.a11y.Bus.GetAddress"]
        wait_for(lambda: self.run_tool(*ask_address).returncode == 0, "the accessibility bus")
        # The accessibility bindings in this process find the buses here.
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"):
            if name in self.env:
                os.environ[name] = self.env[name]

    def run_tool(self, *argv):
        return subprocess.run(argv, env=self.env, capture_output=True, text=True, timeout=30)

    def start_program(self, binary, audio_module=True, **extra_env):
        # A copy, with the audio module it loads from beside itself unless a
        # row leaves it out: the sound files beside the built binary would
        # hide the ones a row lays out in the working directory.
        copied = shutil.copy2(binary, self.root)
        if audio_module:
            module = os.path.join(os.path.dirname(binary), "vellwake-sound.so")
            shutil.copy2(module, self.root)
        env = dict(self.env, QT_QPA_PLATFORM=self.display.qt_platform,
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   # The clock library comes first; leaks are the unit tests' job.
                   ASAN_OPTIONS="verify_asan_link_order=0:detect_leaks=0",
                   UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1")
        env.update(self.clock.program_environment())
        for name, value in self.display.program_environment(os.path.dirname(binary)).items():
            env[name] = env[name] + ":" + value if name == "LD_PRELOAD" else value
        env.update(extra_env)
        self.program = self.processes.start("vellwake", [copied], env, cwd=self.cwd)
        self.screen_reader = ScreenReader(self.program.pid)

    def program_log(self):
        """What the program wrote on its standard error and output so far."""
        with open(os.path.join(self.artefacts, "vellwake.log"), errors="replace") as log:
            return log.read()

    def close(self):
        self.processes.stop_all()
        shutil.rmtree(self.root, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, kind, error, traceback):
        if kind is not None:
            self.keep_failure_record()
        self.close()

    def keep_failure_record(self):
        # The screen, and what a screen reader saw.
        try:
            self.screenshot("failure")
            if self.screen_reader is None:
                return
            with open(os.path.join(self.artefacts, "failure.txt"), "w") as record:
                for node in self.screen_reader.nodes():
                    record.write(node.describe() + "\n")
        except Exception as problem:
            print(f"no failure record: {problem!r}")

    # --- the program's windows, keys and mouse

    def windows(self, title):
        check(self.program.poll() is None,
              f"the program ended with code {self.program.returncode}")
        return self.display.windows(self.program.pid, title)

    def window(self, title, other_than=()):
        def new_window():
            for window in self.windows(title):
                if window not in other_than:
                    return window
            return None
        return wait_for(new_window, f'a window "{title}"')

    def keys(self, window, *keys):
        self.display.press_keys(window, keys)

    def click(self, node, button=1):
        # In the middle of a control (at scale factor 1).
        x, y, width, height = node.extents()
        self.display.click(x + width // 2, y + height // 2, button)

    def screenshot(self, name, window=None):
        return self.display.screenshot(os.path.join(self.artefacts, name + ".png"), window)

    # --- the loudspeaker

    def heard(self, seconds=1.0):
        return judge(self.sound.record(seconds))
