#!/usr/bin/python3
"""What a screen reader reads from the real program over AT-SPI.

Run inside a session of its own, e.g.
  tests/e2e/session.sh --x-server /usr/bin/python3 screen_reader.py BINARY
It has the session bus start the accessibility bus, as a desktop does, starts the program with
accessibility on, generates a password and opens the options dialog, and checks what pyatspi
sees: the main window is a frame that is not modal, 生成 is the default button at start and again
after the focus went through the other buttons and back into 文字数, the password display reads
the password and is labelled by "パスワード", and the options dialog is modal while it is shown.
It stops the program by its id; session.sh stops what the session bus started.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

TIMEOUT_S = 20.0
POLL_S = 0.05
A11Y_BUS_NAME = "org.a11y.Bus"
MAIN_TITLE = "Cipherloom"
PASSWORD_CAPTION = "パスワード"
OPTIONS_TITLE = "オプション"
GENERATE = "生成"
# The centre of 文字数's field in the window, in pixels, and tabs enough to pass every control.
LENGTH_FIELD_AT = (112, 36)
TABS_ROUND_THE_WINDOW = 16


class Failure(Exception):
    pass


def wait_for(what, probe, timeout=TIMEOUT_S):
    """Polls probe until it returns something true; fails with what when time runs out."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            result = probe()
        except Exception:  # the accessible tree may change under a query; ask again
            result = None
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure(what)
        time.sleep(POLL_S)


def stop(process):
    """Ends the program if it still runs."""
    if process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(timeout=5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def bus_name_owned(name):
    # NameHasOwner never starts a service, unlike a call to the name itself would.
    reply = subprocess.run(
        ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
         "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", f"string:{name}"],
        capture_output=True, text=True, check=False)
    return reply.returncode == 0 and "boolean true" in reply.stdout


def xdotool(*args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True, check=False)


def press(window, *keys):
    xdotool("windowfocus", "--sync", window)
    xdotool("key", "--clearmodifiers", *keys)


def clipboard():
    reply = subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True,
                           text=True, check=False)
    return reply.stdout if reply.returncode == 0 else ""


def role_name(accessible):
    return accessible.getRoleName()


def walk(accessible):
    yield accessible
    for index in range(accessible.childCount):
        child = accessible.getChildAtIndex(index)
        if child is not None:
            yield from walk(child)


def related(accessible, relation_type):
    targets = []
    for relation in accessible.getRelationSet():
        if relation.getRelationType() == relation_type:
            targets.extend(relation.getTarget(i) for i in range(relation.getNTargets()))
    return targets


