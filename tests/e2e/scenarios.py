#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Vellwake developers
# SPDX-License-Identifier: MIT
# What only the real program on a real desktop can show, one row per run:
#
# scenarios.py BINARY ARTEFACT_DIR ROW     or     scenarios.py --list

import array
import dataclasses
import enum
import math
import os
import re
import signal
import subprocess
import sys
import time
import wave

from harness import TIMEOUT, Desktop, Weston, XServer, check, wait_for

MAIN = "Vellwake"
SET_ALARMS = "Vellwake - Set Alarms"
PRESS_SPACE = "*** Press the SPACE Bar to SNOOOOZE ***"
SNOOZING = "*** snoooozing *** "
NO_AUDIO_MODULE = "*** NO SOUND: audio module missing ***"
TONE = 1500  # Hz, the user's alarm.wav; the built-in sound is far lower
ASSETS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "assets")
# For what must not wait on the sound server: well under the 30 s a client of
# a server that does not answer waits for its reply, and far above the second
# the window takes even under the sanitizers.
PROMPTLY = 20


class Sound(enum.Enum):
    TONE = "the tone of alarm.wav"
    BUILT_IN = "the built-in sound"


class AlarmFile(enum.Enum):
    TONE = "a one-second tone"
    TONE_400_KHZ = "a one-second tone at 400 kHz"
    TRUNCATED = "the tone cut short"
    GARBAGE = "the tone with garbage on its head"


# The user's alarm.wav, in the program's working directory.
def lay_out_alarm_file(directory, kind):
    rate = 400000 if kind == AlarmFile.TONE_400_KHZ else 22050
    samples = array.array("h", (int(12000 * math.sin(2 * math.pi * TONE * i / rate))
                                for i in range(rate)))
    path = os.path.join(directory, "alarm.wav")
    with wave.open(path, "wb") as file:
        file.setnchannels(1)
        file.setsampwidth(2)
        file.setframerate(rate)
        file.writeframes(samples.tobytes())
    if kind == AlarmFile.TRUNCATED:
        os.truncate(path, 14000)
    if kind == AlarmFile.GARBAGE:
        with open(path, "r+b") as file:
            file.write(b"no wave" * 40)


