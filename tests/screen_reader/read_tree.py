# SPDX-License-Identifier: MIT
"""Reads the window as a screen reader does, over AT-SPI, and checks what it hears:
each control's role and name, the default button, the focus as Tab moves it, a
password that never leaves its field, the message box, the system menu and the
about box. Drives the window with xdotool on the display it is given.

Usage: /usr/bin/python3 read_tree.py PROGRAM   (Debian's python3, which has pyatspi)
"""
import os
import subprocess
import sys

import pyatspi

from atspi_tree import (CheckFailed, check, children, describe, focused_controls, has_state,
                        keys, pump, type_text, wait_for, walk, whole_text, window)

APP = "tarnel"
MAIN = "Moltrane Vessk!!!"
INSTRUCTION = ('Paste the text to encrypt or decrypt in this text box. '
               'Then press the "Process" button.')
# Letters and signs that no text of the window holds, so any piece of it found is a leak.
PASSWORD = "Zq7Vx9Kw#Jy"
# Objects a screen reader passes over or reads by their role alone.
UNNAMED_ROLES = {"application", "filler", "panel", "scroll bar", "separator"}


def control(top, role, name):
    for obj in walk(top):
        if obj.getRoleName() == role and obj.name == name:
            return obj
    seen = ", ".join(describe(obj) for obj in walk(top) if obj is not top)
    raise CheckFailed(f"{describe(top)} has no {role} {name!r}; it has: {seen}")


def check_everything_named(top):
    for obj in walk(top):
        if obj.getRoleName() not in UNNAMED_ROLES:
            check(obj.name.strip() != "",
                  f"in {describe(top)}, a {obj.getRoleName()} has no name: "
                  "a screen reader says only its role")


def check_focus(top, expected, after):
    wait_for(lambda: focused_controls(top) == [expected],
             f"the focus on {expected} {after} (focused: {focused_controls(top)})", 3)


def check_main_window(main_window):
    field = control(main_window, "password text", "Password")
    # The field's name is what its label shows beside it.
    control(main_window, "label", field.name)
    text_box = control(main_window, "text", "Text to encrypt or decrypt")
    for state, said in ((pyatspi.STATE_MULTI_LINE, "multi-line"),
                        (pyatspi.STATE_EDITABLE, "editable")):
        check(has_state(text_box, state), f"the text box is not {said}")
    control(main_window, "label", INSTRUCTION)
    check(len(children(main_window)) == 5,
          f"the main window has {len(children(main_window))} controls, not 5: "
          + ", ".join(describe(obj) for obj in children(main_window)))
    check_everything_named(main_window)
    check_focus(main_window, "push button 'Process'", "at start")


def check_message_box(main_window):
    keys("Return")
    box = wait_for(lambda: window(APP, "alert", APP) or window(APP, "dialog", APP),
                   f"a message box captioned {APP!r}")
    control(box, "label", "Please Enter the Password to Process")
    control(box, "image", "Warning")
    ok = control(box, "push button", "OK")
    check(has_state(ok, pyatspi.STATE_FOCUSED), "the message box's OK is not focused")
    check_everything_named(box)
    keys("Return")
    wait_for(lambda: not (window(APP, "alert", APP) or window(APP, "dialog", APP)),
             "the message box closing")
    check_focus(main_window, "push button 'Process'", "after the message box")


