# SPDX-License-Identifier: MIT
"""The accessible tree as a screen reader sees it over AT-SPI: finding objects,
waiting for them, hearing events, and describing them for failure messages."""
import subprocess
import time

import pyatspi
from gi.repository import GLib


class CheckFailed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise CheckFailed(message)


def describe(obj):
    try:
        return f"{obj.getRoleName()} {obj.name!r}"
    except Exception as error:  # a window gone while it was read
        return f"<gone: {error}>"


def children(obj):
    return [child for child in obj if child is not None]


def walk(obj):
    yield obj
    for child in children(obj):
        yield from walk(child)


def has_state(obj, state):
    return obj.getState().contains(state)


def whole_text(obj):
    """The text its Text interface gives, or None without one."""
    if "Text" not in pyatspi.listInterfaces(obj):
        return None
    text = obj.queryText()
    return text.getText(0, -1)


def pump(seconds):
    """Lets the event listeners run: AT-SPI delivers events through GLib's loop."""
    context = GLib.MainContext.default()
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if not context.iteration(False):
            time.sleep(0.01)


def wait_for(find, what, seconds=5.0):
    """Polls `find` until it gives something, or fails saying `what` was missing."""
    end = time.monotonic() + seconds
    while True:
        try:
            found = find()
        except Exception:  # the tree changes while it is read
            found = None
        if found:
            return found
        if time.monotonic() > end:
            raise CheckFailed(f"{what} did not appear within {seconds} s")
        pump(0.05)


def application(name):
    for app in children(pyatspi.Registry.getDesktop(0)):
        if app.name == name:
            return app
    return None


def window(app_name, role, name):
    app = application(app_name)
    if app is None:
        return None
    for top in children(app):
        if top.getRoleName() == role and top.name == name:
            return top
    return None


def focused_controls(top):
    """The focused objects among a window's controls, as names."""
    return [describe(obj) for obj in children(top) if has_state(obj, pyatspi.STATE_FOCUSED)]


def keys(*names):
    subprocess.run(["xdotool", "key", "--clearmodifiers", "--delay", "60", *names], check=True)
    pump(0.3)


def type_text(text):
    subprocess.run(["xdotool", "type", "--delay", "30", text], check=True)
    pump(0.3)
