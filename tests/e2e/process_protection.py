#!/usr/bin/python3
"""Other processes of the user cannot look into the running program.

Run on an X server: xvfb-run -a process_protection.py BINARY
A parent of the same, unprivileged user, with core files allowed, starts the real program and
checks that its core-file limit is 0, that the parent can neither attach with ptrace nor open
/proc/<pid>/mem, and that Enter still puts a password on the clipboard. Started as root, it first
drops to nobody with setpriv: root could read the memory anyway. A plain child of the parent
must let it do both, or the check would prove nothing; where nothing may be traced at all (Yama
ptrace_scope 2 or 3, a seccomp filter) the scenario reports itself skipped.
"""
import ctypes
import errno
import os
import re
import resource
import shutil
import subprocess
import sys
import tempfile
import time

TITLE = "^Cipherloom$"
TIMEOUT_S = 10
POLL_S = 0.05
SKIP_STATUS = 77
NOBODY = 65534
PTRACE_ATTACH = 16
PTRACE_DETACH = 17


def fail(message):
    print(f"FAIL: {message}", file=sys.stderr)
    sys.exit(1)


def wait_until(predicate, timeout=TIMEOUT_S):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(POLL_S)
    return None


def drop_to_nobody(binary):
    """Reruns this script as nobody. The build tree may lie where nobody cannot reach it (under
    /root), so the script, the program and LeakSanitizer's suppressions are copied out first."""
    work = tempfile.mkdtemp(prefix="cipherloom-protect-")
    os.chmod(work, 0o755)
    script = shutil.copy(os.path.abspath(__file__), work)
    binary = shutil.copy(binary, work)
    for name in ("home", "runtime"):
        os.mkdir(os.path.join(work, name), 0o700)
        os.chown(os.path.join(work, name), NOBODY, NOBODY)
    env = dict(os.environ, HOME=os.path.join(work, "home"),
               XDG_RUNTIME_DIR=os.path.join(work, "runtime"))
    if "XAUTHORITY" in os.environ:
        env["XAUTHORITY"] = shutil.copy(os.environ["XAUTHORITY"], work)
        os.chown(env["XAUTHORITY"], NOBODY, NOBODY)
    suppressions = re.search(r"suppressions=([^:]+)", env.get("LSAN_OPTIONS", ""))
    if suppressions:
        copied = shutil.copy(suppressions.group(1), work)
        env["LSAN_OPTIONS"] = env["LSAN_OPTIONS"].replace(suppressions.group(1), copied)
    # The parent allows core files, so a limit of 0 in the program is the program's own doing.
    resource.setrlimit(resource.RLIMIT_CORE, (resource.RLIM_INFINITY, resource.RLIM_INFINITY))
    try:
        return subprocess.run(["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}",
                               "--clear-groups", "/usr/bin/python3", script, binary],
                              env=env).returncode
    finally:
        shutil.rmtree(work, ignore_errors=True)


libc = ctypes.CDLL(None, use_errno=True)
libc.ptrace.argtypes = [ctypes.c_long, ctypes.c_long, ctypes.c_void_p, ctypes.c_void_p]


def parent_can_attach(pid):
    """Whether ptrace attach succeeds (then detaches again); the errno when it does not."""
    if libc.ptrace(PTRACE_ATTACH, pid, None, None) != 0:
        return errno.errorcode.get(ctypes.get_errno(), "?")
    os.waitpid(pid, 0)
    libc.ptrace(PTRACE_DETACH, pid, None, None)
    return True


def parent_can_open_memory(pid):
    try:
        os.close(os.open(f"/proc/{pid}/mem", os.O_RDONLY))
        return True
    except OSError as error:
        return errno.errorcode.get(error.errno, "?")


def core_limit(pid):
    with open(f"/proc/{pid}/limits", encoding="ascii") as limits:
        line = next(line for line in limits if line.startswith("Max core file size"))
    return line.split()[4:6]


def output_of(*argv):
    try:
        return subprocess.run(argv, capture_output=True, text=True, timeout=TIMEOUT_S).stdout
    except subprocess.TimeoutExpired:
        return ""


def clipboard():
    return output_of("xclip", "-o", "-selection", "clipboard")


def main():
    binary = sys.argv[1]
    if os.getuid() == 0:
        return drop_to_nobody(binary)
    if resource.getrlimit(resource.RLIMIT_CORE)[0] == 0:
        fail("core files are off in the parent already: the limit check would prove nothing")

    plain = subprocess.Popen(["sleep", str(TIMEOUT_S * 3)])
    try:
        traced, opened = parent_can_attach(plain.pid), parent_can_open_memory(plain.pid)
    finally:
        plain.kill()
        plain.wait()
    if traced is not True or opened is not True:
        print(f"SKIP: a plain child cannot be traced here (ptrace: {traced}, mem: {opened})")
        return SKIP_STATUS

    env = {k: v for k, v in os.environ.items() if k != "QT_QPA_PLATFORM"}
    work = tempfile.mkdtemp(prefix="cipherloom-protect-")
    stderr = open(os.path.join(work, "stderr"), "w+", encoding="utf-8")
    app = subprocess.Popen([binary], env=env, stdout=subprocess.DEVNULL, stderr=stderr)

    def fail_showing_output(message):
        stderr.seek(0)
        fail(f"{message}\n  program stderr: {stderr.read()[-2000:]}")

    try:
        wid = output_of("xdotool", "search", "--sync", "--onlyvisible", "--name", TITLE).split()
        if not wid:
            fail_showing_output("the main window did not appear")
        print(f"core-file limit (soft, hard): {core_limit(app.pid)}")
        if core_limit(app.pid) != ["0", "0"]:
            fail_showing_output(f"core files are still allowed: {core_limit(app.pid)}")
        traced, opened = parent_can_attach(app.pid), parent_can_open_memory(app.pid)
        print(f"parent's ptrace attach: {traced}; open /proc/<pid>/mem: {opened}")
        if traced is True or opened is True:
            fail_showing_output("the parent can read the program's memory")

        subprocess.run(["xdotool", "windowfocus", "--sync", wid[0]], check=True,
                       timeout=TIMEOUT_S)
        subprocess.run(["xdotool", "key", "--clearmodifiers", "Return"], check=True)
        if not wait_until(lambda: re.fullmatch(r"[0-9]{8}", clipboard())):
            fail_showing_output(f"no 8-digit password on the clipboard: '{clipboard()}'")
        subprocess.run(["xdotool", "key", "--clearmodifiers", "alt+x"], check=True)
        try:
            status = app.wait(timeout=TIMEOUT_S)
        except subprocess.TimeoutExpired:
            fail_showing_output("the program did not end after Alt+X")
        if status != 0:
            fail_showing_output(f"the program ended with status {status}")
    finally:
        if app.poll() is None:
            app.kill()
            app.wait()
        stderr.close()
        shutil.rmtree(work, ignore_errors=True)
    print("PASS: no core file, no ptrace, no /proc/<pid>/mem; Enter still copies a password")
    return 0


if __name__ == "__main__":
    sys.exit(main())
