#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Vellwake developers
# SPDX-License-Identifier: MIT
"""End-to-end scenarios: each starts the real program on a private desktop
and checks what a user would see and hear.

    scenarios.py BINARY ARTEFACT_DIR SCENARIO...
"""

import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import Desktop, Failure, check, has_state, wait_for  # noqa: E402

MAIN = "Vellwake"
SET_ALARMS = "Vellwake - Set Alarms"
CONFIRM = "Are you sure you want to close your Vellwake?"
NO_ALARM = "*** ALERT: No Alarm is currently set ***"
PRESS_SPACE = "*** Press the SPACE Bar to SNOOOOZE ***"
SNOOZING = "*** snoooozing *** "

SCENARIOS = {}


def scenario(fn):
    SCENARIOS[fn.__name__] = fn
    return fn


# --- what the user sees ----------------------------------------------------

def main_labels(d):
    """Texts of the main window's labels, top to bottom as the tree lists them."""
    return [a.name for a in d.accessibles("label", window_name=MAIN)]


def shown_time(d):
    return d.accessible("label", window_name=MAIN,
                        predicate=lambda a: a.name.endswith(("AM", "PM"))).name


def wait_time(d, text):
    wait_for(lambda: text in main_labels(d), f"the clock to show {text!r}")


def status_line(d):
    texts = [t for t in main_labels(d) if t.startswith("***")]
    return texts[0] if texts else ""


def wait_status(d, text):
    wait_for(lambda: status_line(d) == text, f"the status line {text!r}")


def button(d, name, window=MAIN):
    return d.accessible("push button", name, window_name=window)


def alarm_slots(d):
    return d.accessibles("check box", window_name=MAIN)


def wait_message_box(d, main_window, text):
    wait_for(lambda: any(text in a.name for a in d.accessibles("label", window_name=MAIN)),
             f"the message {text!r}")
    # The newest of the windows under the program's title, should a passing
    # one carry it too.
    return wait_for(lambda: max([w for w in d.windows(MAIN) if w != main_window], default=None),
                    "the message box window")


def close_and_answer(d, main_window, key):
    """The close button, then a key into the confirmation; returns the box."""
    # A user reaches the close button of a window that is on screen: once it
    # can take the keyboard, it is mapped and its program knows it.
    d.focus(main_window)
    d.request_close(main_window)
    box = wait_message_box(d, main_window, CONFIRM)
    d.key(box, key)
    return box


def cancel_close(d, main_window):
    box = close_and_answer(d, main_window, "Escape")
    d.wait_window_gone(box, MAIN)
    # Nothing may ask again on its own, or end the program.
    check(d.windows(MAIN) == [main_window], "Cancel left another window or closed the main one")


def end_with_ok(d, main_window):
    close_and_answer(d, main_window, "Return")
    code, output = d.wait_app_exit()
    check(code == 0, f"the program ended with code {code}:\n{output[-4000:]}")


def main_back(d):
    """The main window on screen again. It keeps its X window while hidden;
    another window may carry the same title for a moment as windows close."""
    wait_for(lambda: d.main_window in d.windows(MAIN), "the main window to come back")
    return d.main_window


def start(d, **kw):
    d.start_app(**kw)
    window = d.main_window = d.wait_window(MAIN)
    # Ready once the first tick has drawn the time.
    d.accessible("label", window_name=MAIN, predicate=lambda a: a.name.endswith(("AM", "PM")))
    return window


# --- scenarios ---------------------------------------------------------------

@scenario
def smoke(binary, artefacts):
    """Starts, shows the clock, and closes only when the user confirms."""
    with Desktop(binary, artefacts, "smoke", clock="2026-03-02 07:04:30") as d:
        window = start(d)
        wait_time(d, "7:04 AM")
        wait_status(d, NO_ALARM)
        geometry = d.geometry(window)
        check((geometry["WIDTH"], geometry["HEIGHT"] > 206) == (312, True),
              f"unexpected main window size {geometry}")
        shot = d.screenshot("main", window)
        check(os.path.getsize(shot) > 10_000, "the screenshot is nearly empty")

        # Cancel keeps the program and its clock running.
        cancel_close(d, window)
        d.set_clock("2026-03-02 13:06:10")
        wait_time(d, "1:06 PM")
        check(d.windows(MAIN) == [window], "the confirmation came back by itself")

        end_with_ok(d, window)


def open_about(d, window):
    d.click_accessible(window, d.accessible("menu item", "about", window_name=MAIN))
    box = wait_message_box(d, window, "1.0")
    label = d.accessible("label", window_name=MAIN, predicate=lambda a: "1.0" in a.name)
    for part in ("Vellwake", "2026", "https://", "isit"):
        check(part in label.name, f"the About text lacks {part!r}: {label.name!r}")
    return box, label.name


