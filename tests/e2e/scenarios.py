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
import subprocess
import sys
import wave

from harness import TIMEOUT, Desktop, Weston, XServer, check, wait_for

MAIN = "Vellwake"
SET_ALARMS = "Vellwake - Set Alarms"
PRESS_SPACE = "*** Press the SPACE Bar to SNOOOOZE ***"
SNOOZING = "*** snoooozing *** "
NO_AUDIO_MODULE = "*** NO SOUND: audio module missing ***"
TONE = 1500  # Hz, the user's alarm.wav; the built-in sound is far lower
ASSETS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "assets")
MONDAY_MORNING = "2026-03-02 07:00:00"


class Sound(enum.Enum):
    TONE = "the tone of alarm.wav"
    BUILT_IN = "the built-in sound"


class AlarmFile(enum.Enum):
    TONE = "a one-second tone"
    TONE_400_KHZ = "a one-second tone at 400 kHz"
    TRUNCATED = "the tone cut short"
    GARBAGE = "the tone with garbage on its head"


def lay_out_alarm_file(directory, kind):
    """The user's alarm.wav in the program's working directory."""
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


@dataclasses.dataclass
class Session:
    """A row's desktop and what its steps learn along the way."""
    desktop: Desktop
    day: str  # the day the row starts on, "YYYY-MM-DD"
    main_window: int = 0
    slots_at_ring: list = None
    pastes: int = 0
    own_sizes: dict = dataclasses.field(default_factory=dict)  # (title, role): (width, height)

    def find(self, states=(), **match):
        return self.desktop.screen_reader.find(states, **match)

    def wait_node(self, states=(), **match):
        return self.desktop.screen_reader.wait_node(states, **match)


def status(session):
    for node in session.find(role="label", window=MAIN):
        if node.description == "Status":
            return node
    return None


def status_text(session):
    node = status(session)
    return node.name if node else None


def focused(session, window):
    found = session.find(["focused"], window=window, top=False)
    if not found:
        return None
    return found[0].role, found[0].name, found[0].description


def slots(session):
    return [(node.name, "checked" in node.states)
            for node in session.find(role="check box", window=MAIN)]


def tab_to(session, window, window_name, key="Tab", **match):
    # Tabs on until that control has the focus, as a keyboard user does.
    for _ in range(12):
        if session.find(["focused"], window=window_name, top=False, **match):
            return
        before = focused(session, window_name)
        session.desktop.keys(window, key)
        wait_for(lambda: focused(session, window_name) not in (None, before),
                 "Tab to move the focus")
    check(False, f"Tab never reached {match}")


def open_set_alarms(session):
    session.wait_node(["focused"], window=MAIN, name="Set Alarms")
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
            session.wait_node(role="text", name=f"Alarm {slot} {part}", text=digits)
    afternoon = [slot for slot, (_, _, half) in enumerate(parsed, 1) if half == "PM"]
    # A half box taking the focus clears its partner: forward only.
    for slot in afternoon:
        tab_to(session, window, SET_ALARMS, role="check box", name="PM",
               description=f"Alarm {slot}")
        session.desktop.keys(window, "space")
    back_to_set = "Tab" if afternoon else "shift+Tab"
    tab_to(session, window, SET_ALARMS, back_to_set, role="push button", name="SET")
    session.desktop.keys(window, "space")
    wait_for(lambda: session.main_window in session.desktop.windows(MAIN),
             "the main window back")


