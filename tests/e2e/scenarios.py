#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Vellwake developers
# SPDX-License-Identifier: MIT
# What only the real program on a real desktop can show, one row per run:
#
# scenarios.py BINARY ARTEFACT_DIR ROW     or     scenarios.py --list

import math, os, re, subprocess, sys, wave  # noqa: E401

from harness import TIMEOUT, Desktop, check, wait_for

MAIN, SET = "Vellwake", "Vellwake - Set Alarms"
PRESS_SPACE, SNOOZING = "*** Press the SPACE Bar to SNOOOOZE ***", "*** snoooozing *** "
TONE = 1500  # the user's alarm.wav; the built-in sound is far lower
ASSETS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "assets")


def lay_out(d, kind):  # the user's alarm.wav: a one-second tone, cut short, or garbage
    with wave.open(os.path.join(d.cwd, "alarm.wav"), "wb") as w:
        w.setnchannels(1), w.setsampwidth(2), w.setframerate(22050)
        w.writeframes(b"".join(int(12000 * math.sin(2 * math.pi * TONE * i / 22050))
                               .to_bytes(2, "little", signed=True) for i in range(22050)))
    with open(os.path.join(d.cwd, "alarm.wav"), "r+b") as f:  # cut, or garbage on its head
        f.truncate(14000) if kind == "truncated" else f.write(b"no wave" * 40 * (kind == "garbage"))


def status(d):
    return next((n["name"] for n in d.find(role="label", win=MAIN) if n["desc"] == "Status"), None)


def focused(d, win):
    found = d.find(["focused"], win=win, top=False)
    return (found[0]["role"], found[0]["name"], found[0]["desc"]) if found else None


def slots(d):
    return [(n["name"], "checked" in n["states"]) for n in d.find(role="check box", win=MAIN)]


def tab_to(d, window, win, key="Tab", **match):
    # Tabs on until that control has the focus, as a keyboard user does.
    for _ in range(12):
        if d.find(["focused"], win=win, top=False, **match):
            return
        now = focused(d, win)
        d.keys(window, key)
        wait_for(lambda: focused(d, win) not in (None, now), "Tab to move the focus")
    check(False, f"Tab never reached {match}")


def start(d, **env):
    lay_out(d, "tone")
    d.start_app(**env)
    d.main = d.window(MAIN)
    wait_for(lambda: status(d) is not None, "the first tick")
    d.keys(d.main)  # given the keyboard, as a window manager would


def open_set_alarms(d):
    d.wait_node(["focused"], win=MAIN, name="Set Alarms")
    return d.keys(d.main, "space") or d.window(SET)


def set_alarms(d, alarms):
    # The whole setting by keyboard: Tab, digits, space on PM, then SET.
    form2, alarms = open_set_alarms(d), [re.match(r"(\d+):(\d+) (.M)", a).groups() for a in alarms]
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


def ring(d, sound):
    wait_for(lambda: status(d) == PRESS_SPACE, "the ring")
    d.keys(d.main)  # the window given the keyboard: the focus inside is the program's
    d.wait_node(["focused"], win=MAIN, role="push button", name="SNOOOOOZE")
    if d.sound:
        wait_for(lambda: d.heard(0.3)[1] > 0, "a sound")
        hz, share, breaks = d.heard(2.5)
        check((abs(hz - TONE) < 150) == (sound == "tone"), f"heard {hz:.0f} Hz, not the {sound}")
        # The one-second file loops on without a break at each turn; a buffer
        # lost now and then on a busy machine comes at no such beat.
        check(sound != "tone" or share > 0.9 and not {b - a for a in breaks for b in breaks}
              & set(range(97, 104)), f"the looped sound: {share:.0%} heard, breaks at {breaks}")
    d.before = slots(d)


def snoozed(d, _):
    d.sound and wait_for(lambda: d.heard(0.5)[1] == 0, "silence")
    check(slots(d) == d.before, f"the slots went from {d.before} to {slots(d)} while snoozing")
    wait_for(lambda: status(d) == SNOOZING, "the snooze")


def quiet(d, shown):
    wait_for(lambda: d.find(role="label", name=shown, win=MAIN), f"the clock at {shown}")
    check(status(d) != PRESS_SPACE and d.heard(0.5)[1] == 0, f"a ring at {shown}")


def close(d, answer):
    d.request_close(d.main)
    d.keys(d.window(MAIN, other_than=[d.main]), answer)
    if answer == "Escape":
        wait_for(lambda: d.windows(MAIN) == [d.main], "the confirmation to go")
        return ring(d, "tone")
    check(d.app.wait(TIMEOUT) == 0, f"the program ended with code {d.app.returncode}")
    wait_for(lambda: d.heard(0.5)[1] == 0, "silence after the end")


STEPS = {"at": lambda d, t: d.set_clock(t if len(t) > 8 else f"{d.day} {t}"), "ring": ring,
         "keys": lambda d, keys: d.keys(d.main, *keys.split()), "snoozed": snoozed,
         "quiet": quiet, "wav": lay_out, "server": lambda d, _: d.start_sound(), "close": close}