def run(binary, workdir):
    import pyatspi  # only once the accessibility bus is up

    def application():
        desktop = pyatspi.Registry.getDesktop(0)
        for index in range(desktop.childCount):
            app = desktop.getChildAtIndex(index)
            if app is not None and app.get_process_id() == program.pid:
                app.clear_cache()
                return app
        return None

    def top_window(title):
        app = application()
        for index in range(app.childCount if app else 0):
            window = app.getChildAtIndex(index)
            if window.name == title and window.getState().contains(pyatspi.STATE_SHOWING):
                return window
        return None

    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    env.pop("QT_QPA_PLATFORM", None)
    with open(os.path.join(workdir, "stderr"), "w", encoding="utf-8") as stderr:
        program = subprocess.Popen([binary], env=env, stdout=subprocess.DEVNULL, stderr=stderr)
    try:
        window_id = wait_for("the main window did not appear", lambda: xdotool(
            "search", "--onlyvisible", "--name", f"^{MAIN_TITLE}$").stdout.split())[0]

        main = wait_for("the main window is not on the accessibility bus",
                        lambda: top_window(MAIN_TITLE))

        def generate_is_default():
            main.clear_cache()
            return any(accessible.getRole() == pyatspi.ROLE_PUSH_BUTTON
                       and accessible.name == GENERATE
                       and accessible.getState().contains(pyatspi.STATE_IS_DEFAULT)
                       for accessible in walk(main))

        wait_for(f"{GENERATE} is not the default button at start", generate_is_default)
        press(window_id, *["Tab"] * TABS_ROUND_THE_WINDOW)
        xdotool("mousemove", "--window", window_id, *map(str, LENGTH_FIELD_AT), "click", "1")
        wait_for(f"{GENERATE} is no longer the default after tabbing round and a click back",
                 generate_is_default)

        press(window_id, "Return")
        password = wait_for("no password on the clipboard",
                            lambda: clipboard() if re.fullmatch(r"[0-9]{8}", clipboard()) else None)

        if main.getRole() != pyatspi.ROLE_FRAME:
            raise Failure(f"the main window's role is {role_name(main)}, not frame")
        if main.getState().contains(pyatspi.STATE_MODAL):
            raise Failure("the main window is reported modal")

        def password_display():
            main.clear_cache()
            for accessible in walk(main):
                if accessible.getRole() == pyatspi.ROLE_LABEL and accessible.name == password:
                    return accessible
            return None

        display = wait_for(f"no label reads the password {password}", password_display)
        labels = [label.name for label in related(display, pyatspi.RELATION_LABELLED_BY)]
        if labels != [PASSWORD_CAPTION]:
            raise Failure(f"the password display is labelled by {labels}")
        caption = related(display, pyatspi.RELATION_LABELLED_BY)[0]
        if [target.name for target in related(caption, pyatspi.RELATION_LABEL_FOR)] != [password]:
            raise Failure(f"{PASSWORD_CAPTION} does not say it labels the password")

        press(window_id, "alt+o")
        dialog = wait_for("the options dialog is not on the accessibility bus",
                          lambda: top_window(OPTIONS_TITLE))
        if dialog.getRole() != pyatspi.ROLE_DIALOG:
            raise Failure(f"the options dialog's role is {role_name(dialog)}, not dialog")
        if not dialog.getState().contains(pyatspi.STATE_MODAL):
            raise Failure("the options dialog is shown without the modal state")

        dialog_id = wait_for("the options dialog did not appear", lambda: xdotool(
            "search", "--onlyvisible", "--name", f"^{OPTIONS_TITLE}$").stdout.split())[0]
        press(dialog_id, "Escape")
        wait_for("the options dialog did not close", lambda: not xdotool(
            "search", "--onlyvisible", "--name", f"^{OPTIONS_TITLE}$").stdout.strip())
        press(window_id, "alt+x")
        wait_for("the program did not end", lambda: program.poll() is not None)
        if program.returncode != 0:
            raise Failure(f"the program ended with status {program.returncode}")
    finally:
        stop(program)


def main():
    if len(sys.argv) != 2:
        print("usage: screen_reader.py BINARY", file=sys.stderr)
        return 2
    binary = os.path.abspath(sys.argv[1])
    if not os.environ.get("DBUS_SESSION_BUS_ADDRESS") or not os.environ.get("DISPLAY"):
        print("needs a session bus and an X display (session.sh --x-server)", file=sys.stderr)
        return 2

    # Only the bus started here counts, never one of a desktop the test may run inside.
    os.environ.pop("AT_SPI_BUS_ADDRESS", None)
    workdir = tempfile.mkdtemp()
    try:
        subprocess.run(["dbus-send", "--session", "--print-reply", f"--dest={A11Y_BUS_NAME}",
                        "/org/a11y/bus", "org.a11y.Bus.GetAddress"],
                       capture_output=True, check=False)
        wait_for("the accessibility bus did not start", lambda: bus_name_owned(A11Y_BUS_NAME))
        run(binary, workdir)
    except Failure as failure:
        print(f"FAIL [screen_reader]: {failure}", file=sys.stderr)
        stderr_path = os.path.join(workdir, "stderr")
        if os.path.exists(stderr_path):
            with open(stderr_path, encoding="utf-8", errors="replace") as stderr:
                for line in stderr:
                    print(f"  app stderr: {line.rstrip()}", file=sys.stderr)
        return 1
    finally:
        shutil.rmtree(workdir, ignore_errors=True)
    print("PASS [screen_reader]")
    return 0


if __name__ == "__main__":
    sys.exit(main())