@scenario
def about(binary, artefacts):
    """The About box: Cancel opens nothing, OK opens the website once."""
    with Desktop(binary, artefacts, "about", clock="2026-03-02 09:15:00") as d:
        window = start(d)
        box, text = open_about(d, window)
        d.screenshot("about", box)
        d.key(box, "Escape")
        d.wait_window_gone(box, MAIN)
        # A later minute proves the program went on; by then a launch would show.
        d.set_clock("2026-03-02 09:20:00")
        wait_time(d, "9:20 AM")
        check(d.launched() == [], f"Cancel opened {d.launched()}")
        check(d.windows(MAIN) == [window], "Cancel in the About box changed the windows")

        box, text = open_about(d, window)
        d.key(box, "Return")
        d.wait_window_gone(box, MAIN)
        opened = wait_for(d.launched, "the website to be opened")
        check(len(opened) == 1 and opened[0] in text and opened[0].startswith("https://"),
              f"OK opened {opened}, the About text names another address: {text!r}")
        check(d.windows(MAIN) == [window], "the About box took the main window with it")
        end_with_ok(d, window)


@scenario
def clock(binary, artefacts):
    """The display follows the wall clock, whichever way it jumps."""
    with Desktop(binary, artefacts, "clock", clock="2026-03-02 11:59:58") as d:
        window = start(d)
        wait_time(d, "12:00 PM")  # noon, by the clock running on
        for when, shown in [("2026-03-02 13:00:05", "1:00 PM"),
                            ("2026-03-02 07:05:00", "7:05 AM"),   # backwards
                            ("2026-03-03 00:00:30", "12:00 AM"),  # midnight
                            ("2026-03-03 00:59:59", "1:00 AM"),
                            ("2027-01-01 10:10:10", "10:10 AM")]:
            d.set_clock(when)
            wait_time(d, shown)
            check(status_line(d) == NO_ALARM, f"status line {status_line(d)!r} at {shown}")
        d.check_running()
        end_with_ok(d, window)


@scenario
def dst_display(binary, artefacts):
    """The nights the clocks change in Berlin: the display skips an hour in
    spring and shows the hour from 2 to 3 twice in autumn."""
    with Desktop(binary, artefacts, "dst_display", tz="Europe/Berlin",
                 clock="2026-03-29 01:59:58") as d:
        window = start(d)
        wait_time(d, "3:00 AM")
        check("2:00 AM" not in main_labels(d), "a time that does not exist was shown")
        d.set_clock("2026-10-25 02:59:58", fold=0)  # summer time, the first 2:59
        wait_time(d, "2:59 AM")
        wait_time(d, "2:00 AM")  # one hour back, as the clock turns
        d.set_clock("2026-10-25 02:59:58", fold=1)  # winter time, the second 2:59
        wait_time(d, "2:59 AM")
        wait_time(d, "3:00 AM")
        end_with_ok(d, window)


@scenario
def accessibility_main(binary, artefacts):
    """What a screen reader finds on the main window, and keyboard use."""
    with Desktop(binary, artefacts, "accessibility_main", clock="2026-03-02 08:30:00") as d:
        window = start(d)
        frame = d.accessible("frame", MAIN)
        check(has_state(frame, "showing"), "the main window is not announced as showing")
        time_label = d.accessible("label", "8:30 AM", window_name=MAIN)
        check(time_label.description, "the time display has no description")
        status = d.accessible("label", NO_ALARM, window_name=MAIN)
        check(status.description, "the status line has no description")
        slots = alarm_slots(d)
        check(len(slots) == 2, f"expected two alarm slots, found {len(slots)}")
        for number, slot in enumerate(slots, 1):
            check(slot.name == "not set", f"alarm {number} is announced as {slot.name!r}")
            check(slot.description == f"Alarm {number}",
                  f"alarm {number} has the description {slot.description!r}")
            check(not has_state(slot, "enabled"), f"alarm {number} is enabled with no time")
            check(not has_state(slot, "checked"), f"alarm {number} is checked with no time")
        set_alarms = button(d, "Set Alarms")
        snooze = button(d, "SNOOOOOZE")
        check(has_state(set_alarms, "enabled"), "Set Alarms is disabled")
        check(not has_state(snooze, "enabled"), "the snooze button is enabled with nothing ringing")
        check(snooze.description, "the snooze button has no description")
        check(d.accessible("menu item", "about", window_name=MAIN), "no about menu item")

        # Keyboard alone: the focus reaches Set Alarms, and Space opens the window.
        d.focus(window)
        wait_for(lambda: has_state(button(d, "Set Alarms"), "focused"),
                 "the focus on Set Alarms")
        end_with_ok(d, window)


