#!/usr/bin/python3
"""Time to the main window and private memory of the program under Wine, for each zip given as
KIND=ZIP, RUNS times, interleaved; run inside tests/wine/session.sh (bench/windows-packages.sh).

Time runs from `wine cipherloom.exe` to the window being visible; memory is the Private_Clean +
Private_Dirty of the Windows process (its Wine preloader) once the window is up.
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile

TITLE = "^Cipherloom$"
TIMEOUT_S = 60


def private_kib(pid):
    with open(f"/proc/{pid}/smaps_rollup") as rollup:
        fields = dict(line.split(":", 1) for line in rollup if ":" in line)
    return sum(int(fields[name].split()[0]) for name in ("Private_Clean", "Private_Dirty"))


def program_pid(exe):
    """The process that runs the program: Wine names it after the Windows path."""
    found = subprocess.run(["pgrep", "-f", os.path.basename(exe)], capture_output=True, text=True)
    pids = [int(p) for p in found.stdout.split() if int(p) != os.getpid()]
    runs = [p for p in pids if "wine" not in open(f"/proc/{p}/comm").read()]
    return (runs or pids)[-1]


def one_run(exe):
    start = time.monotonic()
    process = subprocess.Popen(["wine", exe], stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, cwd=os.path.dirname(exe))
    while time.monotonic() - start < TIMEOUT_S:
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", TITLE],
                               capture_output=True, text=True).stdout.split()
        if found:
            break
        time.sleep(0.02)
    else:
        sys.exit(f"no window from {exe}")
    elapsed = time.monotonic() - start
    time.sleep(1)  # let it settle before the memory is read
    memory = private_kib(program_pid(exe))
    subprocess.run(["xdotool", "windowfocus", "--sync", found[0]], check=True)
    subprocess.run(["xdotool", "key", "alt+x"], check=True)
    process.wait(timeout=TIMEOUT_S)
    subprocess.run(["wineserver", "-w"], check=True)
    return elapsed * 1000, memory


def main():
    runs = int(os.environ.get("RUNS", "7"))
    work = tempfile.mkdtemp(prefix="cipherloom-bench-")
    programs = {}
    for argument in sys.argv[1:]:
        kind, archive = argument.split("=", 1)
        with zipfile.ZipFile(archive) as zipped:
            zipped.extractall(os.path.join(work, kind))
        (top,) = os.listdir(os.path.join(work, kind))
        programs[kind] = os.path.join(work, kind, top, "cipherloom.exe")
    one_run(next(iter(programs.values())))  # Wine's first start fills its caches
    results = {kind: [] for kind in programs}
    for _ in range(runs):
        for kind, exe in programs.items():
            results[kind].append(one_run(exe))
    medians = {}
    for kind, values in results.items():
        ms = statistics.median(v[0] for v in values)
        kib = statistics.median(v[1] for v in values)
        medians[kind] = (ms, kib)
        print(f"{kind:8} time to window {ms:7.0f} ms (runs: "
              f"{', '.join(f'{v[0]:.0f}' for v in values)}), private memory {kib / 1024:6.1f} MiB")
    if {"static", "dll"} <= medians.keys():
        (ms_s, kib_s), (ms_d, kib_d) = medians["static"], medians["dll"]
        print(f"static/dll: time to window {ms_s / ms_d:.2f}, private memory {kib_s / kib_d:.2f}")


if __name__ == "__main__":
    main()