def status_pixels(session):
    """The status line's pixels, as (red, green, blue) triples."""
    shot = session.desktop.screenshot("status", session.main_window)
    x, y, width, height = status(session).extents(relative_to_window=True)
    raw = subprocess.run(["convert", shot, "-crop", f"{width}x{height}+{x}+{y}", "+repage",
                          "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout
    return [tuple(raw[i:i + 3]) for i in range(0, len(raw) - 2, 3)]


def is_red(pixel):
    red, green, blue = pixel
    return red > 180 and green < 90 and blue < 90


class Step:
    """One thing a row does or checks, in the order the row lists them."""

    def run(self, session):
        raise NotImplementedError


# --- the clock


@dataclasses.dataclass
class At(Step):
    """Sets the wall clock, "HH:MM:SS" on the row's day or a whole date and time."""
    when: str

    def run(self, session):
        when = self.when if len(self.when) > 8 else f"{session.day} {self.when}"
        session.desktop.clock.set(when)


@dataclasses.dataclass
class ClockShows(Step):
    shown: str

    def run(self, session):
        session.wait_node(role="label", name=self.shown, window=MAIN)


# --- ringing and snoozing


@dataclasses.dataclass
class RingShows(Step):
    """The ring as it looks: the status asks for the space bar, and the
    snooze button holds the focus once the window has the keyboard."""

    def run(self, session):
        wait_for(lambda: status_text(session) == PRESS_SPACE, "the ring")
        # The window given the keyboard: the focus inside is the program's.
        session.desktop.keys(session.main_window)
        session.wait_node(["focused"], window=MAIN, role="push button", name="SNOOOOOZE")
        session.slots_at_ring = slots(session)


@dataclasses.dataclass
class Rings(Step):
    """The ring as it looks and sounds."""
    sound: Sound

    def run(self, session):
        RingShows().run(session)
        desktop = session.desktop
        wait_for(lambda: not desktop.heard(0.3).silent, "a sound")
        heard = desktop.heard(2.5)
        is_tone = abs(heard.pitch - TONE) < 150
        check(is_tone == (self.sound == Sound.TONE),
              f"heard {heard.pitch:.0f} Hz, not {self.sound.value}")
        if self.sound == Sound.TONE:
            # The one-second file loops on without a break at each turn; a
            # buffer lost now and then on a busy machine comes at no such beat.
            gaps = {later - earlier for earlier in heard.breaks for later in heard.breaks}
            check(heard.share > 0.9 and not gaps & set(range(97, 104)),
                  f"the looped sound: {heard.share:.0%} heard, breaks at {heard.breaks}")


@dataclasses.dataclass
class Press(Step):
    """Keys pressed in the main window."""
    keys: tuple

    def __init__(self, *keys):
        self.keys = keys

    def run(self, session):
        session.desktop.keys(session.main_window, *self.keys)


@dataclasses.dataclass
class Snoozed(Step):
    """Silence where a sound server runs, the slots as they were at the ring,
    and the snooze status."""

    def run(self, session):
        if session.desktop.sound.running:
            wait_for(lambda: session.desktop.heard(0.5).silent, "silence")
        check(slots(session) == session.slots_at_ring,
              f"the slots went from {session.slots_at_ring} to {slots(session)} while snoozing")
        wait_for(lambda: status_text(session) == SNOOZING, "the snooze")


@dataclasses.dataclass
class StatusShows(Step):
    text: str
    red: bool = False

    def run(self, session):
        wait_for(lambda: status_text(session) == self.text, f"the status {self.text!r}")
        if self.red:
            wait_for(lambda: sum(map(is_red, status_pixels(session))) > 20,
                     f"the status {self.text!r} in red")


@dataclasses.dataclass
class Quiet(Step):
    """No ring by the time the clock shows this."""
    shown: str

    def run(self, session):
        ClockShows(self.shown).run(session)
        check(status_text(session) != PRESS_SPACE, f"a ring at {self.shown}")
        check(session.desktop.heard(0.5).silent, f"a sound at {self.shown}")


# --- the user's sound file and the sound server


@dataclasses.dataclass
class LayOut(Step):
    alarm_file: AlarmFile

    def run(self, session):
        lay_out_alarm_file(session.desktop.cwd, self.alarm_file)


@dataclasses.dataclass
class SoundServerStarts(Step):
    def run(self, session):
        session.desktop.sound.start()


@dataclasses.dataclass
class SoundServerKilled(Step):
    """SIGKILL, as a crash."""

    def run(self, session):
        session.desktop.sound.kill()


@dataclasses.dataclass
class SoundServerStopped(Step):
    """SIGSTOP: there, and answering nothing."""

    def run(self, session):
        session.desktop.sound.pause()


@dataclasses.dataclass
class SoundServerContinues(Step):
    def run(self, session):
        session.desktop.sound.resume()


@dataclasses.dataclass
class HeardBeforeTheMinuteTurns(Step):
    """The ring heard again, with no key pressed and no minute turn to start it."""
    sound: Sound

    def run(self, session):
        desktop = session.desktop
        seconds_left = 58 - desktop.clock.now().second
        check(seconds_left > 20, "the clock is too close to a minute turn for this step")
        wait_for(lambda: not desktop.heard(0.3).silent, f"{self.sound.value} heard again",
                 timeout=seconds_left)
        check(status_text(session) == PRESS_SPACE, f"the status went to {status_text(session)!r}")
        Rings(self.sound).run(session)


@dataclasses.dataclass
class SinkMuted(Step):
    muted: bool

    def run(self, session):
        session.desktop.sound.set_mute(self.muted)


@dataclasses.dataclass
class SinkMuteIs(Step):
    muted: bool

    def run(self, session):
        sound = session.desktop.sound
        wait_for(lambda: sound.muted() == self.muted, f"the sink's mute back at {self.muted}")


@dataclasses.dataclass
class SinkVolume(Step):
    percent: int

    def run(self, session):
        session.desktop.sound.set_volume(self.percent)


@dataclasses.dataclass
class SinkVolumeIs(Step):
    percent: int

    def run(self, session):
        sound = session.desktop.sound
        wait_for(lambda: sound.volume() == self.percent, f"the sink's volume at {self.percent} %")


@dataclasses.dataclass
class SinkVolumeAbove(Step):
    percent: int

    def run(self, session):
        sound = session.desktop.sound
        wait_for(lambda: sound.volume() > self.percent,
                 f"the sink's volume above {self.percent} %")


@dataclasses.dataclass
class LoggedOnce(Step):
    """Exactly one line of the program's log matches."""
    pattern: str

    def run(self, session):
        lines = session.desktop.program_log().splitlines()
        found = [line for line in lines if re.search(self.pattern, line, re.IGNORECASE)]
        check(len(found) == 1, f"{len(found)} lines match {self.pattern!r}: {found[:5]}")


# --- closing


@dataclasses.dataclass
class CloseBox(Step):
    """The close box, and this key in the confirmation it brings."""
    answer: str

    def run(self, session):
        desktop = session.desktop
        desktop.display.request_close(session.main_window)
        confirmation = desktop.window(MAIN, other_than=[session.main_window])
        desktop.keys(confirmation, self.answer)
        if self.answer == "Escape":
            wait_for(lambda: desktop.windows(MAIN) == [session.main_window],
                     "the confirmation to go")


@dataclasses.dataclass
class Ends(Step):
    """The program ends with code 0, and its sound with it."""

    def run(self, session):
        program = session.desktop.program
        code = program.wait(TIMEOUT)
        check(code == 0, f"the program ended with code {code}")
        wait_for(lambda: session.desktop.heard(0.5).silent, "silence after the end")


# --- what a screen reader reads, pastes, and the picture


@dataclasses.dataclass
class Reads(Step):
    """A control of the main window a screen reader reads out."""
    role: str
    name: str = None
    description: str = None

    def run(self, session):
        match = {"role": self.role}
        if self.name is not None:
            match["name"] = self.name
        if self.description is not None:
            match["description"] = self.description
        session.wait_node(window=MAIN, **match)


@dataclasses.dataclass
class AboutBoxGivesFocusBack(Step):
    """The About box opened and answered by keyboard leaves the focus where it was."""

    def run(self, session):
        desktop = session.desktop
        had = wait_for(lambda: focused(session, MAIN), "a focused control")
        desktop.keys(session.main_window, "alt", "Return")
        desktop.keys(desktop.window(MAIN, other_than=[session.main_window]), "Escape")
        wait_for(lambda: desktop.windows(MAIN) == [session.main_window], "the About box to go")
        wait_for(lambda: focused(session, MAIN) == had, f"the focus back on {had}")


@dataclasses.dataclass
class SetAlarmsReadsAsWindow(Step):
    def run(self, session):
        open_set_alarms(session)

        def other_windows():
            return [node for node in session.find(["showing"], top=True) if node.window != MAIN]
        top = wait_for(other_windows, "the Set Alarms window")[0]
        check(top.role in ("frame", "window", "dialog") and top.name == SET_ALARMS,
              f"the Set Alarms window reads as a {top.role} named {top.name!r}")


@dataclasses.dataclass
class OpenSetAlarms(Step):
    def run(self, session):
        open_set_alarms(session)


@dataclasses.dataclass
class MiddleButtonPaste(Step):
    """The X selection pasted with the middle button into every time field
    of the Set Alarms window leaves each one matching the pattern."""
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
        session.wait_node(["focused"], window=SET_ALARMS, name=target.name)
        for field in session.find(role="text", window=SET_ALARMS):
            check(re.fullmatch(self.leaves, field.text),
                  f"{field.name} holds {field.text!r} after pasting {self.text!r}")


def gray(path, crop, resize="100%"):
    return subprocess.run(["convert", path, "-resize", resize, "-crop", crop, "+repage",
                           "-colorspace", "gray", "-depth", "8", "gray:-"],
                          capture_output=True, check=True).stdout


@dataclasses.dataclass
class PictureIsTheSharpOne(Step):
    """At scale factor 2 the background picture is drawn from the sharp one,
    pixel for pixel, where the picture shows."""

    def run(self, session):
        shot = session.desktop.screenshot("main", session.main_window)

        def box(node):  # in the screenshot's pixels
            x, y, width, height = node.extents(relative_to_window=True)
            return 2 * x, 2 * y, 2 * (x + width), 2 * (y + height)
        image = box(session.wait_node(role="image", window=MAIN))
        area = box(session.wait_node(role="filler", window=MAIN))  # the picture shows within it
        left, top = max(image[0], area[0]), max(image[1], area[1])
        right, bottom = min(image[2], area[2]), min(image[3], area[3])
        size = f"{right - left}x{bottom - top}"
        seen = gray(shot, f"{size}+{left}+{top}")
        in_picture = f"{size}+{left - image[0]}+{top - image[1]}"

        # Most of it is the same: the clock text and the frames lie on top.
        def same_share(file, resize):
            expected = gray(os.path.join(ASSETS, file), in_picture, resize)
            return sum(a == b for a, b in zip(seen, expected)) / len(seen)
        sharp = same_share("background@2x.jpg", "100%")
        upscaled = same_share("background.jpg", "200%")
        check(sharp > max(0.5, upscaled), f"{sharp:.0%} of the picture is the sharp one, "
                                          f"{upscaled:.0%} the small one scaled up")


# --- on Wayland, through the accessibility bus


def program_runs(session):
    """True while the program runs; fails the row at once, with the end of
    its log, once it has ended."""
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


@dataclasses.dataclass
class AskWindow(Step):
    """Asks the window for a state as its title bar's buttons do. Maximised
    or full screen it has the larger size the compositor gives; normal
    again, its own size, the one it had when first asked. The role tells a
    message box from the window of the same title."""
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
class CloseRequest(Step):
    """What the window's close box asks for."""
    title: str

    def run(self, session):
        session.desktop.display.ask_window(self.title, "close")


@dataclasses.dataclass
class ClockTurnsTo(Step):
    """The clock shows this, and the program runs on."""
    shown: str

    def run(self, session):
        wait_node_while_running(session, role="label", name=self.shown, window=MAIN)


@dataclasses.dataclass
class PressButton(Step):
    """A button pressed through its accessible action, as a screen reader's
    user does."""
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
class EnterText(Step):
    """A field's text set through the accessibility bus."""
    window: str
    field: str
    text: str

    def run(self, session):
        field = wait_node_while_running(session, window=self.window, role="text",
                                        name=self.field)
        field.accessible.queryEditableText().setTextContents(self.text)
        wait_node_while_running(session, window=self.window, role="text", name=self.field,
                                text=self.text)


@dataclasses.dataclass
class RingsWithoutKeyboard(Step):
    """The ring's status and a sound, where no window can be given the keyboard."""

    def run(self, session):
        wait_for(lambda: program_runs(session) and status_text(session) == PRESS_SPACE,
                 "the ring")
        wait_for(lambda: not session.desktop.heard(0.3).silent, "a sound")
        session.slots_at_ring = slots(session)


# --- the rows


@dataclasses.dataclass(frozen=True)
class Row:
    name: str
    steps: tuple
    alarms: tuple = ()  # set by keyboard in the Set Alarms window before the steps
    day_starts: str = MONDAY_MORNING
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
    Row("snooze_over_midnight", alarms=("11:50 PM",), day_starts="2026-03-02 23:45:00", steps=(
        At("23:49:58"), Rings(Sound.TONE), Press("space"), Snoozed(),
        At("2026-03-03 00:04:58"), Rings(Sound.TONE))),
    Row("clock_jumps_over_alarm", alarms=("7:05 AM",), steps=(
        At("07:10:00"), Quiet("7:10 AM"), At("07:04:58"), Rings(Sound.TONE))),
    Row("snooze_over_spring_forward", alarms=("1:55 AM",), day_starts="2026-03-29 01:50:00",
        steps=(At("01:54:58"), Rings(Sound.TONE), Press("space"), Snoozed(),
               At("01:59:58"), Quiet("3:00 AM"), At("03:09:58"), Rings(Sound.TONE))),
    Row("bad_sound_file", alarms=("7:05 AM",), steps=(
        LayOut(AlarmFile.GARBAGE), At("07:04:58"), Rings(Sound.BUILT_IN), Press("space"),
        Snoozed(), LayOut(AlarmFile.TRUNCATED), At("07:19:58"), Rings(Sound.BUILT_IN))),
    Row("sound_server_appears", alarms=("7:05 AM",), sound_server=False, steps=(
        At("07:04:58"), RingShows(), Press("space"), Snoozed(),
        SoundServerStarts(), At("07:19:58"), Rings(Sound.TONE))),
    Row("close_box", alarms=("7:05 AM",), steps=(
        At("07:04:58"), Rings(Sound.TONE), CloseBox("Escape"), Rings(Sound.TONE),
        CloseBox("Return"), Ends())),
    Row("screen_reader", steps=(
        Reads("push button", name="Set Alarms"), Reads("menu item", name="about"),
        Reads("push button", name="SNOOOOOZE"), Reads("check box", description="Alarm 1"),
        Reads("check box", description="Alarm 2"), AboutBoxGivesFocusBack(),
        SetAlarmsReadsAsWindow())),
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


def run_row(binary, artefacts, name):
    by_name = {row.name: row for row in ROWS}
    check(name in by_name, f"no row named {name!r}")
    row = by_name[name]
    for step in row.steps:
        check(isinstance(step, Step), f"{step!r} is not a step")
    with Desktop(artefacts, name, clock=row.day_starts, sound=row.sound_server,
                 display_server=row.display_server) as desktop:
        session = Session(desktop, day=row.day_starts[:10])
        lay_out_alarm_file(desktop.cwd, AlarmFile.TONE)
        extra_env = {}
        if row.scale_factor != 1:
            extra_env["QT_SCALE_FACTOR"] = str(row.scale_factor)
        desktop.start_program(binary, audio_module=row.audio_module, **extra_env)
        session.main_window = desktop.window(MAIN)
        wait_for(lambda: status(session) is not None, "the first tick")
        desktop.keys(session.main_window)  # given the keyboard, as a window manager would
        if row.alarms:
            set_alarms(session, row.alarms)
        for step in row.steps:
            step.run(session)


def main(argv):
    if argv[1:] == ["--list"]:
        print(";".join(row.name for row in ROWS))
        return 0
    check(len(argv) == 4, "usage: scenarios.py BINARY ARTEFACT_DIR ROW | --list")
    run_row(argv[1], argv[2], argv[3])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