def hidpi(scale):
    def run(binary, artefacts):
        """The main window at a scale factor: scaled, crisp, and the picture
        covers the same part of it."""
        name = f"hidpi_{scale:g}"
        with Desktop(binary, artefacts, name, clock="2026-03-02 10:45:00", scale=scale) as d:
            window = start(d)
            wait_time(d, "10:45 AM")
            shot = d.screenshot("main", window)
            width, height = image_size(shot)
            check(abs(width - 312 * scale) <= 2,
                  f"at scale {scale:g} the window is {width} px wide, not {312 * scale:g}")
            check(height > 206 * scale, f"at scale {scale:g} the window is {height} px high")
            # The picture ends 120 of the 206 client rows down, so 86 above
            # the window's bottom edge.
            below = height - picture_edge(shot, scale, height)
            check(abs(below - 86 * scale) <= 2 * scale,
                  f"at scale {scale:g} the picture ends {below} px above the bottom, "
                  f"not {86 * scale:g}")
            # The Set Alarms window scales alike: its picture against its
            # size in unscaled pixels, as the accessibility bus gives it.
            d.focus(window)
            wait_focus(d, MAIN, "push button", "Set Alarms")
            d.key(window, "space")
            form2 = d.wait_window(SET_ALARMS)
            import pyatspi
            top = d.accessible("filler", SET_ALARMS)
            logical = top.queryComponent().getExtents(pyatspi.WINDOW_COORDS)
            shot2 = d.screenshot("set_alarms", form2)
            width2, height2 = image_size(shot2)
            check(abs(width2 - logical.width * scale) <= 2 and
                  abs(height2 - logical.height * scale) <= 2,
                  f"at scale {scale:g} the Set Alarms window is {width2}x{height2} px for "
                  f"{logical.width}x{logical.height}")
            d.request_close(form2)
            window = main_back(d)
            end_with_ok(d, window)
    run.__name__ = f"hidpi_{scale:g}"
    return scenario(run)


for _scale in (1, 1.5, 2):
    hidpi(_scale)


def image_size(path):
    with open(path, "rb") as f:
        header = f.read(24)
    check(header[:8] == b"\x89PNG\r\n\x1a\n", f"{path} is not a PNG")
    return struct.unpack(">II", header[16:24])


def picture_edge(path, scale, height):
    """The row where the background picture ends, in the gap between the
    Alarms frame and the Set Alarms button: below it the window's own flat
    background runs down to the bottom."""
    import subprocess
    x = int(124 * scale)
    out = subprocess.run(["convert", path, "-crop", f"1x{height}+{x}+0", "-depth", "8", "txt:-"],
                         capture_output=True, text=True, check=True).stdout
    column = [line.split()[2] for line in out.splitlines()[1:]]
    row = len(column) - 1
    while row > 0 and column[row - 1] == column[-1]:
        row -= 1
    return row





# --- alarms ----------------------------------------------------------------

TONE_HZ = 1500  # the user's alarm.wav; the built-in default sound is lower


def write_wav(path, seconds=1.0, freq=TONE_HZ, rate=22050):
    """A plain tone: what the user has put down as the alarm sound."""
    import array
    import math
    import wave
    frames = array.array("h", (int(12000 * math.sin(2 * math.pi * freq * i / rate))
                               for i in range(int(rate * seconds))))
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(frames.tobytes())


def alarm_sound(d):
    write_wav(os.path.join(d.workdir, "alarm.wav"))


def slot(d, number):
    return d.accessible("check box", window_name=MAIN,
                        predicate=lambda a: a.description == f"Alarm {number}")


def field(d, name):
    return d.accessible("text", name, window_name=SET_ALARMS)


def choice(d, number, half):
    return d.accessible("check box", half, window_name=SET_ALARMS,
                        predicate=lambda a: a.description == f"Alarm {number}")


def open_set_alarms(d, window):
    d.click_accessible(window, button(d, "Set Alarms"))
    form2 = d.wait_window(SET_ALARMS)
    wait_for(lambda: window not in d.windows(MAIN), "the main window to hide")
    return form2


def enter_alarm(d, form2, number, hour, minute, half):
    d.click_accessible(form2, field(d, f"Alarm {number} hour"))
    d.type_text(form2, hour)
    d.click_accessible(form2, field(d, f"Alarm {number} minute"))
    d.type_text(form2, minute)
    wait_for(lambda: field(d, f"Alarm {number} minute").queryText().getText(0, -1) == minute,
             f"alarm {number}'s minute to read {minute}")
    if half == "PM":
        d.click_accessible(form2, choice(d, number, "PM"))
        wait_for(lambda: has_state(choice(d, number, "PM"), "checked"), "PM to be checked")


def apply_set_alarms(d, form2):
    set_button = wait_for(lambda: (lambda b: b if has_state(b, "enabled") else None)(
        button(d, "SET", SET_ALARMS)), "SET to be enabled")
    d.click_accessible(form2, set_button)
    wait_for(lambda: form2 not in d.windows(SET_ALARMS), "the Set Alarms window to close")
    return main_back(d)


def set_alarms(d, window, alarm1=None, alarm2=None):
    """Sets alarms through the Set Alarms window as a user does; returns the
    main window once it is back."""
    form2 = open_set_alarms(d, window)
    for number, alarm in ((1, alarm1), (2, alarm2)):
        if alarm:
            enter_alarm(d, form2, number, *alarm)
    return apply_set_alarms(d, form2)