def check_system_menu_and_about_box(main_window):
    # A popup menu is no child of the application in Qt's tree; a screen reader
    # finds it as a screen reader does, through the focus events of its items.
    menus = []

    def on_focus(event):
        if event.detail1 == 1 and event.source.getRoleName() == "menu item":
            menus.append(event.source.parent)

    pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
    keys("alt+space")
    keys("Down")
    wait_for(lambda: menus, "a focused item of the system menu on the accessibility bus", 3)
    pyatspi.Registry.deregisterEventListener(on_focus, "object:state-changed:focused")
    menu = menus[0]
    check(menu.getRoleName() == "popup menu", f"the system menu is a {describe(menu)}")
    items = [obj for obj in children(menu) if obj.getRoleName() != "separator"]
    names = [obj.name for obj in items]
    check(names == ["Close", "About tarnel..."],
          f"the system menu's items are named {names}, not ['Close', 'About tarnel...']")
    bindings = items[0].queryAction().getKeyBinding(0)
    check("F4" in bindings, f"Close's key binding is {bindings!r}, without Alt+F4")

    keys("a")
    about = wait_for(lambda: window(APP, "dialog", "About tarnel"), "the about box")
    control(about, "image", "tarnel icon")
    control(about, "label", "tarnel Version 1.0")
    control(about, "label", "Seals a text with a password")
    ok = control(about, "push button", "OK")
    check(has_state(ok, pyatspi.STATE_IS_DEFAULT), "the about box's OK is not the default")
    check_everything_named(about)
    keys("Escape")
    wait_for(lambda: not window(APP, "dialog", "About tarnel"), "the about box closing")


def check_tab_order(main_window):
    keys("Tab")
    check_focus(main_window, "password text 'Password'", "after Tab")
    # Checked away from Process: Qt makes whichever button has the focus the default.
    process = control(main_window, "push button", "Process")
    check(has_state(process, pyatspi.STATE_IS_DEFAULT),
          "Process is not the default button while the password field has the focus")
    keys("Tab")
    check_focus(main_window, "text 'Text to encrypt or decrypt'", "after Tab twice")
    keys("shift+Tab")
    check_focus(main_window, "password text 'Password'", "after Shift+Tab")


def pieces(text, length=4):
    return {text[i:i + length] for i in range(len(text) - length + 1)}


def leaks(said):
    return [piece for piece in pieces(PASSWORD) if piece in said]


def check_password_stays_hidden(main_window):
    field = control(main_window, "password text", "Password")
    heard = []

    def on_text_change(event):
        if event.source.getRoleName() == "password text":
            heard.append(str(event.any_data))

    pyatspi.Registry.registerEventListener(on_text_change, "object:text-changed")
    type_text(PASSWORD)
    keys("BackSpace")
    pump(0.5)
    pyatspi.Registry.deregisterEventListener(on_text_change, "object:text-changed")

    text = field.queryText()
    check(text.characterCount == len(PASSWORD) - 1,
          f"the password field holds {text.characterCount} characters, not {len(PASSWORD) - 1}")
    for said in (text.getText(0, -1),
                 text.getTextAtOffset(0, pyatspi.TEXT_BOUNDARY_LINE_START)[0]):
        check(not any(ch.isalnum() for ch in said),
              f"the password field's text reads {said!r}, not nothing or a mask")
    check(len(heard) >= len(PASSWORD), f"only {len(heard)} text changes of the password "
          "field were heard: the check cannot see what they carry")
    for said in heard:
        check(not set(said) & set(PASSWORD),
              f"a text change event of the password field carries {said!r}")
    for obj in walk(main_window.parent):
        for part, said in (("name", obj.name), ("description", obj.description),
                           ("text", whole_text(obj) or "")):
            check(not leaks(said), f"the {part} of {describe(obj)} holds the password")


def run():
    program = sys.argv[1]
    log = open(os.environ.get("TARNEL_SR_LOG", os.devnull), "w")
    app = subprocess.Popen([program], stdout=log, stderr=subprocess.STDOUT,
                           env={**os.environ, "QT_QPA_PLATFORM": "xcb"})
    try:
        main_window = wait_for(lambda: window(APP, "dialog", MAIN),
                               f"the application {APP!r} with its dialog {MAIN!r} "
                               "on the accessibility bus", 10)
        for step in (check_main_window, check_message_box, check_system_menu_and_about_box,
                     check_tab_order, check_password_stays_hidden):
            step(main_window)
            print(f"read_tree: {step.__name__}: ok", flush=True)
        keys("Escape")
        status = app.wait(timeout=5)
        check(status == 0, f"the program ended with status {status}")
    except CheckFailed as failure:
        print(f"read_tree: FAILED: {failure}", file=sys.stderr)
        return 1
    finally:
        if app.poll() is None:
            app.kill()
            app.wait()
    print("read_tree: the window reads as it should")
    return 0


if __name__ == "__main__":
    sys.exit(run())