SNOOZE = "at 07:04:58; ring tone; keys {}; snoozed; at 07:19:58; ring tone"
# name: the alarms set by keyboard, then the steps; the day starts at 7:00 AM unless told.
ROWS = {"snooze_" + "_".join(keys.lower().split()): ("7:05 AM, 9:15 AM", SNOOZE.format(keys))
        for keys in ("space", "space space", "space space space", "space Return")} | {
    "snooze_over_midnight": ("11:50 PM", "at 23:49:58; ring tone; keys space; snoozed; "
                             "at 2026-03-03 00:04:58; ring tone", "2026-03-02 23:45:00"),
    "clock_jumps_over_alarm": ("7:05 AM", "at 07:10:00; quiet 7:10 AM; at 07:04:58; ring tone"),
    "snooze_over_spring_forward": ("1:55 AM", "at 01:54:58; ring tone; keys space; snoozed; "
                                   "at 01:59:58; quiet 3:00 AM; at 03:09:58; ring tone",
                                   "2026-03-29 01:50:00"),
    "bad_sound_file": ("7:05 AM", "wav garbage; at 07:04:58; ring default; keys space; snoozed; "
                       "wav truncated; at 07:19:58; ring default"),
    "sound_server_appears": ("7:05 AM", "at 07:04:58; ring tone; keys space; snoozed; server; "
                             "at 07:19:58; ring tone", "2026-03-02 07:00:00", False),
    "close_box": ("7:05 AM", "at 07:04:58; ring tone; close Escape; close Return"),
}


def screen_reader(d):
    # Names a screen reader reads out, the Set Alarms window as a window, and
    # the focus back where it was after the About box is answered by keyboard.
    start(d)
    for role, key, text in (("push button", "name", "Set Alarms"), ("menu item", "name", "about"),
                            ("push button", "name", "SNOOOOOZE"), ("check box", "desc", "Alarm 1"),
                            ("check box", "desc", "Alarm 2")):
        d.wait_node(win=MAIN, role=role, **{key: text})
    had = wait_for(lambda: focused(d, MAIN), "a focused control")
    d.keys(d.main, "alt", "Return")
    d.keys(d.window(MAIN, other_than=[d.main]), "Escape")
    wait_for(lambda: d.windows(MAIN) == [d.main], "the About box to go")
    wait_for(lambda: focused(d, MAIN) == had, f"the focus back on {had}")
    open_set_alarms(d)
    top = wait_for(lambda: [n for n in d.find(["showing"], top=True) if n["win"] != MAIN], "it")[0]
    check(top["role"] in ("frame", "window", "dialog") and top["name"] == SET,
          f"the Set Alarms window reads as a {top['role']} named {top['name']!r}")


def middle_paste(d):
    # The X selection pasted with the middle button obeys the field rules: letters
    # never enter (letters alone leave a field empty), and a field holds two digits at most.
    start(d)
    open_set_alarms(d)
    for n, (text, rule) in enumerate((("ab PM", ""), ("1234567", r"\d{0,2}"))):
        open(os.path.join(d.dir, text), "w").write(text)
        d.start("xclip", ["xclip", "-quiet", "-selection", "primary", f"{d.dir}/{text}"])
        wait_for(lambda: d.run_tool("xclip", "-o", "-selection", "primary").stdout == text, text)
        fields = d.find(role="text", win=SET)
        [d.click(field, 2) for field in fields]
        d.click(fields[n + 1], 1)  # its focus shows that the pastes before it are done
        d.wait_node(["focused"], win=SET, name=fields[n + 1]["name"])
        for field in d.find(role="text", win=SET):
            check(re.fullmatch(rule, field["text"]), f"{field['name']} {field['text']!r} ({text})")


def gray(path, crop, resize="100%"):
    return subprocess.run(["convert", path, "-resize", resize, "-crop", crop, "+repage",
                           "-colorspace", "gray", "-depth", "8", "gray:-"],
                          capture_output=True, check=True).stdout


def hidpi(d):
    # At scale factor 2 the background picture is drawn from the sharp one,
    # pixel for pixel, where the picture sits.
    start(d, QT_SCALE_FACTOR="2")
    shot = d.screenshot("main", d.main)
    import pyatspi

    def box(node):
        e = node["acc"].queryComponent().getExtents(pyatspi.WINDOW_COORDS)
        return 2 * e.x, 2 * e.y, 2 * (e.x + e.width), 2 * (e.y + e.height)
    ix, iy, _, _ = image = box(d.wait_node(role="image", win=MAIN))
    area = box(d.wait_node(role="filler", win=MAIN))  # the picture shows within it
    (x0, y0), (x1, y1) = map(max, image[:2], area[:2]), map(min, image[2:], area[2:])
    seen = gray(shot, f"{x1 - x0}x{y1 - y0}+{x0}+{y0}")
    crop = f"{x1 - x0}x{y1 - y0}+{x0 - ix}+{y0 - iy}"

    # Most of it is the same: the clock text and the frames lie on top.
    sharp, upscaled = (sum(a == b for a, b in zip(seen, gray(f"{ASSETS}/{file}", crop, size)))
                       / len(seen) for file, size in (("background@2x.jpg", "100%"),
                                                      ("background.jpg", "200%")))
    check(sharp > max(0.5, upscaled), f"{sharp:.0%} of the picture is the sharp one, "
                                      f"{upscaled:.0%} the small one scaled up")


CHECKS = {row.__name__: row for row in (screen_reader, middle_paste, hidpi)}


def run_row(binary, artefacts, name):
    if name in CHECKS:
        with Desktop(binary, artefacts, name) as d:
            return CHECKS[name](d)
    alarms, steps, clock, sound = (*ROWS[name], "2026-03-02 07:00:00", True)[:4]
    with Desktop(binary, artefacts, name, clock=clock, sound=sound) as d:
        d.day = clock[:10]
        start(d)
        set_alarms(d, alarms.split(", "))
        for verb, _, arg in (step.partition(" ") for step in steps.split("; ")):
            STEPS[verb](d, arg)


if __name__ == "__main__":
    if sys.argv[1:] == ["--list"]:
        sys.exit(print(";".join([*ROWS, *CHECKS])))
    run_row(*sys.argv[1:4])