def check_armed(d, number, caption):
    s = slot(d, number)
    check(s.name == caption, f"alarm {number} reads {s.name!r}, not {caption!r}")
    check(has_state(s, "enabled") and has_state(s, "checked"),
          f"alarm {number} is not enabled and checked")


def check_ringing(d, window):
    d.wait_sound()
    wait_status(d, PRESS_SPACE)
    # As a window manager would, give the window the keyboard: the focus
    # inside it is the program's doing.
    d.focus(window)
    wait_for(lambda: has_state(button(d, "SNOOOOOZE"), "focused"), "the focus on the snooze button")
    check(has_state(button(d, "SNOOOOOZE"), "enabled"), "the snooze button is disabled")
    check(not has_state(button(d, "Set Alarms"), "enabled"), "Set Alarms is enabled while ringing")


def check_quiet(d, when):
    check(d.playback_streams() == {}, f"a sound plays {when}")
    check(d.loudness(0.5) < 200, f"the loudspeaker is not silent {when}")


def snooze(d, window):
    d.key(window, "space")
    d.wait_silence()
    wait_status(d, SNOOZING)
    wait_for(lambda: not has_state(button(d, "SNOOOOOZE"), "enabled"),
             "the snooze button to be disabled")


def uncheck(d, window, number):
    d.click_accessible(window, slot(d, number))
    wait_for(lambda: not has_state(slot(d, number), "checked"), f"alarm {number} to be unchecked")


@scenario
def ring_snooze_disarm(binary, artefacts):
    """Set an alarm, hear it, snooze with space, hear it again 15 minutes
    later, disarm by unchecking: and then it stays quiet."""
    with Desktop(binary, artefacts, "ring_snooze_disarm", clock="2026-03-02 07:03:30") as d:
        alarm_sound(d)
        window = start(d)
        window = set_alarms(d, window, alarm1=("7", "05", "AM"))
        check_armed(d, 1, "7:05 AM")
        check(slot(d, 2).name == "not set", "alarm 2 was set too")
        wait_status(d, "")
        check_quiet(d, "before the alarm")
        d.set_clock("2026-03-02 07:04:58")
        wait_time(d, "7:05 AM")
        check_ringing(d, window)
        d.screenshot("ringing", window)
        snooze(d, window)
        d.screenshot("snoozing", window)
        d.set_clock("2026-03-02 07:19:58")
        wait_time(d, "7:20 AM")
        check_ringing(d, window)
        uncheck(d, window, 1)
        d.wait_silence()
        wait_status(d, NO_ALARM)
        check(has_state(button(d, "Set Alarms"), "enabled"), "Set Alarms stays disabled")
        check(not has_state(button(d, "SNOOOOOZE"), "enabled"), "the snooze button stays enabled")
        d.set_clock("2026-03-02 07:34:58")
        wait_time(d, "7:35 AM")
        check_quiet(d, "after the disarm")
        end_with_ok(d, window)


@scenario
def both_alarms(binary, artefacts):
    """Both alarms on one minute, the second in the afternoon of the other."""
    with Desktop(binary, artefacts, "both_alarms", clock="2026-03-02 06:10:00") as d:
        alarm_sound(d)
        window = start(d)
        window = set_alarms(d, window, alarm1=("6", "30", "PM"), alarm2=("6", "30", "PM"))
        check_armed(d, 1, "6:30 PM")
        check_armed(d, 2, "6:30 PM")
        d.set_clock("2026-03-02 06:29:58")  # the morning: not yet
        wait_time(d, "6:30 AM")
        check_quiet(d, "in the morning")
        d.set_clock("2026-03-02 18:29:58")
        wait_time(d, "6:30 PM")
        check_ringing(d, window)
        # Alarm 2 rang last: unchecking alarm 1 does not stop it.
        uncheck(d, window, 1)
        d.set_clock("2026-03-02 18:31:58")
        wait_time(d, "6:32 PM")
        check(d.sounding(), "unchecking the other alarm stopped the sound")
        uncheck(d, window, 2)
        d.wait_silence()
        wait_status(d, NO_ALARM)
        end_with_ok(d, window)


@scenario
def due_while_setting(binary, artefacts):
    """An alarm comes due while the Set Alarms window is open: it rings
    unseen, and the main window comes back ringing, ready for the space bar."""
    with Desktop(binary, artefacts, "due_while_setting", clock="2026-03-02 07:03:30") as d:
        alarm_sound(d)
        window = start(d)
        window = set_alarms(d, window, alarm1=("7", "05", "AM"))
        form2 = open_set_alarms(d, window)
        d.set_clock("2026-03-02 07:04:58")
        d.wait_sound()
        d.screenshot("ringing_unseen")
        # Applying a new time for alarm 2 does not stop the ringing.
        enter_alarm(d, form2, 2, "9", "15", "AM")
        window = apply_set_alarms(d, form2)
        check_armed(d, 1, "7:05 AM")
        check_armed(d, 2, "9:15 AM")
        check_ringing(d, window)
        snooze(d, window)
        d.check_running()
        # The window's close box also brings the main window back.
        uncheck(d, window, 1)
        form2 = open_set_alarms(d, window)
        d.request_close(form2)
        window = main_back(d)
        check_armed(d, 2, "9:15 AM")
        end_with_ok(d, window)


