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

from harness import DEFAULT_TIMEOUT, Desktop, Failure, check, has_state, wait_for  # noqa: E402

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
    box = d.wait_window(MAIN, other_than=(main_window,))
    wait_for(lambda: any(text in a.name for a in d.accessibles("label", window_name=MAIN)),
             f"the message {text!r}")
    return box


def close_and_answer(d, main_window, key):
    """The close button, then a key into the confirmation; returns the box."""
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


def start(d, **kw):
    d.start_app(**kw)
    window = d.wait_window(MAIN)
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


def main(argv):
    if len(argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    binary, artefacts = argv[1], argv[2]
    failed = []
    for name in argv[3:]:
        print(f"--- {name}", flush=True)
        try:
            SCENARIOS[name](binary, artefacts)
            print(f"--- {name}: passed", flush=True)
        except Failure as error:
            print(f"--- {name}: FAILED: {error}", flush=True)
            failed.append(name)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