# A row's desktop and what its steps learn along the way.
@dataclasses.dataclass
class Session:
    desktop: Desktop
    day: str  # the day the row starts on, "YYYY-MM-DD"
    main_window: int = 0
    slots_at_ring: list = None
    pastes: int = 0
    own_sizes: dict = dataclasses.field(default_factory=dict)  # (title, role): (width, height)

    def find(self, states=(), **match):
        return self.desktop.screen_reader.find(states, **match)

    def status(self):
        found = self.find(role="label", window=MAIN, description="Status")
        return found[0] if found else None

    def status_text(self):
        return self.status().name

    def focused(self, window):
        found = self.find(["focused"], window=window, top=False)
        return (found[0].role, found[0].name, found[0].description) if found else None

    def slots(self):
        return [(box.name, "checked" in box.states) for box in self.find(role="check box",
                                                                           window=MAIN)]

    def status_pixels(self):  # (red, green, blue) triples
        shot = self.desktop.screenshot("status", self.main_window)
        x, y, width, height = self.status().extents(within_window=True)
        raw = subprocess.run(["convert", shot, "-crop", f"{width}x{height}+{x}+{y}", "+repage",
                              "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout
        return [tuple(raw[i:i + 3]) for i in range(0, len(raw) - 2, 3)]


def is_red(pixel):
    red, green, blue = pixel
    return red > 180 and green < 90 and blue < 90


def tab_to(session, window, window_name, key="Tab", **match):
    # Tabs on until that control has the focus, as a keyboard user does.
    for _ in range(12):
        if session.find(["focused"], window=window_name, top=False, **match):
            return
        before = session.focused(window_name)
        session.desktop.keys(window, key)
        wait_for(lambda: session.focused(window_name) not in (None, before), "the focus to move")
    check(False, f"Tab never reached {match}")


def open_set_alarms(session):
    wait_for(lambda: session.find(["focused"], window=MAIN, name="Set Alarms"), "the focus")
    session.desktop.keys(session.main_window, "space")
    return session.desktop.window(SET_ALARMS)


def set_alarms(session, alarms):
    # The whole setting by keyboard: Tab, digits, space on PM, then SET.
    window = open_set_alarms(session)
    parsed = [re.fullmatch(r"(\d+):(\d+) ([AP]M)", alarm).groups() for alarm in alarms]
    for slot, (hour, minute, _) in enumerate(parsed, 1):
        for part, digits in (("hour", hour), ("minute", minute)):
            tab_to(session, window, SET_ALARMS, role="text", name=f"Alarm {slot} {part}")
            session.desktop.keys(window, *digits)
            wait_for(lambda: session.find(role="text", name=f"Alarm {slot} {part}", text=digits),
                     f"{digits} in the {part} field")
    afternoon = [slot for slot, (_, _, half) in enumerate(parsed, 1) if half == "PM"]
    # A half box taking the focus clears its partner: forward only.
    for slot in afternoon:
        tab_to(session, window, SET_ALARMS, role="check box", name="PM",
               description=f"Alarm {slot}")
        session.desktop.keys(window, "space")
    back_to_set = "Tab" if afternoon else "shift+Tab"
    tab_to(session, window, SET_ALARMS, back_to_set, role="push button", name="SET")
    session.desktop.keys(window, "space")
    wait_for(lambda: session.main_window in session.desktop.windows(MAIN), "the main window")


# One thing a row does or checks, in the order the row lists them.
class Step:
    def run(self, session):
        raise NotImplementedError


@dataclasses.dataclass
class At(Step):  # the wall clock set to "HH:MM:SS" on the row's day, or a date and time
    when: str

    def run(self, session):
        when = self.when if len(self.when) > 8 else f"{session.day} {self.when}"
        session.desktop.clock.set(when)


# A control of the main window as a screen reader reads it out.
@dataclasses.dataclass
class Shows(Step):
    role: str
    name: str = None
    description: str = None
    promptly: bool = False

    def run(self, session):
        match = {"role": self.role, "name": self.name, "description": self.description}
        match = {key: value for key, value in match.items() if value is not None}
        wait_for(lambda: session.find(window=MAIN, **match), f"{match} shown",
                 timeout=PROMPTLY if self.promptly else TIMEOUT)


@dataclasses.dataclass
class StatusShows(Step):
    text: str
    red: bool = False
    promptly: bool = False

    def run(self, session):
        wait_for(lambda: session.status_text() == self.text, f"the status {self.text!r}",
                 timeout=PROMPTLY if self.promptly else TIMEOUT)
        if self.red:
            wait_for(lambda: sum(map(is_red, session.status_pixels())) > 20, "a red status")


# The ring as it shows (the status asks for the space bar, and the snooze
# button holds the focus once the window has the keyboard) and, unless the
# sound is None, as it sounds.
@dataclasses.dataclass
class Rings(Step):
    sound: Sound = None
    promptly: bool = False

    def run(self, session):
        StatusShows(PRESS_SPACE, promptly=self.promptly).run(session)
        # The window given the keyboard: the focus inside is the program's.
        session.desktop.keys(session.main_window)
        wait_for(lambda: session.find(["focused"], window=MAIN, name="SNOOOOOZE"),
                 "the focus on SNOOOOOZE", timeout=PROMPTLY if self.promptly else TIMEOUT)
        session.slots_at_ring = session.slots()
        if self.sound is not None:
            self.listen(session.desktop)

    def listen(self, desktop):
        wait_for(lambda: not desktop.heard(0.3).silent, "a sound")
        # Buffers lost on a busy machine spoil one recording; a fault spoils
        # every one.
        for attempt in range(3):
            heard = desktop.heard(2.5)
            is_tone = abs(heard.pitch - TONE) < 150
            # The one-second file loops on without a break at each turn.
            gaps = {later - earlier for earlier in heard.breaks for later in heard.breaks}
            looped = heard.share > 0.9 and not gaps & set(range(97, 104))
            if is_tone == (self.sound == Sound.TONE) and (looped or self.sound != Sound.TONE):
                return
        check(is_tone == (self.sound == Sound.TONE),
              f"heard {heard.pitch:.0f} Hz, not {self.sound.value}")
        check(False, f"the looped sound: {heard.share:.0%} heard, breaks at {heard.breaks}")


@dataclasses.dataclass
class Press(Step):  # keys pressed in the main window
    keys: tuple

    def __init__(self, *keys):
        self.keys = keys

    def run(self, session):
        session.desktop.keys(session.main_window, *self.keys)


# Silence where a sound server runs, the slots as they were at the ring, and
# the snooze status.
@dataclasses.dataclass
class Snoozed(Step):
    def run(self, session):
        if session.desktop.sound.processes:
            wait_for(lambda: session.desktop.heard(0.5).silent, "silence")
        check(session.slots() == session.slots_at_ring,
              f"the slots went from {session.slots_at_ring} to {session.slots()} while snoozing")
        StatusShows(SNOOZING).run(session)


@dataclasses.dataclass
class Quiet(Step):  # no ring by the time the clock shows this
    shown: str

    def run(self, session):
        Shows("label", self.shown).run(session)
        check(session.status_text() != PRESS_SPACE, f"a ring at {self.shown}")
        check(session.desktop.heard(0.5).silent, f"a sound at {self.shown}")


@dataclasses.dataclass
class LayOut(Step):
    alarm_file: AlarmFile

    def run(self, session):
        lay_out_alarm_file(session.desktop.cwd, self.alarm_file)


@dataclasses.dataclass
class ServerStarts(Step):
    def run(self, session):
        session.desktop.sound.start()


@dataclasses.dataclass
class ServerGets(Step):  # a signal to every process of the sound server
    signal: signal.Signals

    def run(self, session):
        session.desktop.sound.send(self.signal)


# The ring heard again, with no key pressed and no minute turn to start it.
@dataclasses.dataclass
class HeardBeforeTheMinuteTurns(Step):
    sound: Sound

    def run(self, session):
        seconds_left = 58 - session.desktop.clock.now().second
        check(seconds_left > 10, "the clock is too close to a minute turn for this step")
        wait_for(lambda: not session.desktop.heard(0.3).silent, f"{self.sound.value} again",
                 timeout=seconds_left)
        check(session.status_text() == PRESS_SPACE, f"the status went to {session.status()}")
        Rings(self.sound).run(session)


@dataclasses.dataclass
class SetSink(Step):  # the null sink muted or not, at a volume in percent
    muted: bool = False
    volume: int = 100

    def run(self, session):
        pactl = session.desktop.sound.pactl
        check(pactl("set-sink-mute", "null", str(int(self.muted))).returncode == 0, "mute")
        check(pactl("set-sink-volume", "null", f"{self.volume}%").returncode == 0, "volume")


@dataclasses.dataclass
class SinkIs(Step):  # the null sink muted or not, at or above a volume in percent
    muted: bool = False
    volume: int = 100
    or_louder: bool = False

    def run(self, session):
        def as_asked():
            muted, volume = session.desktop.sound.sink()
            louder = self.or_louder and volume > self.volume
            return muted == self.muted and (volume == self.volume or louder)
        wait_for(as_asked, f"the null sink at {self}")


@dataclasses.dataclass
class LoggedOnce(Step):  # exactly one line of the program's log matches
    pattern: str

    def run(self, session):
        lines = session.desktop.program_log().splitlines()
        found = [line for line in lines if re.search(self.pattern, line, re.IGNORECASE)]
        check(len(found) == 1, f"{len(found)} lines match {self.pattern!r}: {found[:5]}")


@dataclasses.dataclass
class CloseBox(Step):  # the close box, and this key in the confirmation it brings
    answer: str

    def run(self, session):
        desktop = session.desktop
        desktop.display.request_close(session.main_window)
        confirmation = desktop.window(MAIN, other_than=[session.main_window])
        desktop.keys(confirmation, self.answer)
        if self.answer == "Escape":
            wait_for(lambda: desktop.windows(MAIN) == [session.main_window], "the confirmation")


@dataclasses.dataclass
class Ends(Step):  # with code 0, and the sound with it
    def run(self, session):
        code = session.desktop.program.wait(TIMEOUT)
        check(code == 0, f"the program ended with code {code}")
        wait_for(lambda: session.desktop.heard(0.5).silent, "silence after the end")


# The About box answered by keyboard leaves the focus where it was.
@dataclasses.dataclass
class AboutBoxGivesFocusBack(Step):
    def run(self, session):
        desktop = session.desktop
        had = wait_for(lambda: session.focused(MAIN), "a focused control")
        desktop.keys(session.main_window, "alt", "Return")
        desktop.keys(desktop.window(MAIN, other_than=[session.main_window]), "Escape")
        wait_for(lambda: desktop.windows(MAIN) == [session.main_window], "the About box to go")
        wait_for(lambda: session.focused(MAIN) == had, f"the focus back on {had}")


@dataclasses.dataclass
class SetAlarmsReadsAsWindow(Step):
    def run(self, session):
        open_set_alarms(session)
        others = wait_for(lambda: [node for node in session.find(["showing"], top=True)
                                   if node.window != MAIN], "the Set Alarms window")
        check(others[0].role in ("frame", "window", "dialog") and others[0].name == SET_ALARMS,
              f"the Set Alarms window reads as a {others[0].role} named {others[0].name!r}")


@dataclasses.dataclass
class OpenSetAlarms(Step):
    def run(self, session):
        open_set_alarms(session)


# The selection pasted with the middle button into every time field of the
# Set Alarms window leaves each one matching the pattern.
@dataclasses.dataclass
class MiddleButtonPaste(Step):
    text: str
    leaves: str

    def run(self, session):
        session.desktop.display.offer_selection(self.text)
        fields = session.find(role="text", window=SET_ALARMS)
        for field in fields:
            session.desktop.click(field, 2)
        # A field taking the focus shows that the pastes before it are done.
        session.pastes += 1
        target = fields[session.pastes % len(fields)]
        session.desktop.click(target, 1)
        wait_for(lambda: session.find(["focused"], window=SET_ALARMS, name=target.name),
                 f"the focus on {target.name}")
        for field in session.find(role="text", window=SET_ALARMS):
            check(re.fullmatch(self.leaves, field.text),
                  f"{field.name} holds {field.text!r} after pasting {self.text!r}")


def gray(path, crop, resize="100%"):
    return subprocess.run(["convert", path, "-resize", resize, "-crop", crop, "+repage",
                           "-colorspace", "gray", "-depth", "8", "gray:-"],
                          capture_output=True, check=True).stdout


# At scale factor 2 the background picture is drawn from the sharp one, pixel
# for pixel, where the picture shows.
@dataclasses.dataclass
class PictureIsTheSharpOne(Step):
    def run(self, session):
        shot = session.desktop.screenshot("main", session.main_window)

        def box(role):  # in the screenshot's pixels
            found = wait_for(lambda: session.find(role=role, window=MAIN), f"the {role}")
            x, y, width, height = found[0].extents(within_window=True)
            return 2 * x, 2 * y, 2 * (x + width), 2 * (y + height)
        image = box("image")
        area = box("filler")  # the picture shows within it
        left, top = max(image[0], area[0]), max(image[1], area[1])
        size = f"{min(image[2], area[2]) - left}x{min(image[3], area[3]) - top}"
        seen = gray(shot, f"{size}+{left}+{top}")

        # Most of it is the same: the clock text and the frames lie on top.
        def same_share(file, resize):
            part = f"{size}+{left - image[0]}+{top - image[1]}"
            expected = gray(os.path.join(ASSETS, file), part, resize)
            return sum(a == b for a, b in zip(seen, expected)) / len(seen)
        sharp = same_share("background@2x.jpg", "100%")
        upscaled = same_share("background.jpg", "200%")
        check(sharp > max(0.5, upscaled), f"{sharp:.0%} of the picture is the sharp one, "
                                          f"{upscaled:.0%} the small one scaled up")


# --- on Wayland, through the accessibility bus


# True while the program runs; fails the row at once, with the end of its
# log, once it has ended.
def program_runs(session):
    program = session.desktop.program
    if program.poll() is not None:
        last_words = session.desktop.program_log().strip().splitlines()[-3:]
        check(False, f"the program ended with code {program.returncode}: {last_words}")
    return True


def wait_node_while_running(session, states=(), **match):
    def found():
        nodes = program_runs(session) and session.find(states, **match)
        return nodes[0] if nodes else None
    return wait_for(found, f"{match} {sorted(states)}")


class WindowState(enum.Enum):
    MAXIMIZED = "maximize"
    FULL_SCREEN = "fullscreen"
    NORMAL = "normal"


# Asks the window for a state as its title bar's buttons do. Maximised or full
# screen it has the larger size the compositor gives; normal again, its own
# size, the one it had when first asked. The role tells a message box from the
# window of the same title.
@dataclasses.dataclass
class AskWindow(Step):
    title: str
    state: WindowState
    role: str = "frame"

    def run(self, session):
        def size():
            program_runs(session)
            shown = session.find(top=True, window=self.title, role=self.role)
            return shown[0].extents()[2:] if shown else None
        shown_size = wait_for(size, f"the {self.role} {self.title!r}")
        own = session.own_sizes.setdefault((self.title, self.role), shown_size)
        session.desktop.display.ask_window(self.title, self.state.value)
        if self.state == WindowState.NORMAL:
            wait_for(lambda: size() == own, f"{self.title!r} back at {own}")
            return

        def larger():
            now = size()
            return now and now[0] > own[0] and now[1] > own[1]
        wait_for(larger, f"{self.title!r} larger than {own} ({self.state.name})")


@dataclasses.dataclass
class CloseRequest(Step):  # what the window's close box asks for
    title: str

    def run(self, session):
        session.desktop.display.ask_window(self.title, "close")


@dataclasses.dataclass
class ClockTurnsTo(Step):  # the clock shows this, and the program runs on
    shown: str

    def run(self, session):
        wait_node_while_running(session, role="label", name=self.shown, window=MAIN)


# A button pressed through its accessible action, as a screen reader's user does.
@dataclasses.dataclass
class PressButton(Step):
    window: str
    name: str

    def run(self, session):
        button = wait_node_while_running(session, ["enabled"], window=self.window,
                                         role="push button", name=self.name)
        action = button.accessible.queryAction()
        names = [action.getName(index) for index in range(action.nActions)]
        check("Press" in names, f"{self.name!r} offers the actions {names}")
        action.doAction(names.index("Press"))


@dataclasses.dataclass
class EnterText(Step):  # a field's text set through the accessibility bus
    window: str
    field: str
    text: str

    def run(self, session):
        field = wait_node_while_running(session, window=self.window, role="text",
                                        name=self.field)
        field.accessible.queryEditableText().setTextContents(self.text)
        wait_node_while_running(session, window=self.window, role="text", name=self.field,
                                text=self.text)


# The ring's status and a sound, where no window can be given the keyboard.
@dataclasses.dataclass
class RingsWithoutKeyboard(Step):
    def run(self, session):
        wait_for(lambda: program_runs(session) and session.status_text() == PRESS_SPACE,
                 "the ring")
        wait_for(lambda: not session.desktop.heard(0.3).silent, "a sound")
        session.slots_at_ring = session.slots()


@dataclasses.dataclass(frozen=True)
class Row:
    name: str
    steps: tuple
    alarms: tuple = ()  # set by keyboard in the Set Alarms window before the steps
    day_starts: str = "2026-03-02 07:00:00"
    sound_server: bool = True  # started with the desktop
    audio_module: bool = True  # copied beside the program
    scale_factor: int = 1
    display_server: type = XServer


ROWS = (
    # How many keys a ring takes is the unit tests' table; this row shows the
    # space bar through a real display server.
    Row("snooze_space", alarms=("7:05 AM", "9:15 AM"), steps=(
        At("07:04:58"), Rings(Sound.TONE), Press("space"), Snoozed(),
        At("07:19:58"), Rings(Sound.TONE))),
    # The sound server crashes and comes back while the alarm rings: the ring
    # is heard again by itself, with no key and no minute turn.
    Row("sound_server_killed_while_ringing", alarms=("7:05 AM",), steps=(
        At("07:04:58"), Rings(Sound.TONE), ServerGets(signal.SIGKILL), ServerStarts(),
        HeardBeforeTheMinuteTurns(Sound.TONE), Press("space"), Snoozed())),
    # A server that answers nothing at the ring holds up neither the window nor
    # the snooze; the snooze rings once it answers again.
    Row("sound_server_stopped_at_ring", alarms=("7:05 AM",), steps=(
        At("07:04:50"), ServerGets(signal.SIGSTOP), At("07:04:58"), Rings(promptly=True),
        At("07:05:58"), Shows("label", "7:06 AM", promptly=True), Press("space"),
        StatusShows(SNOOZING, promptly=True), ServerGets(signal.SIGCONT),
        At("07:20:58"), Rings(Sound.TONE))),
    # An output muted and near silent is raised for the ring and left as the
    # user had it after.
    Row("sound_muted_quiet_sink_rings", alarms=("7:05 AM",), steps=(
        SetSink(muted=True, volume=5), At("07:04:58"), Rings(Sound.TONE), Press("space"),
        Snoozed(), SinkIs(muted=True, volume=5))),
    # A rate no sound server takes as it is: converted, not replaced.
    Row("sound_file_at_400_khz", alarms=("7:05 AM",), steps=(
        LayOut(AlarmFile.TONE_400_KHZ), At("07:04:58"), Rings(Sound.TONE))),
    # The program copied without its audio module: an armed alarm says that it
    # cannot be heard, rings all the same, and the log says so once.
    Row("sound_module_missing", alarms=("7:05 AM",), audio_module=False, steps=(
        StatusShows(NO_AUDIO_MODULE, red=True), At("07:04:58"), Rings(),
        At("07:05:58"), Shows("label", "7:06 AM"), At("07:06:58"), Shows("label", "7:07 AM"),
        LoggedOnce(r"module|vellwake-sound"))),
    Row("close_box", alarms=("7:05 AM",), steps=(
        At("07:04:58"), Rings(Sound.TONE), CloseBox("Escape"), Rings(Sound.TONE),
        CloseBox("Return"), Ends())),
    # Letters never enter (letters alone leave a field empty), and a field
    # holds two digits at most.
    Row("middle_paste", steps=(
        OpenSetAlarms(), MiddleButtonPaste("ab PM", leaves=""),
        MiddleButtonPaste("1234567", leaves=r"\d{0,2}"))),
    Row("hidpi", scale_factor=2, steps=(PictureIsTheSharpOne(),)),
    # A Wayland compositor sizes a maximised or full-screen window, and ends a
    # program that answers with another size. Both windows and the close
    # confirmation, asked as their title bars ask; the main window also comes
    # back maximised after Set Alarms.
    Row("wayland_window_states", display_server=Weston, steps=(
        AskWindow(MAIN, WindowState.MAXIMIZED), At("07:00:58"), ClockTurnsTo("7:01 AM"),
        AskWindow(MAIN, WindowState.FULL_SCREEN), At("07:01:58"), ClockTurnsTo("7:02 AM"),
        AskWindow(MAIN, WindowState.NORMAL), AskWindow(MAIN, WindowState.MAXIMIZED),
        PressButton(MAIN, "Set Alarms"),
        AskWindow(SET_ALARMS, WindowState.MAXIMIZED), EnterText(SET_ALARMS, "Alarm 1 hour", "7"),
        AskWindow(SET_ALARMS, WindowState.FULL_SCREEN),
        EnterText(SET_ALARMS, "Alarm 1 minute", "05"),
        AskWindow(SET_ALARMS, WindowState.NORMAL), PressButton(SET_ALARMS, "SET"),
        At("07:04:58"), RingsWithoutKeyboard(), PressButton(MAIN, "SNOOOOOZE"), Snoozed(),
        CloseRequest(MAIN), AskWindow(MAIN, WindowState.MAXIMIZED, role="alert"),
        AskWindow(MAIN, WindowState.NORMAL, role="alert"), PressButton(MAIN, "Cancel"),
        At("07:05:58"), ClockTurnsTo("7:06 AM"))),
)


def run_row(binary, artefacts, row):
    for step in row.steps:
        check(isinstance(step, Step), f"{step!r} is not a step")
    with Desktop(artefacts, row.name, row.day_starts, sound=row.sound_server,
                 display_server=row.display_server) as desktop:
        session = Session(desktop, day=row.day_starts[:10])
        lay_out_alarm_file(desktop.cwd, AlarmFile.TONE)
        desktop.start_program(binary, audio_module=row.audio_module,
                              QT_SCALE_FACTOR=str(row.scale_factor))
        session.main_window = desktop.window(MAIN)
        wait_for(session.status, "the first tick")
        desktop.keys(session.main_window)  # given the keyboard, as a window manager would
        if row.alarms:
            set_alarms(session, row.alarms)
        for step in row.steps:
            began = time.monotonic()
            step.run(session)
            print(f"{time.monotonic() - began:6.1f} s  {step}", flush=True)


def main(argv):
    # Ended from outside (a test's time limit): the desktop still goes.
    signal.signal(signal.SIGTERM, lambda number, frame: sys.exit(128 + number))
    rows = {row.name: row for row in ROWS}
    if argv[1:] == ["--list"]:
        print(";".join(rows))
    elif len(argv) == 4 and argv[3] in rows:
        run_row(argv[1], argv[2], rows[argv[3]])
    else:
        check(False, f"usage: scenarios.py BINARY ARTEFACT_DIR ROW | --list; rows: {list(rows)}")


if __name__ == "__main__":
    main(sys.argv)