@scenario
def close_while_ringing(binary, artefacts):
    """Cancel in the close confirmation keeps the alarm ringing; OK ends the
    program and its sound."""
    with Desktop(binary, artefacts, "close_while_ringing", clock="2026-03-02 07:03:30") as d:
        alarm_sound(d)
        window = start(d)
        window = set_alarms(d, window, alarm1=("7", "05", "AM"))
        d.set_clock("2026-03-02 07:04:58")
        check_ringing(d, window)
        cancel_close(d, window)
        check(d.sounding(), "Cancel stopped the sound")
        wait_status(d, PRESS_SPACE)
        end_with_ok(d, window)
        check(d.playback_streams() == {}, "the sound outlived the program")
        d.wait_silence()


@scenario
def clock_jumps(binary, artefacts):
    """A jump over the alarm's minute does not ring; a jump back before it
    rings when the minute shows again."""
    with Desktop(binary, artefacts, "clock_jumps", clock="2026-03-02 07:03:30") as d:
        alarm_sound(d)
        window = start(d)
        window = set_alarms(d, window, alarm1=("7", "05", "AM"))
        d.set_clock("2026-03-02 07:10:00")
        wait_time(d, "7:10 AM")
        check_quiet(d, "after jumping over the alarm")
        wait_status(d, "")
        d.set_clock("2026-03-02 07:04:58")
        wait_time(d, "7:05 AM")
        check_ringing(d, window)
        end_with_ok(d, window)


@scenario
def snooze_over_midnight(binary, artefacts):
    """A snooze at 11:50 PM comes back at 12:05 AM."""
    with Desktop(binary, artefacts, "snooze_over_midnight", clock="2026-03-02 23:45:00") as d:
        alarm_sound(d)
        window = start(d)
        window = set_alarms(d, window, alarm1=("11", "50", "PM"))
        check_armed(d, 1, "11:50 PM")
        d.set_clock("2026-03-02 23:49:58")
        check_ringing(d, window)
        snooze(d, window)
        d.set_clock("2026-03-03 00:04:58")
        wait_time(d, "12:05 AM")
        check_ringing(d, window)
        end_with_ok(d, window)


@scenario
def dst_spring_forward(binary, artefacts):
    """Berlin, the night to summer time: an alarm in the missing hour does not
    ring; a snooze from 1:55 AM comes back 15 minutes later, at 3:10 AM."""
    with Desktop(binary, artefacts, "dst_spring_forward", tz="Europe/Berlin",
                 clock="2026-03-29 01:40:00") as d:
        alarm_sound(d)
        window = start(d)
        window = set_alarms(d, window, alarm1=("1", "55", "AM"), alarm2=("2", "30", "AM"))
        d.set_clock("2026-03-29 01:54:58")
        wait_time(d, "1:55 AM")
        check_ringing(d, window)
        snooze(d, window)
        d.set_clock("2026-03-29 01:59:58")
        wait_time(d, "3:00 AM")
        check_quiet(d, "when the clock skipped the 2:30 alarm")
        d.set_clock("2026-03-29 03:09:58")
        wait_time(d, "3:10 AM")
        check_ringing(d, window)
        end_with_ok(d, window)


@scenario
def dst_fall_back(binary, artefacts):
    """Berlin, the night back to winter time: a 2:30 AM alarm rings in the
    first 2:30; a snooze at 2:45 summer time comes back 15 minutes later,
    at the second 2:00 AM; the second 2:30 rings again."""
    with Desktop(binary, artefacts, "dst_fall_back", tz="Europe/Berlin",
                 clock="2026-10-25 02:20:00", ) as d:
        alarm_sound(d)
        window = start(d)
        window = set_alarms(d, window, alarm1=("2", "30", "AM"))
        d.set_clock("2026-10-25 02:29:58", fold=0)
        wait_time(d, "2:30 AM")
        check_ringing(d, window)
        d.set_clock("2026-10-25 02:45:02", fold=0)
        wait_time(d, "2:45 AM")
        snooze(d, window)
        d.set_clock("2026-10-25 02:59:58", fold=0)
        wait_time(d, "2:00 AM")
        check_ringing(d, window)
        snooze(d, window)  # at 2:00 AM winter time: back at 2:15 AM
        d.set_clock("2026-10-25 02:29:58", fold=1)
        wait_time(d, "2:30 AM")
        # The alarm comes due again, over the pending snooze.
        d.wait_sound()
        wait_status(d, SNOOZING)
        end_with_ok(d, window)


