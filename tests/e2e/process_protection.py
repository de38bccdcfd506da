#!/usr/bin/python3 -B
"""Other processes of the user cannot look into the running program.

Run on an X server: session.sh --x-server /usr/bin/python3 -B process_protection.py BINARY
A parent of the same, unprivileged user, with core files allowed, starts the real program: its
core-file limit must be 0, the parent can neither ptrace it nor open /proc/<pid>/mem, and Enter
still puts a password on the clipboard. As root it reruns itself as nobody, since root could read
the memory anyway. A plain child must allow both, or the check would prove nothing: where nothing
may be traced at all (Yama ptrace_scope 2 or 3, a seccomp filter) it reports itself skipped.
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

from desktop import TIMEOUT_S, Program, check, password_on_clipboard, press, run, wait_for

SKIP_STATUS = 77
NOBODY = 65534
PTRACE_ATTACH = 16
PTRACE_DETACH = 17

libc = ctypes.CDLL(None, use_errno=True)
libc.ptrace.argtypes = [ctypes.c_long, ctypes.c_long, ctypes.c_void_p, ctypes.c_void_p]


def drop_to_nobody(binary):
    """Reruns this script as nobody. The build tree may lie where nobody cannot reach it (under
    /root), so the scripts, the program and LeakSanitizer's suppressions are copied out first."""
    work = tempfile.mkdtemp(prefix="cipherloom-protect-")
    os.chmod(work, 0o755)
    here = os.path.dirname(os.path.abspath(__file__))
    script = shutil.copy(os.path.join(here, "process_protection.py"), work)
    shutil.copy(os.path.join(here, "desktop.py"), work)
    binary = shutil.copy(binary, work)
    env = dict(os.environ)
    for variable, name in (("HOME", "home"), ("XDG_RUNTIME_DIR", "runtime")):
        env[variable] = os.path.join(work, name)
        os.mkdir(env[variable], 0o700)
        os.chown(env[variable], NOBODY, NOBODY)
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
                              env=env, check=False).returncode
    finally:
        shutil.rmtree(work, ignore_errors=True)


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


def scenario(argv):
    if os.getuid() == 0:
        return drop_to_nobody(argv[0])
    check(resource.getrlimit(resource.RLIMIT_CORE)[0] != 0,
          "core files are off in the parent already: the limit check would prove nothing")
    with subprocess.Popen(["sleep", str(TIMEOUT_S * 3)]) as plain:
        traced, opened = parent_can_attach(plain.pid), parent_can_open_memory(plain.pid)
        plain.kill()
    if traced is not True or opened is not True:
        print(f"SKIP: a plain child cannot be traced here (ptrace: {traced}, mem: {opened})")
        return SKIP_STATUS

    with Program(argv[0]) as program:
        window = program.main_window()
        limit = core_limit(program.pid)
        print(f"core-file limit (soft, hard): {limit}")
        check(limit == ["0", "0"], f"core files are still allowed: {limit}")
        traced, opened = parent_can_attach(program.pid), parent_can_open_memory(program.pid)
        print(f"parent's ptrace attach: {traced}; open /proc/<pid>/mem: {opened}")
        check(traced is not True and opened is not True, "the parent can read the program's memory")
        press(window, "Return")
        wait_for("no 8-digit password on the clipboard", password_on_clipboard)
        program.exit_with_alt_x(window)
    print("no core file, no ptrace, no /proc/<pid>/mem; Enter still copies a password")
    return None


if __name__ == "__main__":
    sys.exit(run("process_protection", scenario))
