#!/usr/bin/python3
"""Starts Saltwick and prints what a screen reader sees of it over AT-SPI: every object
with its role, name and states. Needs a display and a session bus (Debian: xvfb,
dbus, at-spi2-core, python3-pyatspi):

    xvfb-run -a dbus-run-session -- tools/atspi-dump.py build/app/saltwick [FILE]

With --events it prints instead the events a screen reader hears while it presses Split,
as a user would after loading FILE (a copy of FILE's whole length goes beside it):

    xvfb-run -a dbus-run-session -- tools/atspi-dump.py --events build/app/saltwick FILE
"""
import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

STATES = [("showing", pyatspi.STATE_SHOWING), ("focusable", pyatspi.STATE_FOCUSABLE),
          ("focused", pyatspi.STATE_FOCUSED), ("enabled", pyatspi.STATE_ENABLED),
          ("editable", pyatspi.STATE_EDITABLE)]
# What a screen reader listens to when a text changes somewhere it does not look.
EVENTS = ["object:text-changed", "object:property-change:accessible-name",
          "object:property-change:accessible-value", "object:value-changed",
          "object:announcement"]


def dump(node, depth):
    states = node.getState()
    shown = [name for name, state in STATES if states.contains(state)]
    text = f'{"  " * depth}{node.getRoleName()} "{node.name}"'
    if node.description:
        text += f' description="{node.description}"'
    print(f'{text} [{", ".join(shown)}]')
    for child in node:
        if child is not None:
            dump(child, depth + 1)


def find_application(pid):
    for _ in range(150):
        for application in pyatspi.Registry.getDesktop(0):
            if application is not None and application.get_process_id() == pid \
                    and application.childCount > 0:
                return application
        time.sleep(0.2)
    return None


def find(node, role, name):
    if node.getRole() == role and node.name == name:
        return node
    for child in node:
        if child is not None:
            found = find(child, role, name)
            if found is not None:
                return found
    return None


def print_event(event):
    source = event.source
    data = event.any_data
    # Qt sends the object with a property change, not the new value; the name is read back.
    said = f'"{data}"' if isinstance(data, str) else f'(name read back) "{source.name}"'
    print(f'{event.type} from {source.getRoleName()}: '
          f'detail1={event.detail1} detail2={event.detail2} {said}', flush=True)


def listen_while_splitting(application):
    split = find(application, pyatspi.ROLE_PUSH_BUTTON, "Split")
    if split is None:
        sys.exit("no Split button")
    pyatspi.Registry.registerEventListener(print_event, *EVENTS)

    def press():
        split.queryAction().doAction(0)
        return False

    GLib.timeout_add(1000, press)
    GLib.timeout_add(5000, lambda: pyatspi.Registry.stop() or False)
    pyatspi.Registry.start()


def main():
    arguments = sys.argv[1:]
    events = bool(arguments) and arguments[0] == "--events"
    if events:
        arguments = arguments[1:]
    if not arguments or (events and len(arguments) < 2):
        sys.exit(__doc__)
    environment = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    program = subprocess.Popen(arguments, env=environment)
    try:
        application = find_application(program.pid)
        if application is None:
            sys.exit("the program did not show up on the accessibility bus")
        time.sleep(1)
        if events:
            listen_while_splitting(application)
        else:
            dump(application, 0)
    finally:
        program.terminate()
        program.wait()


if __name__ == "__main__":
    main()