def focused(d, window_name):
    found = d.accessibles(window_name=window_name, predicate=lambda a: has_state(a, "focused")
                          and a.getRoleName() not in ("filler", "frame"))
    return found[0] if found else None


def wait_focus(d, window_name, role, name=None, description=None):
    def ok():
        f = focused(d, window_name)
        return (f is not None and f.getRoleName() == role and (name is None or f.name == name)
                and (description is None or f.description == description))
    wait_for(ok, f"the focus on the {role} {name or description!r}")


def tab_to(d, window, window_name, role, name=None, description=None, limit=12):
    """Tabs on until that control has the focus, as a keyboard user would."""
    for _ in range(limit):
        f = focused(d, window_name)
        if (f is not None and f.getRoleName() == role and (name is None or f.name == name)
                and (description is None or f.description == description)):
            return
        before = (f.getRoleName(), f.name, f.description) if f is not None else None
        d.key(window, "Tab")
        wait_for(lambda: (lambda g: g is not None and
                          (g.getRoleName(), g.name, g.description) != before)(
                              focused(d, window_name)), "Tab to move the focus")
    raise Failure(f"Tab never reached the {role} {name or description!r}")


@scenario
def keyboard_only(binary, artefacts):
    """The whole program by keyboard alone: About, setting an alarm,
    snoozing it and disarming it."""
    with Desktop(binary, artefacts, "keyboard_only", clock="2026-03-02 07:03:30") as d:
        alarm_sound(d)
        window = start(d)
        d.focus(window)
        wait_focus(d, MAIN, "push button", "Set Alarms")
        d.key(window, "alt")
        d.key(window, "Return")
        box = wait_message_box(d, window, "1.0")
        d.key(box, "Escape")
        d.wait_window_gone(box, MAIN)
        check(d.launched() == [], "Escape in the About box opened the website")

        # The menu bar keeps the keyboard after its command; Tab leaves it.
        d.key(window, "Tab")
        wait_focus(d, MAIN, "push button", "Set Alarms")
        d.key(window, "space")
        form2 = d.wait_window(SET_ALARMS)
        d.focus(form2)
        wait_focus(d, SET_ALARMS, "text", "Alarm 1 hour")
        d.key(form2, "7")
        wait_focus(d, SET_ALARMS, "text", "Alarm 1 minute")
        d.key(form2, "0", "5")
        tab_to(d, form2, SET_ALARMS, "check box", "PM", "Alarm 1")
        d.key(form2, "space")
        tab_to(d, form2, SET_ALARMS, "push button", "SET")
        d.key(form2, "space")
        window = main_back(d)
        check_armed(d, 1, "7:05 PM")

        d.set_clock("2026-03-02 19:04:58")
        check_ringing(d, window)
        d.key(window, "space")
        d.wait_silence()
        wait_status(d, SNOOZING)
        d.set_clock("2026-03-02 19:19:58")
        check_ringing(d, window)
        tab_to(d, window, MAIN, "check box", description="Alarm 1")
        d.key(window, "space")
        d.wait_silence()
        wait_status(d, NO_ALARM)
        end_with_ok(d, window)


@scenario
def accessibility_set_alarms(binary, artefacts):
    """What a screen reader finds on the Set Alarms window."""
    with Desktop(binary, artefacts, "accessibility_set_alarms", clock="2026-03-02 08:30:00") as d:
        window = start(d)
        form2 = open_set_alarms(d, window)
        d.focus(form2)
        for name in FIELDS:
            f = field(d, name)
            check(has_state(f, "editable") and has_state(f, "enabled"), f"{name} is not editable")
        for number in (1, 2):
            am, pm = choice(d, number, "AM"), choice(d, number, "PM")
            check(has_state(am, "checked") and not has_state(pm, "checked"),
                  f"alarm {number} does not start on AM")
        set_button = button(d, "SET", SET_ALARMS)
        check(not has_state(set_button, "enabled"), "SET is enabled with nothing entered")
        wait_focus(d, SET_ALARMS, "text", "Alarm 1 hour")
        d.screenshot("set_alarms", form2)
        d.request_close(form2)
        window = main_back(d)
        end_with_ok(d, window)


# --- faults ------------------------------------------------------------------

def tone_heard(d):
    hz = d.pitch()
    return abs(hz - TONE_HZ) < 150, hz


