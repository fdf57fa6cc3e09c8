#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Vellwake developers
# SPDX-License-Identifier: MIT
# What only the real program on a real desktop can show, one row per run:
#
# scenarios.py BINARY ARTEFACT_DIR ROW     or     scenarios.py --list

import array
import dataclasses
import math
import os
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
NO_ALARM = "*** ALERT: No Alarm is currently set ***"
NO_AUDIO_MODULE = "*** NO SOUND: audio module missing ***"
TONE = 1500  # Hz, the user's alarm.wav; the built-in sound is far lower
ASSETS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "assets")


# The user's alarm.wav, a one-second tone, in the program's working directory.
def lay_out_alarm_file(directory, rate):
    samples = array.array("h", (int(12000 * math.sin(2 * math.pi * TONE * i / rate))
                                for i in range(rate)))
    with wave.open(os.path.join(directory, "alarm.wav"), "wb") as file:
        file.setnchannels(1)
        file.setsampwidth(2)
        file.setframerate(rate)
        file.writeframes(samples.tobytes())


# One thing a row does or checks, in the order the row lists them.
@dataclasses.dataclass
class Step:
    def run(self, desktop):
        raise NotImplementedError


@dataclasses.dataclass
class StatusShows(Step):
    text: str

    def run(self, desktop):
        desktop.wait_node(role="label", window=MAIN, description="Status", name=self.text)


# The wall clock set to just before that minute, and the program runs on to
# show it.
@dataclasses.dataclass
class ClockTurnsTo(Step):
    shown: str

    def run(self, desktop):
        desktop.clock.set_just_before(self.shown)
        desktop.wait_node(role="label", window=MAIN, name=self.shown)


class RingsAt(ClockTurnsTo):  # and the ring shows: the status asks for the space bar
    def run(self, desktop):
        super().run(desktop)
        StatusShows(PRESS_SPACE).run(desktop)


# The user's alarm.wav heard, looped on without falling silent.
class HearsTheTone(Step):
    def run(self, desktop):
        wait_for(lambda: desktop.heard(0.3).share > 0, "a sound")
        # Buffers lost on a busy machine spoil one recording; a fault spoils
        # every one.
        for attempt in range(3):
            heard = desktop.heard(2.5)
            if abs(heard.pitch - TONE) < 150 and heard.share > 0.9:
                return
        check(False, f"heard {heard.pitch:.0f} Hz {heard.share:.0%} of the time, "
                     f"not the tone of alarm.wav looped")


# The ring heard again while the clock still shows that minute: no minute
# turn started it.
@dataclasses.dataclass
class HeardAgainWithin(Step):
    shown: str

    def run(self, desktop):
        HearsTheTone().run(desktop)
        check(desktop.find(role="label", window=MAIN, name=self.shown),
              f"the ring heard again only after {self.shown}")


# The space bar through the display server, once the main window has the
# keyboard and the snooze button the focus in it.
class SpaceBar(Step):
    def run(self, desktop):
        desktop.display.give_keyboard(desktop.display.window(desktop.program.pid, MAIN))
        desktop.wait_node(["focused"], window=MAIN, name="SNOOOOOZE")
        desktop.display.press("space")


class Snoozed(Step):  # silence, and the snooze status
    def run(self, desktop):
        wait_for(lambda: desktop.heard(0.5).share == 0, "silence")
        StatusShows(SNOOZING).run(desktop)


@dataclasses.dataclass
class ServerGets(Step):  # a signal to every process of the sound server
    signal: signal.Signals

    def run(self, desktop):
        desktop.sound.send(self.signal)


class ServerCrashesAndComesBack(Step):
    def run(self, desktop):
        desktop.sound.crash()
        desktop.sound.start()


@dataclasses.dataclass
class SinkSetTo(Step):  # the default sink muted or not, at a volume in percent
    muted: bool
    volume: int

    def run(self, desktop):
        pactl = desktop.sound.pactl
        check(pactl("set-sink-mute", "null", str(int(self.muted))).returncode == 0, "mute")
        check(pactl("set-sink-volume", "null", f"{self.volume}%").returncode == 0, "volume")


class SinkIs(SinkSetTo):  # muted or not, at that volume, as the sound server reads it
    def run(self, desktop):
        wait_for(lambda: desktop.sound.sink() == (self.muted, self.volume), f"the sink at {self}")


