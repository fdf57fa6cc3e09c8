#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Vellwake developers
# SPDX-License-Identifier: MIT
"""What only the real program on a real desktop can show, one row per run:

    scenarios.py BINARY ARTEFACT_DIR ROW     or     scenarios.py --list"""

import math
import os
import subprocess
import sys
import wave

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Desktop, check, wait_for  # noqa: E402

MAIN, SET = "Vellwake", "Vellwake - Set Alarms"
PRESS_SPACE = "*** Press the SPACE Bar to SNOOOOZE ***"
SNOOZING = "*** snoooozing *** "
TONE = 1500  # the user's alarm.wav; the built-in sound is far lower
ASSETS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "assets")


def write_tone(path, seconds=1.0, rate=22050):
    with wave.open(path, "wb") as w:
        w.setnchannels(1), w.setsampwidth(2), w.setframerate(rate)
        w.writeframes(b"".join(int(12000 * math.sin(2 * math.pi * TONE * i / rate))
                               .to_bytes(2, "little", signed=True) for i in range(int(rate * seconds))))


def lay_out(d, kind):
    path = os.path.join(d.cwd, "alarm.wav")
    write_tone(path)
    if kind == "truncated":
        os.truncate(path, os.path.getsize(path) // 3)
    elif kind == "garbage":
        with open(path, "wb") as f:
            f.write(bytes(range(256)) * 64)


def status(d):
    return next((n["name"] for n in d.find(role="label", win=MAIN) if n["desc"] == "Status"), None)


def focused(d, win):
    return next((n for n in d.find(["focused"], win=win) if not n["top"]), None)


def ident(node):
    return node and (node["role"], node["name"], node["desc"])


def wait_focus(d, win, **match):
    wait_for(lambda: all(focused(d, win)[k] == v for k, v in match.items()), f"the focus on {match}")


def slots(d):
    return [(n["name"], "checked" in n["states"]) for n in d.find(role="check box", win=MAIN)]


def tab_to(d, window, win, key="Tab", **match):
    """Tabs on until that control has the focus, as a keyboard user does."""
    for _ in range(12):
        now = focused(d, win)
        if now is not None and all(now[k] == v for k, v in match.items()):
            return now
        d.keys(window, key)
        wait_for(lambda: ident(focused(d, win)) not in (None, ident(now)), "Tab to move the focus")
    check(False, f"Tab never reached {match}")


def start(d):
    d.start_app()
    d.main = d.window(MAIN)
    wait_for(lambda: status(d) is not None, "the first tick")


def open_set_alarms(d):
    d.keys(d.main)
    wait_focus(d, MAIN, name="Set Alarms")
    d.keys(d.main, "space")
    return d.window(SET)


def set_alarms(d, alarms):
    """The whole setting by keyboard: Tab, digits, space on PM, then SET."""
    form2 = open_set_alarms(d)
    for slot, (hour, minute, half) in enumerate(alarms, 1):
        for part, digits in (("hour", hour), ("minute", minute)):
            tab_to(d, form2, SET, role="text", name=f"Alarm {slot} {part}")
            d.keys(form2, *digits)
            d.wait_node(role="text", name=f"Alarm {slot} {part}", text=digits)
    pm = [slot for slot, alarm in enumerate(alarms, 1) if alarm[2] == "PM"]
    for slot in pm:  # a half box taking the focus clears its partner: forward only
        tab_to(d, form2, SET, role="check box", name="PM", desc=f"Alarm {slot}")
        d.keys(form2, "space")
    tab_to(d, form2, SET, "Tab" if pm else "shift+Tab", role="push button", name="SET")
    d.keys(form2, "space")
    wait_for(lambda: d.main in d.windows(MAIN), "the main window back")
    wait_for(lambda: [s for s in slots(d) if s[1]] == [(f"{h}:{m} {x}", True) for h, m, x in alarms],
             f"the slots to read {alarms}")


def ring(d, sound):
    wait_for(lambda: status(d) == PRESS_SPACE, "the ring")
    d.keys(d.main)  # the window given the keyboard: the focus inside is the program's
    wait_focus(d, MAIN, role="push button", name="SNOOOOOZE")
    if sound:
        wait_for(lambda: d.heard(0.3)[1] > 0, "a sound")
        hz, _, breaks = d.heard(2.5)
        check((abs(hz - TONE) < 150) == (sound == "tone"), f"heard {hz:.0f} Hz, not the {sound}")
        # Two loops end in any 2.5 s: a gap at each would break it twice; one
        # break alone is a buffer the busy machine lost while recording.
        check(sound != "tone" or breaks < 2, f"the looped sound broke {breaks} times")
    d.before = slots(d)


def snoozed(d, _):
    wait_for(lambda: status(d) == SNOOZING, "the snooze")
    if d.sound:
        wait_for(lambda: d.heard(0.5)[1] == 0, "silence")
    check(slots(d) == d.before, f"the slots went from {d.before} to {slots(d)} while snoozing")


def quiet_at(d, shown):
    wait_for(lambda: d.find(role="label", name=shown, win=MAIN), f"the clock at {shown}")
    check(status(d) != PRESS_SPACE and d.heard(0.5)[1] == 0, f"a ring at {shown}")


def close(d, answer):
    d.request_close(d.main)
    box = d.window(MAIN, other_than=[d.main])
    d.keys(box, answer)
    if answer == "Escape":
        wait_for(lambda: d.windows(MAIN) == [d.main], "the confirmation to go")
        ring(d, "tone")
    else:
        check(wait_for(lambda: d.app.poll() is not None, "the end") and d.app.returncode == 0,
              f"the program ended with code {d.app.returncode}")
        wait_for(lambda: d.heard(0.5)[1] == 0, "silence after the end")


STEPS = {"at": lambda d, when: d.set_clock(*when) if isinstance(when, tuple) else d.set_clock(when),
         "ring": ring, "keys": lambda d, keys: d.keys(d.main, *keys), "snoozed": snoozed,
         "quiet_at": quiet_at, "wav": lay_out, "server": lambda d, _: d.start_sound(),
         "close": close}


def snooze_row(keys):
    return dict(alarms=[("7", "05", "AM"), ("9", "15", "AM")],
                steps=[("at", "2026-03-02 07:04:58"), ("ring", "tone"), ("keys", keys),
                       ("snoozed", None), ("at", "2026-03-02 07:19:58"), ("ring", "tone")])


SNOOZE = [("keys", ["space"]), ("snoozed", None)]
ROWS = {
    "snooze_space_once": snooze_row(["space"]),
    "snooze_space_twice": snooze_row(["space"] * 2),
    "snooze_space_thrice": snooze_row(["space"] * 3),
    "snooze_space_return": snooze_row(["space", "Return"]),
    "snooze_over_midnight": dict(clock="2026-03-02 23:45:00", alarms=[("11", "50", "PM")], steps=[
        ("at", "2026-03-02 23:49:58"), ("ring", "tone"), *SNOOZE,
        ("at", "2026-03-03 00:04:58"), ("ring", "tone")]),
    "clock_jumps_over_alarm": dict(alarms=[("7", "05", "AM")], steps=[
        ("at", "2026-03-02 07:10:00"), ("quiet_at", "7:10 AM"),
        ("at", "2026-03-02 07:04:58"), ("ring", "tone")]),
    "snooze_over_spring_forward": dict(clock="2026-03-29 01:50:00", alarms=[("1", "55", "AM")],
                                       steps=[("at", "2026-03-29 01:54:58"), ("ring", "tone"),
                                              *SNOOZE, ("at", "2026-03-29 01:59:58"),
                                              ("quiet_at", "3:00 AM"),
                                              ("at", "2026-03-29 03:09:58"), ("ring", "tone")]),
    "bad_sound_file": dict(wav="garbage", alarms=[("7", "05", "AM")], steps=[
        ("at", "2026-03-02 07:04:58"), ("ring", "default"), *SNOOZE, ("wav", "truncated"),
        ("at", "2026-03-02 07:19:58"), ("ring", "default")]),
    "sound_server_appears": dict(sound=False, alarms=[("7", "05", "AM")], steps=[
        ("at", "2026-03-02 07:04:58"), ("ring", None), *SNOOZE, ("server", None),
        ("at", "2026-03-02 07:19:58"), ("ring", "tone")]),
    "close_box": dict(alarms=[("7", "05", "AM")], steps=[
        ("at", "2026-03-02 07:04:58"), ("ring", "tone"), ("close", "Escape"), ("close", "Return")]),
}


def screen_reader(d):
    """Names a screen reader reads out, the Set Alarms window as a window, and
    the focus back where it was after the About box is answered by keyboard."""
    start(d)
    d.keys(d.main)
    for role, name in (("push button", "Set Alarms"), ("push button", "SNOOOOOZE"),
                       ("menu item", "about")):
        d.wait_node(role=role, name=name, win=MAIN)
    check([n["desc"] for n in d.find(role="check box", win=MAIN)] == ["Alarm 1", "Alarm 2"],
          "the alarm slots are not told apart")
    had = ident(wait_for(lambda: focused(d, MAIN), "a focused control"))
    d.keys(d.main, "alt", "Return")
    d.keys(d.window(MAIN, other_than=[d.main]), "Escape")
    wait_for(lambda: d.windows(MAIN) == [d.main], "the About box to go")
    wait_for(lambda: ident(focused(d, MAIN)) == had, f"the focus back on {had}")
    open_set_alarms(d)
    top = wait_for(lambda: [n for n in d.find(["showing"], top=True) if n["win"] != MAIN], "it")[0]
    check(top["role"] in ("frame", "window", "dialog") and top["name"] == SET,
          f"the Set Alarms window reads as a {top['role']} named {top['name']!r}")


def middle_paste(d):
    """The X selection pasted with the middle button obeys the field rules."""
    start(d)
    open_set_alarms(d)
    text, path = "1a2b34567 PM", os.path.join(d.dir, "selection")
    with open(path, "w") as f:
        f.write(text)
    d.start("xclip", ["xclip", "-quiet", "-selection", "primary", "-i", path])
    wait_for(lambda: d.run_tool("xclip", "-o", "-selection", "primary").stdout == text,
             "the selection")
    fields = d.find(role="text", win=SET)
    for field in fields + fields[:1]:
        d.click(field, 2)
    d.click(fields[1], 1)  # its focus shows that the pastes before it are done
    wait_focus(d, SET, name=fields[1]["name"])
    for field in d.find(role="text", win=SET):
        check(field["text"].isdigit() or not field["text"], f"{field['name']}: {field['text']!r}")
        check(len(field["text"]) <= 2, f"{field['name']} holds {field['text']!r}")


def gray(path, crop, resize="100%"):
    return subprocess.run(["convert", path, "-resize", resize, "-crop", crop, "+repage",
                           "-colorspace", "gray", "-depth", "8", "gray:-"],
                          capture_output=True, check=True).stdout


def hidpi(d):
    """At scale factor 2 the background picture is drawn from the sharp one,
    pixel for pixel, where the picture sits."""
    start(d)
    shot = d.screenshot("main", d.main)
    import pyatspi

    def box(node):
        e = node["acc"].queryComponent().getExtents(pyatspi.WINDOW_COORDS)
        return 2 * e.x, 2 * e.y, 2 * (e.x + e.width), 2 * (e.y + e.height)
    ix, iy, _, _ = image = box(d.wait_node(role="image", win=MAIN))
    area = box(d.wait_node(role="filler", win=MAIN))  # the picture shows within it
    x0, y0, x1, y1 = max(image[0], area[0]), max(image[1], area[1]), min(image[2], area[2]), \
        min(image[3], area[3])
    seen = gray(shot, f"{x1 - x0}x{y1 - y0}+{x0}+{y0}")
    crop = f"{x1 - x0}x{y1 - y0}+{x0 - ix}+{y0 - iy}"

    def same(ref):  # most of it: the clock text and the frames lie on top
        return sum(a == b for a, b in zip(seen, ref)) / len(seen)
    sharp, upscaled = same(gray(f"{ASSETS}/background@2x.jpg", crop)), \
        same(gray(f"{ASSETS}/background.jpg", crop, "200%"))
    check(sharp > max(0.5, upscaled), f"{sharp:.0%} of the picture is the sharp one, "
                                      f"{upscaled:.0%} the small one scaled up")


CHECKS = {"screen_reader": (screen_reader, {}), "middle_paste": (middle_paste, {}),
          "hidpi": (hidpi, {"QT_SCALE_FACTOR": "2"})}


def run_row(binary, artefacts, name):
    if name in CHECKS:
        with Desktop(binary, artefacts, name, app_env=CHECKS[name][1]) as d:
            return CHECKS[name][0](d)
    row = ROWS[name]
    with Desktop(binary, artefacts, name, clock=row.get("clock", "2026-03-02 07:00:00"),
                 sound=row.get("sound", True)) as d:
        lay_out(d, row.get("wav", "tone"))
        start(d)
        set_alarms(d, row["alarms"])
        for step, arg in row["steps"]:
            STEPS[step](d, arg)


def main(argv):
    if argv[1:] == ["--list"]:
        print(";".join([*ROWS, *CHECKS]))
        return 0
    run_row(*argv[1:4])
    print(f"{argv[3]}: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
