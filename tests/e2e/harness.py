# SPDX-FileCopyrightText: 2026 The Vellwake developers
# SPDX-License-Identifier: MIT
# A private desktop for the real program: its own display server, session and
# accessibility buses, sound server with a null sink, and a wall clock moved
# from outside. Everything it starts is stopped by the id it was started with;
# the desktop's own services are never touched.

import array
import dataclasses
import datetime
import glob
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import zoneinfo

# Generous: the sanitizer build starts and reacts several times slower.
TIMEOUT = 60


def check(ok, message):
    if not ok:
        raise AssertionError(message)


# The first true value the predicate gives, asked again until the timeout.
def wait_for(predicate, what, timeout=TIMEOUT):
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


# Found, not written: the folder differs between architectures.
def faketime_library():
    found = glob.glob("/usr/lib/*/faketime/libfaketime.so.1")
    found += glob.glob("/usr/lib/faketime/libfaketime.so.1")
    check(found, "no libfaketime.so.1: the libfaketime package is missing")
    return found[0]


# The program's wall clock, on a winter day. libfaketime reads the file at each
# call; it holds an offset from the real clock, so that the program's time runs
# on from where it was set however long the program takes.
class FakeClock:
    def __init__(self, path):
        self.path = path
        self.zone = zoneinfo.ZoneInfo("Europe/Berlin")
        self.set_just_before("7:00 AM")

    def set_just_before(self, shown):  # two seconds before the minute shown as "7:05 AM"
        minute = datetime.datetime.strptime(f"2026-03-02 {shown}", "%Y-%m-%d %I:%M %p")
        target = minute.replace(tzinfo=self.zone).timestamp() - 2
        with open(self.path + ".new", "w") as file:
            file.write(f"{target - time.time():+.3f}\n")
        os.replace(self.path + ".new", self.path)

    def program_environment(self):
        return {"TZ": self.zone.key, "FAKETIME_TIMESTAMP_FILE": self.path,
                "FAKETIME_NO_CACHE": "1", "FAKETIME_DONT_FAKE_MONOTONIC": "1"}