# A button pressed through its accessible action, as a screen reader's user does.
@dataclasses.dataclass
class PressButton(Step):
    window: str
    name: str

    def run(self, desktop):
        button = desktop.wait_node(["enabled"], window=self.window, role="push button",
                                   name=self.name)
        action = button.accessible.queryAction()
        names = [action.getName(index) for index in range(action.nActions)]
        check("Press" in names, f"{self.name!r} offers the actions {names}")
        action.doAction(names.index("Press"))


@dataclasses.dataclass
class EnterText(Step):  # a field's text set through the accessibility bus
    window: str
    field: str
    text: str

    def run(self, desktop):
        field = desktop.wait_node(window=self.window, role="text", name=self.field)
        field.accessible.queryEditableText().setTextContents(self.text)
        desktop.wait_node(window=self.window, role="text", name=self.field, text=self.text)


# The Set Alarms button pressed: the window it opens reads to a screen reader
# as a window of that name.
class OpenSetAlarms(Step):
    def run(self, desktop):
        PressButton(MAIN, "Set Alarms").run(desktop)
        window = desktop.wait_node(top=True, window=SET_ALARMS)
        check(window.role in ("frame", "window", "dialog"),
              f"the Set Alarms window reads as a {window.role}")


# Alarm 1 set in the Set Alarms window and armed: the warning that no alarm
# is set goes.
@dataclasses.dataclass
class AlarmSetTo(Step):
    hour: str
    minute: str

    def run(self, desktop):
        OpenSetAlarms().run(desktop)
        EnterText(SET_ALARMS, "Alarm 1 hour", self.hour).run(desktop)
        EnterText(SET_ALARMS, "Alarm 1 minute", self.minute).run(desktop)
        PressButton(SET_ALARMS, "SET").run(desktop)

        def armed():
            status = desktop.find(role="label", window=MAIN, description="Status")
            return status and status[0].name != NO_ALARM
        wait_for(armed, "the alarm armed")


@dataclasses.dataclass
class CloseBox(Step):  # what the window's close box asks for
    title: str

    def run(self, desktop):
        desktop.ask_window(self.title, "close")


class NoMessageBox(Step):  # shows, as a screen reader sees the program's windows
    def run(self, desktop):
        boxes = desktop.find(["showing"], top=True, role="alert")
        check(not boxes, f"a message box shows: {[box.name for box in boxes]}")


class Ends(Step):  # with code 0
    def run(self, desktop):
        code = desktop.program.wait(TIMEOUT)
        check(code == 0, f"the program ended with code {code}")


# The selection pasted with the middle button into every time field of the
# Set Alarms window leaves each one holding that text.
@dataclasses.dataclass
class MiddleButtonPaste(Step):
    text: str
    leaves: str

    def run(self, desktop):
        desktop.display.offer_selection(self.text)
        fields = desktop.find(role="text", window=SET_ALARMS)
        for field in fields:
            desktop.display.click(field, 2)
        # The first field taking the focus back from the last shows that the
        # pastes are done.
        desktop.display.click(fields[0], 1)
        desktop.wait_node(["focused"], window=SET_ALARMS, name=fields[0].name)
        for field in desktop.find(role="text", window=SET_ALARMS):
            check(field.text == self.leaves,
                  f"{field.name} holds {field.text!r} after pasting {self.text!r}")


def gray(path, crop, resize="100%"):
    return subprocess.run(["convert", path, "-resize", resize, "-crop", crop, "+repage",
                           "-colorspace", "gray", "-depth", "8", "gray:-"],
                          capture_output=True, check=True).stdout


# At scale factor 2 the background picture is drawn from the sharp one, pixel
# for pixel, where the picture shows.
class PictureIsTheSharpOne(Step):
    def run(self, desktop):
        window = desktop.display.window(desktop.program.pid, MAIN)
        shot = desktop.display.screenshot(os.path.join(desktop.artefacts, "main.png"), window)

        def box(role):  # in the screenshot's pixels
            node = desktop.wait_node(role=role, window=MAIN)
            x, y, width, height = node.extents(within_window=True)
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


# Asked to maximise as its title bar's button asks, or to go full screen, the
# window takes the larger size the compositor gives, and the program runs on.
# The role tells a message box from the window of the same title.
@dataclasses.dataclass
class Grows(Step):
    title: str
    request: str = "maximize"  # or "fullscreen"
    role: str = "frame"

    def run(self, desktop):
        def size():
            return desktop.wait_node(top=True, window=self.title, role=self.role).extents()[2:]
        own_width, own_height = size()
        desktop.ask_window(self.title, self.request)

        def larger():
            width, height = size()
            return width > own_width and height > own_height
        wait_for(larger, f"{self.title!r} larger than {own_width}x{own_height}")


