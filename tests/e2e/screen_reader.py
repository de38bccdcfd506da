#!/usr/bin/python3 -B
"""What a screen reader reads from the real program over AT-SPI.

Run inside a session of its own: session.sh --x-server /usr/bin/python3 -B screen_reader.py BINARY
The session bus starts the accessibility bus, as on a desktop; the program runs with accessibility
on. Checked through pyatspi: the main window is a frame, not modal; 生成 is the default button at
start and again after the focus went round the other buttons and back into 文字数; the password
display reads the password and is labelled by "パスワード"; the options dialog is modal.
"""
import os
import sys

from desktop import (TITLE, Program, check, output_of, password_on_clipboard, press, run, wait_for,
                     windows_titled)

A11Y_BUS = "org.a11y.Bus"
PASSWORD_CAPTION = "パスワード"
OPTIONS_TITLE = "オプション"
GENERATE = "生成"
# The centre of 文字数's field in the window, in pixels, and tabs enough to pass every control.
LENGTH_FIELD_AT = ("112", "36")
TABS_ROUND_THE_WINDOW = 16


def bus_name_owned(name):
    # NameHasOwner never starts a service, unlike a call to the name itself would.
    return "boolean true" in output_of(
        "dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
        "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", f"string:{name}")


def walk(accessible):
    yield accessible
    for index in range(accessible.childCount):
        child = accessible.getChildAtIndex(index)
        if child is not None:
            yield from walk(child)


def related(accessible, relation_type):
    return [relation.getTarget(i) for relation in accessible.getRelationSet()
            if relation.getRelationType() == relation_type
            for i in range(relation.getNTargets())]


def scenario(argv):
    # Only the bus started here counts, never one of a desktop the test may run inside.
    os.environ.pop("AT_SPI_BUS_ADDRESS", None)
    output_of("dbus-send", "--session", "--print-reply", f"--dest={A11Y_BUS}", "/org/a11y/bus",
              "org.a11y.Bus.GetAddress")
    wait_for("the accessibility bus did not start", lambda: bus_name_owned(A11Y_BUS))
    import pyatspi  # only once the accessibility bus is up

    with Program(os.path.abspath(argv[0]), QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1") as program:
        def top_window(title):
            desktop = pyatspi.Registry.getDesktop(0)
            for app in (desktop.getChildAtIndex(i) for i in range(desktop.childCount)):
                if app is not None and app.get_process_id() == program.pid:
                    app.clear_cache()
                    for window in (app.getChildAtIndex(i) for i in range(app.childCount)):
                        if window.name == title and window.getState().contains(
                                pyatspi.STATE_SHOWING):
                            return window
            return None

        def find(role, name, state=None):
            main.clear_cache()
            return next((accessible for accessible in walk(main) if accessible.getRole() == role
                         and accessible.name == name
                         and (state is None or accessible.getState().contains(state))), None)

        def generate_is_default():
            return find(pyatspi.ROLE_PUSH_BUTTON, GENERATE, pyatspi.STATE_IS_DEFAULT)

        window_id = program.main_window()
        main = wait_for("the main window is not on the accessibility bus",
                        lambda: top_window(TITLE))
        wait_for(f"{GENERATE} is not the default button at start", generate_is_default)
        press(window_id, *["Tab"] * TABS_ROUND_THE_WINDOW)
        output_of("xdotool", "mousemove", "--window", window_id, *LENGTH_FIELD_AT, "click", "1")
        wait_for(f"{GENERATE} is no longer the default after tabbing round and a click back",
                 generate_is_default)

        press(window_id, "Return")
        password = wait_for("no password on the clipboard", password_on_clipboard)
        check(main.getRole() == pyatspi.ROLE_FRAME,
              f"the main window's role is {main.getRoleName()}, not frame")
        check(not main.getState().contains(pyatspi.STATE_MODAL),
              "the main window is reported modal")
        display = wait_for(f"no label reads the password {password}",
                           lambda: find(pyatspi.ROLE_LABEL, password))
        labels = related(display, pyatspi.RELATION_LABELLED_BY)
        check([label.name for label in labels] == [PASSWORD_CAPTION],
              f"the password display is labelled by {[label.name for label in labels]}")
        check([target.name for target in related(labels[0], pyatspi.RELATION_LABEL_FOR)]
              == [password], f"{PASSWORD_CAPTION} does not say it labels the password")

        press(window_id, "alt+o")
        dialog = wait_for("the options dialog is not on the accessibility bus",
                          lambda: top_window(OPTIONS_TITLE))
        check(dialog.getRole() == pyatspi.ROLE_DIALOG,
              f"the options dialog's role is {dialog.getRoleName()}, not dialog")
        check(dialog.getState().contains(pyatspi.STATE_MODAL),
              "the options dialog is shown without the modal state")
        dialog_id = wait_for("the options dialog did not appear",
                             lambda: windows_titled(OPTIONS_TITLE))[0]
        press(dialog_id, "Escape")
        wait_for("the options dialog did not close", lambda: not windows_titled(OPTIONS_TITLE))
        program.exit_with_alt_x(window_id)


if __name__ == "__main__":
    sys.exit(run("screen_reader", scenario))