# A private X server, driven through xdotool as a user would. Its windows are
# X ids.
class XServer:
    qt_platform = "xcb"

    def __init__(self, desktop):
        self.desktop = desktop

    def start(self):  # what a client's environment needs
        # A display of this process's own: one just freed may still be torn
        # down. No reset when the last client leaves: the program would find
        # it closed.
        display = f":{1000 + os.getpid() % 20000}"
        self.desktop.start("xvfb", ["Xvfb", display, "-nolisten", "tcp", "-noreset"])
        ready = ["xdpyinfo", "-display", display]
        wait_for(lambda: self.desktop.run_tool(*ready).returncode == 0, "the X server")
        return {"DISPLAY": display}

    def xdotool(self, *args):
        return self.desktop.run_tool("xdotool", *args).stdout

    def window(self, pid, title):  # that process's visible window of that exact title
        search = ["search", "--onlyvisible", "--pid", str(pid), "--name", f"^{title}$"]
        return int(wait_for(lambda: self.xdotool(*search), f'a window "{title}"').split()[0])

    def give_keyboard(self, window):
        def focused():
            self.xdotool("windowfocus", str(window))
            return self.xdotool("getwindowfocus").strip() == str(window)
        wait_for(focused, "the keyboard")

    def press(self, *keys):  # named as xdotool names them, into the window with the keyboard
        self.xdotool("key", "--clearmodifiers", "--delay", "80", *keys)

    def click(self, node, button):  # in the middle of a control, at scale factor 1
        x, y, width, height = node.extents()
        self.xdotool("mousemove", str(x + width // 2), str(y + height // 2), "click", str(button))

    def offer_selection(self, text):  # what the middle button pastes
        path = os.path.join(self.desktop.root, "selection.txt")
        with open(path, "w") as file:
            file.write(text)
        self.desktop.start("xclip", ["xclip", "-quiet", "-selection", "primary", path])
        selection = ["xclip", "-o", "-selection", "primary"]
        wait_for(lambda: self.desktop.run_tool(*selection).stdout == text, f"the selection {text}")

    def screenshot(self, path, window="root"):
        self.desktop.run_tool("import", "-window", str(window), path)
        return path


# A headless Wayland compositor, with the program as a native Wayland client.
# No input devices: the program is driven through the accessibility bus.
class Weston:
    qt_platform = "wayland"

    def __init__(self, desktop):
        self.desktop = desktop

    def start(self):
        socket = "wayland-vellwake"
        self.desktop.start("weston", ["weston", "--backend=headless-backend.so",
                                      "--socket=" + socket, "--no-config", "--idle-time=0"])
        wait_for(lambda: os.path.exists(os.path.join(self.desktop.run_dir, socket)), "weston")
        # The accessibility bindings would look for their bus on an X display.
        os.environ.pop("DISPLAY", None)
        return {"WAYLAND_DISPLAY": socket}


# A private sound server with a null sink, named "null", as the default output:
# PipeWire where it is the machine's server, else PulseAudio;
# VELLWAKE_E2E_SOUND_SERVER forces one.
class SoundServer:
    def __init__(self, desktop):
        self.desktop = desktop
        machine_kind = "pipewire" if shutil.which("pipewire-pulse") else "pulseaudio"
        self.kind = os.environ.get("VELLWAKE_E2E_SOUND_SERVER", machine_kind)
        self.processes = []

    def start(self):
        run_dir = self.desktop.run_dir
        # A server that was killed leaves its sockets behind.
        for name in ("pulse/native", "pipewire-0", "pipewire-0-manager"):
            if os.path.exists(os.path.join(run_dir, name)):
                os.remove(os.path.join(run_dir, name))
        if self.kind == "pipewire":
            self.start_pipewire()
        else:
            socket = os.path.join(run_dir, "pulse", "native")
            argv = ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                    "--disable-shm=yes",
                    "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket]
            self.processes = [self.desktop.start("pulseaudio", argv)]
        wait_for(lambda: self.pactl("info").returncode == 0, "the sound server")
        loaded = self.pactl("load-module", "module-null-sink", "sink_name=null")
        check(loaded.returncode == 0, f"no null sink: {loaded.stderr}")
        wait_for(lambda: self.pactl("set-default-sink", "null").returncode == 0
                 and "Default Sink: null" in self.pactl("info").stdout, "the null sink")

    def start_pipewire(self):
        # Its session manager leaves the machine's sound cards and headsets alone.
        config = os.path.join(self.desktop.home, ".config", "wireplumber")
        for part, monitors in (("main", "alsa v4l2 libcamera"), ("bluetooth", "bluez")):
            os.makedirs(os.path.join(config, f"{part}.lua.d"), exist_ok=True)
            with open(os.path.join(config, f"{part}.lua.d", "80-private.lua"), "w") as file:
                for monitor in monitors.split():
                    file.write(f"{monitor}_monitor.enabled = false\n")
        # Each needs the one before it up: wireplumber gives up at once
        # without pipewire.
        self.processes = [self.desktop.start("pipewire", ["pipewire"])]
        socket = os.path.join(self.desktop.run_dir, "pipewire-0")
        wait_for(lambda: os.path.exists(socket), "pipewire")
        for name in ("wireplumber", "pipewire-pulse"):
            self.processes.append(self.desktop.start(name, [name]))

    def pactl(self, *args):
        return self.desktop.run_tool("pactl", *args)

    def crash(self):
        for process in self.processes:
            self.desktop.stop(process, signal.SIGKILL)
        self.processes = []

    def send(self, number):  # SIGSTOP leaves it there, answering nothing, until SIGCONT
        for process in self.processes:
            self.desktop.send(process, number)

    def sink(self):  # (muted, the loudest channel's volume in percent)
        mute = self.pactl("get-sink-mute", "null").stdout
        volume = self.pactl("get-sink-volume", "null").stdout
        percents = [int(percent) for percent in re.findall(r"(\d+)%", volume)]
        check(mute.startswith("Mute: ") and percents, f"the null sink reads {mute!r} {volume!r}")
        return mute.split()[1] == "yes", max(percents)

    # What the null sink plays for that long, as 8 kHz mono samples; from a
    # server that does not answer or has gone, what came until then.
    def record(self, seconds):
        argv = ["parec", "-d", "null.monitor", "--raw", "--format=s16le", "--rate=8000",
                "--channels=1", "--latency-msec=20"]
        try:
            data = subprocess.run(argv, env=self.desktop.env, capture_output=True,
                                  timeout=seconds).stdout
        except subprocess.TimeoutExpired as recording:
            data = recording.stdout or b""
        return array.array("h", data[:len(data) // 2 * 2])


# What a stretch of recording sounded like.
@dataclasses.dataclass
class Heard:
    pitch: float  # the main pitch, in Hz
    share: float  # the share of its 10 ms stretches with sound in them, 0 in silence


# About -40 dBFS: the tone at 30 % of a sink's volume is still heard, at 5 %
# it is not. The null sink adds no noise.
LOUD = 300
NEAR_ZERO = 100  # where a sign change says nothing about the pitch


def judge(samples, rate=8000):
    stretch = rate // 100
    loud = [max(abs(value) for value in samples[start:start + stretch]) > LOUD
            for start in range(0, len(samples) - stretch + 1, stretch)]
    signs = [value > 0 for value in samples if abs(value) > NEAR_ZERO]
    crossings = sum(1 for a, b in zip(signs, signs[1:]) if a != b)
    return Heard(pitch=crossings / 2 / max(sum(loud) / 100, 0.01),
                 share=sum(loud) / max(len(loud), 1))


# An object of the program as a screen reader sees it.
@dataclasses.dataclass
class Node:
    role: str
    name: str
    description: str
    text: str  # a text field's contents; None for other roles
    states: set
    window: str  # the name of its top-level window while that shows, else None
    top: bool  # a top-level window itself
    accessible: object

    def extents(self, within_window=False):  # (x, y, width, height)
        import pyatspi
        kind = pyatspi.WINDOW_COORDS if within_window else pyatspi.DESKTOP_COORDS
        box = self.accessible.queryComponent().getExtents(kind)
        return box.x, box.y, box.width, box.height


# The objects of the program with that id on the accessibility bus, none
# before it is there. The bindings read the bus's address at their first use,
# once the desktop has set it.
def program_nodes(pid):
    import pyatspi
    pyatspi.clearCache()
    found = []
    for application in pyatspi.Registry.getDesktop(0):
        if application is not None and application.get_process_id() == pid:
            walk(application, None, 0, found)
    return found


def walk(accessible, window, depth, found):
    import pyatspi
    states = {pyatspi.stateToString(state) for state in accessible.getState().getStates()}
    top = depth == 1  # the program's windows are its children
    if top:
        window = accessible.name if "showing" in states else None
    role = accessible.getRoleName()
    text = accessible.queryText().getText(0, -1) if role == "text" else None
    found.append(Node(role, accessible.name, accessible.description, text, states, window, top,
                      accessible))
    for child in accessible:
        walk(child, window, depth + 1, found)


# A private desktop; the kind of display server is a class given to it.
class Desktop:
    def __init__(self, artefacts, name, display_server):
        self.artefacts = os.path.join(os.path.abspath(artefacts), name)
        shutil.rmtree(self.artefacts, ignore_errors=True)
        os.makedirs(self.artefacts)
        self.root = tempfile.mkdtemp(prefix="vw-")  # short: socket paths must fit
        self.run_dir = os.path.join(self.root, "run")
        self.home = os.path.join(self.root, "home")
        self.cwd = os.path.join(self.root, "cwd")
        for directory in (self.run_dir, self.home, self.cwd, os.path.join(self.run_dir, "pulse")):
            os.makedirs(directory, mode=0o700)
        self.running = []
        self.clock = FakeClock(os.path.join(self.root, "clock"))
        self.requests = os.path.join(self.root, "window-requests")
        self.env = {"PATH": os.environ["PATH"], "HOME": self.home, "LANG": "C.UTF-8",
                    "XDG_RUNTIME_DIR": self.run_dir,
                    "PULSE_SERVER": "unix:" + os.path.join(self.run_dir, "pulse", "native")}
        self.display = display_server(self)
        self.sound = SoundServer(self)
        self.program = None
        try:
            self.env.update(self.display.start())
            self.start_buses()
            self.sound.start()
        except BaseException:
            self.close()
            raise

    def start_buses(self):
        bus_path = os.path.join(self.root, "bus")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + bus_path
        self.start("session-bus", ["dbus-daemon", "--session", "--nofork",
                                   "--address=unix:path=" + bus_path])
        wait_for(lambda: os.path.exists(bus_path), "the session bus")
        self.start("a11y-bus", ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        ask = ["dbus-send", "--session", "--dest=org.a11y.Bus", "--print-reply", "/org/a11y/bus",
               "org.a11y.Bus.GetAddress"]
        wait_for(lambda: self.run_tool(*ask).returncode == 0, "the accessibility bus")
        # The accessibility bindings in this process find the buses here.
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"):
            if name in self.env:
                os.environ[name] = self.env[name]

    # Each in a process group of its own, so that its helpers end with it,
    # logging into the artefact directory.
    def start(self, name, argv, env=None, cwd=None):
        with open(os.path.join(self.artefacts, name + ".log"), "ab") as log:
            process = subprocess.Popen(argv, env=env or self.env, cwd=cwd,
                                       stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                       start_new_session=True)
        self.running.append(process)
        return process

    def send(self, process, number):
        try:
            os.killpg(process.pid, number)
        except ProcessLookupError:
            pass

    def stop(self, process, number=signal.SIGTERM):
        # A stopped process would keep the end signal pending for ever.
        self.send(process, signal.SIGCONT)
        self.send(process, number)
        try:
            process.wait(15)
        except subprocess.TimeoutExpired:
            self.send(process, signal.SIGKILL)
            process.wait()
        self.running.remove(process)

    def run_tool(self, *argv):
        return subprocess.run(argv, env=self.env, capture_output=True, text=True, timeout=30)

    def start_program(self, binary, audio_module, scale_factor):
        # A copy, with the audio module it loads from beside itself unless a
        # row leaves it out: the sound files beside the built binary would
        # hide the ones a row lays out in the working directory.
        copied = shutil.copy2(binary, self.root)
        if audio_module:
            shutil.copy2(os.path.join(os.path.dirname(binary), "vellwake-sound.so"), self.root)
        # Test code that asks the program's windows for another state as their
        # title bars do; the program never links it.
        requests_library = os.path.join(os.path.dirname(binary), "vellwake-window-requests.so")
        env = dict(self.env, QT_QPA_PLATFORM=self.display.qt_platform,
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_SCALE_FACTOR=str(scale_factor),
                   # The clock library comes first; leaks are the unit tests' job.
                   LD_PRELOAD=faketime_library() + ":" + requests_library,
                   VELLWAKE_WINDOW_REQUESTS=self.requests,
                   ASAN_OPTIONS="verify_asan_link_order=0:detect_leaks=0",
                   UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1")
        env.update(self.clock.program_environment())
        self.program = self.start("vellwake", [copied], env, cwd=self.cwd)

    # The program's objects that match, as a screen reader finds them; fails
    # at once, with the end of its log, once the program has ended.
    def find(self, states=(), **match):
        if self.program.poll() is not None:
            last_words = self.program_log().strip().splitlines()[-3:]
            check(False, f"the program ended with code {self.program.returncode}: {last_words}")
        return [node for node in program_nodes(self.program.pid) if set(states) <= node.states
                and all(getattr(node, key) == value for key, value in match.items())]

    def wait_node(self, states=(), **match):  # the first that matches
        return wait_for(lambda: self.find(states, **match), f"{match} {list(states)}")[0]

    # Asks the shown window of that title, as its title bar's buttons do, to
    # "maximize" or "close".
    def ask_window(self, title, request):
        with open(self.requests + ".new", "w") as file:
            file.write(f"{request} {title}\n")
        os.replace(self.requests + ".new", self.requests)
        wait_for(lambda: not os.path.exists(self.requests), f"the program to take {request!r}")

    def program_log(self):  # its standard output and error so far
        with open(os.path.join(self.artefacts, "vellwake.log"), errors="replace") as log:
            return log.read()

    def close(self):
        for process in reversed(list(self.running)):
            self.stop(process)
        shutil.rmtree(self.root, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, kind, error, traceback):
        if kind is not None:
            self.print_failure_record()
        self.close()

    def print_failure_record(self):  # what a screen reader saw, into the test's log
        try:
            for node in program_nodes(self.program.pid):
                print(f"{node.window!r} {node.role} {node.name!r} {node.description!r} "
                      f"{sorted(node.states)}")
        except Exception as problem:
            print(f"no failure record: {problem!r}")

    def heard(self, seconds):
        return judge(self.sound.record(seconds))