def lay_out_sound(d, variant):
    """Puts a good or bad alarm.wav where the program looks first; returns
    whether the user's own tone should be heard."""
    path = os.path.join(d.workdir, "alarm.wav")
    if os.path.isdir(path):
        os.rmdir(path)
    elif os.path.lexists(path):
        os.chmod(path, 0o644)
        os.unlink(path)
    if variant == "missing":
        return False
    if variant == "directory":
        os.mkdir(path)
        return False
    if variant == "empty":
        open(path, "wb").close()
        return False
    if variant == "not_wav":
        with open(path, "w") as f:
            f.write("This is a note to myself, not a sound.\n" * 100)
        return False
    write_wav(path)
    if variant == "truncated":
        with open(path, "r+b") as f:
            f.truncate(os.path.getsize(path) // 2)
        return False
    if variant == "unreadable":
        os.chmod(path, 0)
        # The superuser reads it all the same.
        return os.geteuid() == 0
    check(variant == "good", f"unknown variant {variant}")
    return True


@scenario
def bad_sound_files(binary, artefacts):
    """alarm.wav missing, empty, cut short, not a sound, a directory or
    unreadable: the alarm rings all the same, with the default sound, and the
    program goes on; a good file put back is heard again."""
    import datetime
    variants = ["missing", "empty", "truncated", "not_wav", "directory", "unreadable", "good"]
    with Desktop(binary, artefacts, "bad_sound_files", clock="2026-03-02 07:03:30") as d:
        window = start(d)
        window = set_alarms(d, window, alarm1=("7", "05", "AM"))
        due = datetime.datetime(2026, 3, 2, 7, 5)
        for variant in variants:
            own = lay_out_sound(d, variant)
            d.set_clock((due - datetime.timedelta(seconds=2)).strftime("%Y-%m-%d %H:%M:%S"))
            check_ringing(d, window)
            heard_own, hz = tone_heard(d)
            print(f"alarm.wav {variant}: heard {hz:.0f} Hz", flush=True)
            check(heard_own == own, f"with alarm.wav {variant}: heard {hz:.0f} Hz, expected "
                                    + ("the file's tone" if own else "the default sound"))
            d.check_running()
            snooze(d, window)
            due += datetime.timedelta(minutes=15)
        uncheck(d, window, 1)
        end_with_ok(d, window)


@scenario
def no_audio_device(binary, artefacts):
    """No sound server and no sound card: the alarm still rings for the eye,
    and snooze and disarm work."""
    with Desktop(binary, artefacts, "no_audio_device", clock="2026-03-02 07:03:30",
                 sound_server=False) as d:
        alarm_sound(d)
        window = start(d, extra_env={"PULSE_SERVER": f"unix:{d.dir}/no-such-socket"})
        window = set_alarms(d, window, alarm1=("7", "05", "AM"))
        d.set_clock("2026-03-02 07:04:58")
        wait_time(d, "7:05 AM")
        wait_status(d, PRESS_SPACE)
        d.focus(window)
        wait_for(lambda: has_state(button(d, "SNOOOOOZE"), "focused"), "the focus on snooze")
        check(not has_state(button(d, "Set Alarms"), "enabled"), "Set Alarms enabled while ringing")
        d.screenshot("ringing_without_sound", window)
        d.key(window, "space")
        wait_status(d, SNOOZING)
        d.set_clock("2026-03-02 07:19:58")
        wait_status(d, PRESS_SPACE)
        uncheck(d, window, 1)
        wait_status(d, NO_ALARM)
        end_with_ok(d, window)


@scenario
def sound_server_restart(binary, artefacts):
    """The sound server dies while the alarm rings and comes back: no crash,
    and the next ring is heard."""
    with Desktop(binary, artefacts, "sound_server_restart", clock="2026-03-02 07:03:30") as d:
        alarm_sound(d)
        window = start(d)
        window = set_alarms(d, window, alarm1=("7", "05", "AM"))
        d.set_clock("2026-03-02 07:04:58")
        check_ringing(d, window)
        d.kill_sound_server()
        d.set_clock("2026-03-02 07:06:00")
        wait_time(d, "7:06 AM")
        d.check_running()
        wait_status(d, PRESS_SPACE)
        d.key(window, "space")
        wait_status(d, SNOOZING)
        d.start_sound_server()
        d.set_clock("2026-03-02 07:20:58")  # snoozed at 7:06
        wait_time(d, "7:21 AM")
        check_ringing(d, window)
        check(tone_heard(d)[0], "the ring after the restart is not the alarm tone")
        end_with_ok(d, window)


@scenario
def huge_sound_file(binary, artefacts):
    """A 200 MB alarm.wav: the alarm rings, the window keeps answering and
    the snooze still works."""
    import time as _time
    with Desktop(binary, artefacts, "huge_sound_file", clock="2026-03-02 07:03:30") as d:
        path = os.path.join(d.workdir, "alarm.wav")
        write_wav(path, seconds=1.0)
        # Grow it to 200 MB of the same tone: the header says how much.
        with open(path, "rb") as f:
            head = f.read(44)
            one = f.read()
        count = 200 * 1024 * 1024 // len(one)
        with open(path, "wb") as f:
            size = len(one) * count
            f.write(head[:4] + struct.pack("<I", 36 + size) + head[8:40] + struct.pack("<I", size))
            for _ in range(count):
                f.write(one)
        window = start(d)
        window = set_alarms(d, window, alarm1=("7", "05", "AM"))
        d.set_clock("2026-03-02 07:04:58")
        # How long the window keeps a reader waiting while the sound loads.
        worst, started = 0.0, _time.monotonic()
        while _time.monotonic() - started < 20:
            t0 = _time.monotonic()
            text = status_line(d)
            worst = max(worst, _time.monotonic() - t0)
            if text == PRESS_SPACE:
                break
        print(f"longest wait for the window while the sound loaded: {worst * 1000:.0f} ms",
              flush=True)
        check_ringing(d, window)
        check(tone_heard(d)[0], "the big file's tone is not what plays")
        snooze(d, window)
        uncheck(d, window, 1)
        end_with_ok(d, window)


FIELDS = ["Alarm 1 hour", "Alarm 1 minute", "Alarm 2 hour", "Alarm 2 minute"]


def field_texts(d):
    return [field(d, name).queryText().getText(0, -1) for name in FIELDS]


def check_fields_sane(d, after):
    texts = field_texts(d)
    for name, text in zip(FIELDS, texts):
        check(text == "" or text.isdigit(), f"{name} holds {text!r} after {after}")
        if "hour" in name:
            check(text in [""] + [str(h) for h in range(1, 13)],
                  f"{name} holds the hour {text!r} after {after}")
        else:
            check(len(text) <= 2 and (text == "" or int(text) <= 59),
                  f"{name} holds the minute {text!r} after {after}")
    return texts


KEYS = (["Tab", "shift+Tab", "BackSpace", "Delete", "Home", "End", "Left", "Right", "Up", "Down",
         "Page_Up", "Page_Down", "Insert", "Menu", "Escape", "space", "KP_Enter", "KP_5",
         "KP_Add", "ctrl+a", "ctrl+z", "ctrl+shift+z", "ctrl+x", "ctrl+c", "ctrl+v"]
        + [f"F{n}" for n in range(1, 13)])


@scenario
def keyboard_and_paste(binary, artefacts):
    """Every printable character and the editing keys into each time field,
    then long pastes: the fields only ever hold an hour 1 to 12 and a minute
    00 to 59, and the program goes on."""
    printable = "".join(chr(c) for c in range(32, 127))
    with Desktop(binary, artefacts, "keyboard_and_paste", clock="2026-03-02 07:03:30") as d:
        window = start(d)
        form2 = open_set_alarms(d, window)
        for name in FIELDS:
            d.click_accessible(form2, field(d, name))
            d.type_text(form2, printable, delay_ms=5)
            check_fields_sane(d, f"typing every character into {name}")
            d.click_accessible(form2, field(d, name))
            d.type_text(form2, "\u00e9\u00df\u20ac\u00bd")  # letters beyond the keyboard map
            d.key(form2, *KEYS, delay_ms=10)
            check(form2 in d.windows(SET_ALARMS), f"the editing keys in {name} closed the window")
            check_fields_sane(d, f"the editing keys in {name}")
        for text in ["7" * 100_000, "12:30 PM " * 10_000, "\u00e9" * 50_000, "0123456789" * 20]:
            for name in FIELDS:
                f = field(d, name)
                d.click_accessible(form2, f)
                d.key(form2, "ctrl+a", "BackSpace")
                d.paste(form2, text)
                check_fields_sane(d, f"pasting {len(text)} characters into {name}")
                d.drop_clipboard()
        d.check_running()
        # A paste that fits goes in as it is.
        d.click_accessible(form2, field(d, "Alarm 2 minute"))
        d.key(form2, "ctrl+a", "BackSpace")
        d.paste(form2, "45")
        wait_for(lambda: field_texts(d)[3] == "45", "the pasted minute 45")
        d.drop_clipboard()
        # Still usable: a clean entry sets the alarm.
        for name in FIELDS:
            d.click_accessible(form2, field(d, name))
            d.key(form2, "End", *(["BackSpace"] * 3))
        enter_alarm(d, form2, 1, "9", "41", "PM")
        window = apply_set_alarms(d, form2)
        check_armed(d, 1, "9:41 PM")
        end_with_ok(d, window)


def main(argv):
    if len(argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    binary, artefacts, names = argv[1], argv[2], argv[3:]
    if names == ["all"]:
        names = list(SCENARIOS)
    if len(names) > 1:
        # The accessibility client binds to the first desktop's bus: one
        # process per scenario.
        import subprocess
        failed = [n for n in names
                  if subprocess.run([sys.executable, argv[0], binary, artefacts, n]).returncode]
        print(f"{len(names) - len(failed)} passed, {len(failed)} failed", flush=True)
        return 1 if failed else 0
    name = names[0]
    print(f"--- {name}", flush=True)
    try:
        SCENARIOS[name](binary, artefacts)
    except Failure as error:
        print(f"--- {name}: FAILED: {error}", flush=True)
        return 1
    print(f"--- {name}: passed", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
