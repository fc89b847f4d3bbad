#!/usr/bin/python3
"""Starts Saltwick and prints what a screen reader sees of it over AT-SPI: every object
with its role, name and states. Needs a display and a session bus (Debian: xvfb,
dbus, at-spi2-core, python3-pyatspi):

    xvfb-run -a dbus-run-session -- tools/atspi-dump.py build/app/saltwick [FILE]
"""
import os
import subprocess
import sys
import time

import pyatspi

STATES = [("showing", pyatspi.STATE_SHOWING), ("focusable", pyatspi.STATE_FOCUSABLE),
          ("focused", pyatspi.STATE_FOCUSED), ("enabled", pyatspi.STATE_ENABLED),
          ("editable", pyatspi.STATE_EDITABLE)]


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


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    environment = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    program = subprocess.Popen(sys.argv[1:], env=environment)
    try:
        application = find_application(program.pid)
        if application is None:
            sys.exit("the program did not show up on the accessibility bus")
        time.sleep(1)
        dump(application, 0)
    finally:
        program.terminate()
        program.wait()


if __name__ == "__main__":
    main()
