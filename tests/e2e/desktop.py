"""Helpers of the end-to-end scenarios: waiting, the keyboard and windows (xdotool), the X
clipboard (xclip), and the program under test. As a script it answers the shell scenarios:
  desktop.py close WINDOW_ID   asks the window to close as a window manager's close box does
  desktop.py owner SELECTION   prints the id of the selection's owner, 0 for none
  desktop.py sway-window PID   prints "app_id focused" of each window of PID in sway's tree (stdin)
"""
import json
import os
import re
import subprocess
import sys
import tempfile
import time

TIMEOUT_S = 20
POLL_S = 0.05
TITLE = "Cipherloom"


class Failure(Exception):
    pass


def check(condition, failure):
    if not condition:
        raise Failure(failure)


def wait_for(what, probe, timeout=TIMEOUT_S):
    """Polls probe until it returns something true; fails with what when time runs out."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            result = probe()
        except Exception:  # an accessible tree may change under a query; ask again
            result = None
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure(what)
        time.sleep(POLL_S)


def output_of(*argv):
    try:
        reply = subprocess.run(argv, capture_output=True, text=True, timeout=TIMEOUT_S)
    except subprocess.TimeoutExpired:
        return ""
    return reply.stdout if reply.returncode == 0 else ""


def clipboard():
    return output_of("xclip", "-o", "-selection", "clipboard")


def password_on_clipboard():
    text = clipboard()
    return text if re.fullmatch(r"[0-9]{8}", text) else None


def windows_titled(title):
    return output_of("xdotool", "search", "--onlyvisible", "--name", f"^{title}$").split()


def press(window, *keys):
    output_of("xdotool", "windowfocus", "--sync", window)
    output_of("xdotool", "key", "--clearmodifiers", *keys)


class Program:
    """The program under test on the X server, its standard error kept for the failure report and
    the program stopped, if still running, on the way out."""

    def __init__(self, binary, **env):
        env = dict(os.environ, **env)
        env.pop("QT_QPA_PLATFORM", None)
        self.stderr = tempfile.TemporaryFile("w+", encoding="utf-8", errors="replace")
        self.process = subprocess.Popen([binary], env=env, stdout=subprocess.DEVNULL,
                                        stderr=self.stderr)
        self.pid = self.process.pid

    def __enter__(self):
        return self

    def main_window(self):
        return wait_for("the main window did not appear", lambda: windows_titled(TITLE))[0]

    def exit_with_alt_x(self, window):
        press(window, "alt+x")
        wait_for("the program did not end after Alt+X", lambda: self.process.poll() is not None)
        check(self.process.returncode == 0,
              f"the program ended with status {self.process.returncode}")

    def __exit__(self, kind, failure, trace):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        if kind is Failure:
            self.stderr.seek(0)
            for line in self.stderr.readlines()[-40:]:
                print(f"  app stderr: {line.rstrip()}", file=sys.stderr)
        self.stderr.close()


def run(name, scenario):
    """Runs scenario(argv) and reports it; returns the exit status."""
    try:
        status = scenario(sys.argv[1:])
    except Failure as failure:
        print(f"FAIL [{name}]: {failure}", file=sys.stderr)
        return 1
    if status is None:
        print(f"PASS [{name}]")
    return status or 0


def close_window(window_id):
    from Xlib import X, display
    from Xlib.protocol import event
    d = display.Display()
    window = d.create_resource_object("window", int(window_id, 0))
    delete = d.intern_atom("WM_DELETE_WINDOW")
    window.send_event(event.ClientMessage(window=window, client_type=d.intern_atom("WM_PROTOCOLS"),
                                          data=(32, [delete, X.CurrentTime, 0, 0, 0])),
                      event_mask=X.NoEventMask)
    d.flush()


def selection_owner(selection):
    from Xlib import display
    d = display.Display()
    owner = d.get_selection_owner(d.intern_atom(selection))
    print(owner.id if owner else 0)


def sway_window(pid):
    def walk(node):
        yield node
        for child in node.get("nodes", []) + node.get("floating_nodes", []):
            yield from walk(child)
    for node in walk(json.load(sys.stdin)):
        if node.get("pid") == int(pid):
            print(node.get("app_id"), node.get("focused"))


if __name__ == "__main__":
    commands = {"close": close_window, "owner": selection_owner, "sway-window": sway_window}
    if len(sys.argv) != 3 or sys.argv[1] not in commands:
        sys.exit(__doc__)
    commands[sys.argv[1]](sys.argv[2])