@dataclasses.dataclass(frozen=True)
class Row:
    name: str
    steps: tuple
    display_server: type = XServer
    scale_factor: int = 1
    audio_module: bool = True  # copied beside the program
    alarm_file_rate: int = 22050  # of alarm.wav, in Hz


ROWS = (
    # How many keys a ring takes is the unit tests' table; this row shows the
    # space bar through a real display server.
    Row("snooze_space", steps=(
        AlarmSetTo("7", "05"), RingsAt("7:05 AM"), HearsTheTone(), SpaceBar(), Snoozed(),
        RingsAt("7:20 AM"), HearsTheTone())),
    # The sound server crashes and comes back while the alarm rings: the ring
    # is heard again by itself, with no key and no minute turn. The alarm.wav
    # is at a rate no sound server takes as it is: converted, not replaced.
    Row("sound_server_killed_while_ringing", alarm_file_rate=400000, steps=(
        AlarmSetTo("7", "05"), RingsAt("7:05 AM"), HearsTheTone(), ServerCrashesAndComesBack(),
        HeardAgainWithin("7:05 AM"), SpaceBar(), Snoozed())),
    # A server that answers nothing at the ring stops neither the window nor
    # the snooze; the snooze rings once it answers again.
    Row("sound_server_stopped_at_ring", steps=(
        AlarmSetTo("7", "05"), ServerGets(signal.SIGSTOP), RingsAt("7:05 AM"),
        ClockTurnsTo("7:06 AM"), SpaceBar(), StatusShows(SNOOZING), ServerGets(signal.SIGCONT),
        RingsAt("7:21 AM"), HearsTheTone())),
    # An output muted and near silent is raised for the ring and left as the
    # user had it after.
    Row("sound_muted_quiet_sink_rings", steps=(
        SinkSetTo(muted=True, volume=5), AlarmSetTo("7", "05"), RingsAt("7:05 AM"),
        HearsTheTone(), SpaceBar(), Snoozed(), SinkIs(muted=True, volume=5))),
    # The program copied without its audio module: an armed alarm says that it
    # cannot be heard, and rings all the same.
    Row("sound_module_missing", audio_module=False, steps=(
        AlarmSetTo("7", "05"), StatusShows(NO_AUDIO_MODULE), RingsAt("7:05 AM"))),
    # Cancelled, the close leaves the program running with nothing more to
    # answer; confirmed, it ends it.
    Row("close_box", steps=(
        CloseBox(MAIN), PressButton(MAIN, "Cancel"), ClockTurnsTo("7:01 AM"), NoMessageBox(),
        CloseBox(MAIN), PressButton(MAIN, "OK"), Ends())),
    # Letters never enter.
    Row("middle_paste", steps=(OpenSetAlarms(), MiddleButtonPaste("ab PM", leaves=""))),
    Row("hidpi", scale_factor=2, steps=(PictureIsTheSharpOne(),)),
    # A Wayland compositor sizes a maximised or full-screen window, and ends a
    # program that answers with another size. Both windows and the close
    # confirmation; the main window also comes back maximised after Set Alarms.
    Row("wayland_window_states", display_server=Weston, steps=(
        Grows(MAIN), ClockTurnsTo("7:01 AM"), OpenSetAlarms(), Grows(SET_ALARMS, "fullscreen"),
        EnterText(SET_ALARMS, "Alarm 1 hour", "7"), EnterText(SET_ALARMS, "Alarm 1 minute", "05"),
        PressButton(SET_ALARMS, "SET"), RingsAt("7:05 AM"), PressButton(MAIN, "SNOOOOOZE"),
        Snoozed(), CloseBox(MAIN), Grows(MAIN, role="alert"), PressButton(MAIN, "Cancel"),
        ClockTurnsTo("7:06 AM"))),
)


def run_row(binary, artefacts, row):
    with Desktop(artefacts, row.name, row.display_server) as desktop:
        lay_out_alarm_file(desktop.cwd, row.alarm_file_rate)
        desktop.start_program(binary, row.audio_module, row.scale_factor)
        StatusShows(NO_ALARM).run(desktop)  # the first tick
        for step in row.steps:
            began = time.monotonic()
            step.run(desktop)
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
