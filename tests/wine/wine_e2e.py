#!/usr/bin/python3
"""The Windows build under Wine on a virtual X server, driven with xdotool.

Run inside tests/wine/session.sh (fresh WINEPREFIX, DISPLAY). The program runs from the unpacked
zip, so it also proves the zip holds every DLL it needs. Wine hands the Windows clipboard to the
X server, so xclip reads what a paste would give; clipboard_probe.exe reads it as a Windows
program would, bytes included.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ElementTree
import zipfile

import pefile
from Xlib import X, display

TITLE = "^Cipherloom$"
CLIENT_SIZE = (426, 281)
# Wine starts a Qt program in about 2 s on an idle machine; CI machines are slower and shared.
TIMEOUT_S = 60
XCLIP_TIMEOUT_S = 5
KEY_ATTEMPTS = 3
COPY_ATTEMPTS = 4
COPY_SETTLE_S = 10
# Far above the ~2 s Wine needs to end a Qt program; only a hang or a stall fails.
EXIT_BOUND_MS = 15000
# Longer than Qt's own three tries at clearing (about 300 ms), shorter than our bounded wait;
# then far longer than that wait (1 s), so Exit has to say it could not clear.
HOLD_MS = 700
LONG_HOLD_MS = 2500
# Third-party files a package folder may hold; the program itself is ours (LICENSE).
THIRD_PARTY = re.compile(r".*\.(dll|qm|exe)$")
PROGRAM = "cipherloom.exe"
# Words of a licence expression that name no licence text.
NOT_A_LICENCE_TEXT = {"AND", "OR", "WITH", "LicenseRef-public-domain"}
# The DLLs the program may import: ones that come with Windows 10 and 11 (and API sets).
WINDOWS_DLLS = re.compile(r"(api-ms-win-[a-z0-9-]+|advapi32|authz|comdlg32|d3d11|d3d9|dwmapi|"
                          r"dwrite|dxgi|gdi32|imm32|kernel32|msvcrt|netapi32|ole32|oleaut32|"
                          r"shcore|shell32|shlwapi|user32|userenv|uxtheme|version|winmm|ws2_32|"
                          r"wtsapi32)\.dll", re.I)
# Libraries Windows or Wine load into the program by name after it has started, each planted
# beside it as a stand-in that leaves NAME.loaded behind if it is ever loaded.
RUN_TIME_LIBRARIES = ("msimg32.dll", "setupapi.dll", "uiautomationcore.dll", "oleacc.dll",
                      "msctf.dll", "textinputframework.dll", "d3dcompiler_47.dll", "combase.dll")
PACKAGE_FOLDER = {PROGRAM, "LICENSE", "THIRD-PARTY-NOTICES.txt", "licenses", "README-ja.txt",
                  "Uninstall.exe"}
MANIFEST_ID = 1
# What the program's manifest must say: element, attribute (None for its text), value.
MANIFEST = [("supportedOS", "Id", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"),  # Windows 10 and 11
            ("requestedExecutionLevel", "level", "asInvoker"),
            ("dpiAwareness", None, "PerMonitorV2"), ("dpiAware", None, "true/pm")]


def fail(message):
    print(f"FAIL: {message}", file=sys.stderr)
    sys.exit(1)


def fail_if(found, message):
    if found:
        fail(f"{message}: {found}")


def wait_until(predicate, timeout=TIMEOUT_S):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.1)
    return None


def windows_titled(title=TITLE):
    return subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title],
                          capture_output=True, text=True).stdout.split()


def files_under(*roots):
    return {os.path.join(d, f) for root in roots for d, _, fs in os.walk(root) for f in fs}


class Session:
    def __init__(self, args):
        self.args = args
        self.work = tempfile.mkdtemp(prefix="cipherloom-e2e-")
        self.app = None
        self.wid = None
        self.children = []
        self.env = dict(os.environ)
        self.env.pop("WINEPATH", None)
        self.prefix = os.environ["WINEPREFIX"]
        self.install_dir = os.path.join(self.prefix, "drive_c", "Program Files", "Cipherloom")
        fail_if([p for p in (args.zip, args.setup) if not os.path.isfile(p)],
                "run `make windows` first; missing")

    def close(self):
        for child in self.children:
            if child.poll() is None:
                child.kill()
                child.wait()
        shutil.rmtree(self.work, ignore_errors=True)

    def wine(self, *argv):
        return subprocess.run(["wine", *argv], env=self.env, capture_output=True, text=True,
                              timeout=TIMEOUT_S * 2)

    def spawn(self, argv, **kwargs):
        kwargs.setdefault("stdout", subprocess.DEVNULL)
        child = subprocess.Popen(argv, stderr=subprocess.DEVNULL, **kwargs)
        self.children.append(child)
        return child

    def probe(self, *argv):
        result = self.wine(self.args.probe, *argv)
        if result.returncode != 0:
            fail(f"clipboard_probe {' '.join(argv)}: {result.stderr.strip()}")
        return result.stdout

    def xclip(self):
        # An owner that never answers gives an X program's paste nothing, as no owner does.
        try:
            result = subprocess.run(["xclip", "-o", "-selection", "clipboard"],
                                    capture_output=True, timeout=XCLIP_TIMEOUT_S)
        except subprocess.TimeoutExpired:
            return ""
        return result.stdout.decode(errors="replace") if result.returncode == 0 else ""

    def other_program_copies(self, text):
        # Settled only once Wine has handed it to X too. On a loaded machine Wine's hand-over
        # sometimes keeps mirroring an empty X clipboard back over a Windows copy for a minute;
        # then an X program copies instead, which Wine takes over into Windows.
        for attempt in range(COPY_ATTEMPTS):
            if attempt < COPY_ATTEMPTS // 2:
                self.probe("set", text)
            else:
                copier = self.spawn(["xclip", "-i", "-selection", "clipboard", "-quiet"],
                                    stdin=subprocess.PIPE)
                copier.stdin.write(text.encode())
                copier.stdin.close()
            if wait_until(lambda: self.probe("text") == text and self.xclip() == text,
                          timeout=COPY_SETTLE_S):
                return
        fail(f"could not place '{text}' on the clipboard: Windows has '{self.probe('text')}', "
             f"X has '{self.xclip()}'")

    def key(self, *keys):
        subprocess.run(["xdotool", "key", "--clearmodifiers", *keys], check=True)

    def focus(self, wid=None):
        subprocess.run(["xdotool", "windowfocus", "--sync", wid or self.wid], check=True,
                       timeout=TIMEOUT_S)

    def grab(self):
        screen = display.Display()
        window = screen.create_resource_object("window", int(self.wid))
        geometry = window.get_geometry()
        image = window.get_image(0, 0, geometry.width, geometry.height, X.ZPixmap, 0xFFFFFFFF)
        data = bytes(image.data)
        screen.close()
        return data

    def message_box(self, missing):
        """The message box titled Cipherloom beside the main window, focused."""
        if not wait_until(lambda: len(windows_titled()) >= 2):
            fail(missing)
        box = next(w for w in windows_titled() if w != self.wid)
        self.focus(box)

    def unpack_zip(self):
        folder = os.path.join(self.work, "unpacked")
        with zipfile.ZipFile(self.args.zip) as archive:
            archive.extractall(folder)
        (top,) = os.listdir(folder)
        return os.path.join(folder, top, PROGRAM)

    def launch(self, argv, title=TITLE, env=None):
        process = self.spawn(["wine", *argv], env=env or self.env)
        windows = wait_until(lambda: windows_titled(title))
        if not windows:
            fail(f"no window titled {title} appeared")
        return process, windows[0]

    def start(self, exe=None):
        self.app, self.wid = self.launch([exe or self.unpack_zip()])
        self.focus()

    def generate(self):
        # Under load Wine now and then drops a key sent right after the window is mapped; a lost
        # key is pressed again, but a program that never answers Enter still fails.
        for _ in range(KEY_ATTEMPTS):
            self.focus()
            self.key("Return")
            password = wait_until(lambda: re.fullmatch(r"[0-9]{8}", self.xclip()),
                                  timeout=TIMEOUT_S // KEY_ATTEMPTS)
            if password:
                return password.group(0)
        fail(f"no 8-digit password on the X clipboard: '{self.xclip()}', "
             f"Windows programs read '{self.probe('text')}'")

    def alt_x(self, process, wid):
        """Alt+X, then waits for the process to end; returns its status and the milliseconds
        from key to end."""
        self.focus(wid)
        start = time.monotonic()
        self.key("alt+x")
        try:
            status = process.wait(timeout=TIMEOUT_S)
        except subprocess.TimeoutExpired:
            fail("the program did not end after Alt+X")
        return status, int((time.monotonic() - start) * 1000)

    def exit_with_alt_x(self):
        status, elapsed = self.alt_x(self.app, self.wid)
        if status != 0:
            fail(f"the program ended with status {status}")
        return elapsed

    def run_once(self, exe=None):
        self.start(exe)
        self.generate()
        self.exit_with_alt_x()

    def install(self):
        result = self.wine(self.args.setup, "/S")
        if result.returncode != 0:
            fail(f"silent install failed with status {result.returncode}")
        installed = [os.path.join(self.install_dir, name) for name in (PROGRAM, "Uninstall.exe")]
        if not wait_until(lambda: all(map(os.path.isfile, installed))):
            fail(f"nothing installed in {self.install_dir}")
        return installed


def window_has_its_size(s):
    s.start()
    sizes = [tuple(map(int, line.split())) for line in s.probe("client-size").splitlines()]
    if CLIENT_SIZE not in sizes:
        fail(f"no window with a {CLIENT_SIZE} client area among {sizes}")
    s.exit_with_alt_x()


def enter_puts_eight_digits_on_clipboard_and_in_window(s):
    exe = s.unpack_zip()
    # The zip promises a program that writes nothing: not beside itself, not in the profile.
    watched = (os.path.dirname(exe), os.path.join(s.prefix, "drive_c", "users"))
    files_before = files_under(*watched)
    s.start(exe)
    before = s.grab()
    password = s.generate()
    if s.probe("text") != password:
        fail("Windows programs read another text than X does")
    # The label is the only thing Enter changes on screen; its text cannot be read through Wine.
    if not wait_until(lambda: s.grab() != before, timeout=10):
        fail("the window did not change: the password is not shown")
    s.exit_with_alt_x()
    fail_if(sorted(files_under(*watched) - files_before), "the program wrote")


def clipboard_offers_privacy_formats(s):
    s.start()
    s.generate()
    hints = s.probe("hints").splitlines()
    print("\n".join(hints))
    fail_if([name for name in ("ExcludeClipboardContentFromMonitorProcessing",
                               "CanIncludeInClipboardHistory", "CanUploadToCloudClipboard")
             if f"{name} 4 00 00 00 00" not in hints], "not four zero bytes")
    s.exit_with_alt_x()


def bad_length_shows_message_box(s):
    s.other_program_copies("kept")
    s.start()
    s.key("ctrl+a", "BackSpace")
    subprocess.run(["xdotool", "type", "--delay", "50", "33"], check=True)
    s.key("Return")
    s.message_box("no message box titled Cipherloom appeared")
    s.key("Return")
    if not wait_until(lambda: len(windows_titled()) == 1):
        fail("the message box did not close")
    if s.probe("text") != "kept":
        fail("a refused request changed the clipboard")
    s.exit_with_alt_x()
    if s.probe("text") != "kept":
        fail("Exit after a refused request changed the clipboard")


def exit_after_generate_clears_what_another_program_copied(s):
    s.start()
    s.generate()
    s.other_program_copies("copied later")
    print(f"exit took {s.exit_with_alt_x()} ms")
    if not wait_until(lambda: s.probe("text") == "" and s.xclip() == "", timeout=10):
        fail(f"the clipboard still holds '{s.probe('text')}'")


def exit_after_start_leaves_clipboard_alone(s):
    s.other_program_copies("from another program")
    s.start()
    s.exit_with_alt_x()
    if s.probe("text") != "from another program":
        fail(f"the clipboard changed to '{s.probe('text')}'")


def exit_empties_clipboard_held_open_by_another_program(s):
    """While another program holds the clipboard open, Exit waits a little, answering the window
    system meanwhile; held longer, it says it could not clear and tries again after OK."""
    for hold_ms in (HOLD_MS, LONG_HOLD_MS):
        s.start()
        password = s.generate()
        # Pasted once, so the text lives in the clipboard itself, not only in the program.
        if s.probe("text") != password:
            fail("could not paste the password")
        holder = s.spawn(["wine", s.args.probe, "hold", str(hold_ms), "Cipherloom"], env=s.env,
                         stdout=subprocess.PIPE, text=True)
        if holder.stdout.readline().strip() != "held":
            fail("the probe could not hold the clipboard")
        s.focus()
        s.key("alt+x")
        if hold_ms == LONG_HOLD_MS:
            s.message_box("no message box said the clipboard could not be cleared")
        if holder.wait(timeout=TIMEOUT_S) != 0:
            fail(f"the window stopped answering while it waited: {holder.stdout.read().strip()}")
        if hold_ms == LONG_HOLD_MS:
            s.message_box("the message box went away by itself")
            s.key("Return")
        if s.app.wait(timeout=TIMEOUT_S) != 0:
            fail(f"the program did not end well (held {hold_ms} ms)")
        if password in (s.probe("text"), s.xclip()):
            fail(f"the password outlived the program (held {hold_ms} ms)")


def exit_time_beside_bare_programs(s):
    s.start()
    s.generate()
    ours = s.exit_with_alt_x()
    qt_env = dict(s.env, WINEPATH=s.args.wine_path.replace(":", ";"))
    bare_qt = s.alt_x(*s.launch([s.args.bare_qt], "^Bare Qt window$", qt_env))[1]
    bare_win32 = s.alt_x(*s.launch([s.args.probe, "window"], "^Probe bare window$"))[1]
    print(f"Alt+X to process end: cipherloom {ours} ms, bare Qt window {bare_qt} ms, "
          f"bare Win32 window {bare_win32} ms")
    if ours > EXIT_BOUND_MS:
        fail(f"exit took {ours} ms")


def libraries_beside_the_program_are_not_loaded(s):
    exe = s.unpack_zip()
    folder = os.path.dirname(exe)
    for name in RUN_TIME_LIBRARIES:
        shutil.copyfile(s.args.planted, os.path.join(folder, name))
    s.run_once(exe)
    fail_if([name for name in os.listdir(folder) if name.endswith(".loaded")],
            "libraries planted beside the program were loaded")


def other_programs_of_the_user_cannot_read_the_program(s):
    """process_rights_probe.exe asks for rights on the program's process and window thread; what
    it is denied must not keep the program from working or ending."""
    s.start()
    s.generate()
    result = s.wine(s.args.rights_probe, "Cipherloom")
    print(result.stdout, end="")
    if result.returncode != 0:
        fail(f"process_rights_probe: status {result.returncode} {result.stderr}")
    s.exit_with_alt_x()


def notice_components(text):
    """THIRD-PARTY-NOTICES.txt's components: the files each names, its licence expression and the
    texts of each licence. Fields are indented two spaces, licence texts four; deeper lines
    continue a wrapped one."""
    body = re.sub(r"\n {5,}", " ", text.split("Components\n----------\n", 1)[-1])
    components = []
    for line in body.splitlines():
        indent = len(line) - len(line.lstrip())
        name, _, value = line.strip().partition(": ")
        if line.strip() and not indent:
            components.append({"files": [], "licence": "", "texts": {}})
        elif components and indent == 2 and name in ("Files", "Compiled into"):
            components[-1]["files"] += value.split(", ")
        elif components and indent == 2 and name == "Licence":
            components[-1]["licence"] = value
        elif components and indent == 4:
            components[-1]["texts"][name] = value.split(", ")
    return components


def check_package_folder(folder):
    """The program is one file that needs nothing beside it but Windows, and what the folder's
    contents require is in it: every helper program and what is compiled into the program has
    its notice, every licence a notice names has its text, and the readme opens in Notepad."""
    present = set(os.listdir(folder))
    fail_if([name for name in ("LICENSE", "THIRD-PARTY-NOTICES.txt", "README-ja.txt")
             if not os.path.isfile(os.path.join(folder, name))], f"missing from {folder}")
    fail_if(sorted(present - PACKAGE_FOLDER),
            f"{folder} holds more than the program, its notices and readme")
    fail_if([path for path in files_under(folder) if path.lower().endswith(".dll")],
            "libraries beside the program")
    pe = pefile.PE(os.path.join(folder, PROGRAM), fast_load=True)
    pe.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"]])
    fail_if([entry.dll.decode() for entry in pe.DIRECTORY_ENTRY_IMPORT
             if not WINDOWS_DLLS.fullmatch(entry.dll.decode())],
            f"{PROGRAM} imports libraries that do not come with Windows")
    with open(os.path.join(folder, "THIRD-PARTY-NOTICES.txt"), encoding="utf-8-sig") as notices:
        components = notice_components(notices.read())
    named = {f for c in components for f in c["files"]}
    shipped = {os.path.relpath(path, folder).replace(os.sep, "/") for path in files_under(folder)}
    fail_if(sorted({f for f in shipped if THIRD_PARTY.match(f) and f != PROGRAM} - named),
            "shipped without a notice")
    for c in components:
        for licence in set(re.findall(r"[^\s()]+", c["licence"])) - NOT_A_LICENCE_TEXT:
            paths = [os.path.join(folder, text) for text in c["texts"].get(licence, [])]
            if not paths or not all(os.path.isfile(p) and os.path.getsize(p) for p in paths):
                fail(f"the notice for {c['files']} names {licence}, whose text is missing")
    with open(os.path.join(folder, "README-ja.txt"), "rb") as readme:
        data = readme.read()
    if not data.startswith(b"\xef\xbb\xbf") or data.count(b"\n") != data.count(b"\r\n"):
        fail("README-ja.txt lacks its byte-order mark or CRLF line ends")
    if "THIRD-PARTY-NOTICES.txt" not in data.decode("utf-8"):
        fail("README-ja.txt does not point to the notices")
    print(f"{folder}: {len(components)} components, {len(shipped)} files")


def zip_carries_notices_readme_and_manifest(s):
    exe = s.unpack_zip()
    check_package_folder(os.path.dirname(exe))
    pe = pefile.PE(exe)
    manifests = [pe.get_data(language.data.struct.OffsetToData, language.data.struct.Size)
                 for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries
                 if kind.id == pefile.RESOURCE_TYPE["RT_MANIFEST"]
                 for entry in kind.directory.entries if entry.id == MANIFEST_ID
                 for language in entry.directory.entries]
    if len(manifests) != 1:
        fail(f"{len(manifests)} application manifests in {PROGRAM}")
    said = {element.tag.split("}")[1]: element.attrib | {None: (element.text or "").strip()}
            for element in ElementTree.fromstring(manifests[0]).iter()}
    fail_if([tag for tag, attr, value in MANIFEST if said.get(tag, {}).get(attr) != value],
            f"the manifest ({manifests[0].decode()}) is wrong about")


def installer_installs_runs_and_uninstalls_cleanly(s):
    start_menu = os.path.join(s.prefix, "drive_c", "ProgramData", "Microsoft", "Windows",
                              "Start Menu", "Programs", "Cipherloom")
    keys = [rf"HKLM\Software\{node}{key}" for node in ("", "Wow6432Node\\")
            for key in (r"Microsoft\Windows\CurrentVersion\Uninstall\Cipherloom",
                        "The Cipherloom developers")]

    def present_keys():
        return [k for k in keys if s.wine("reg", "query", k).returncode == 0]

    exe, uninstaller = s.install()
    if not os.path.isfile(os.path.join(start_menu, "Cipherloom.lnk")):
        fail(f"no Start-menu shortcut: {os.listdir(os.path.dirname(start_menu))}")
    entry = next((k for k in present_keys() if "Uninstall" in k), None)
    if not entry:
        fail("no entry in Apps & features")
    values = s.wine("reg", "query", entry).stdout
    fail_if([value for value in ("DisplayName", "DisplayIcon", "Publisher", "DisplayVersion")
             if not re.search(rf"^\s*{value}\s+REG_SZ\s+\S", values, re.M)],
            f"the uninstall entry ({values}) lacks")
    check_package_folder(s.install_dir)
    s.run_once(exe)

    # The uninstaller copies itself away and returns at once; wait for it to finish.
    s.wine(uninstaller, "/S")
    if not wait_until(lambda: not os.path.exists(s.install_dir)):
        fail(f"the uninstaller left {sorted(files_under(s.install_dir))}")
    if os.path.exists(start_menu):
        fail(f"the Start-menu folder is left: {os.listdir(start_menu)}")
    fail_if(present_keys(), "registry keys left")


def signed_program_runs_from_zip_and_installed(s):
    """A release signed with a test CA (tests/packaging/signing_round_trip.sh): the program in
    the zip, the installer and what it installs verify against the CA, and the program runs from
    the zip and installed."""
    with zipfile.ZipFile(s.args.zip) as archive:
        entry = next(i for i in archive.infolist() if i.filename.endswith("/" + PROGRAM))
    if not entry.external_attr >> 16 & 0o111:
        fail(f"the signed {PROGRAM} in the zip is not executable")
    exe = s.unpack_zip()
    s.run_once(exe)
    for path in (exe, s.args.setup, *s.install()):
        result = subprocess.run(["osslsigncode", "verify", "-in", path, "-CAfile", s.args.ca],
                                capture_output=True, text=True)
        if result.returncode != 0:
            fail(f"osslsigncode verify {path}: {result.stdout}{result.stderr}")
        print(f"{os.path.basename(path)} verifies against the test CA")
    s.run_once(os.path.join(s.install_dir, PROGRAM))
    s.wine(os.path.join(s.install_dir, "Uninstall.exe"), "/S")


SCENARIOS = {f.__name__: f for f in (
    window_has_its_size,
    enter_puts_eight_digits_on_clipboard_and_in_window,
    clipboard_offers_privacy_formats,
    bad_length_shows_message_box,
    exit_after_generate_clears_what_another_program_copied,
    exit_after_start_leaves_clipboard_alone,
    exit_empties_clipboard_held_open_by_another_program,
    exit_time_beside_bare_programs,
    zip_carries_notices_readme_and_manifest,
    installer_installs_runs_and_uninstalls_cleanly,
    libraries_beside_the_program_are_not_loaded,
    other_programs_of_the_user_cannot_read_the_program,
    signed_program_runs_from_zip_and_installed,
)}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--zip", required=True)
    parser.add_argument("--setup", required=True)
    # The helper programs; a scenario that needs one fails without it.
    for option in ("--probe", "--bare-qt", "--wine-path", "--planted", "--rights-probe", "--ca"):
        parser.add_argument(option)
    parser.add_argument("scenario", choices=SCENARIOS)
    args = parser.parse_args()
    if not os.environ.get("WINEPREFIX") or not os.environ.get("DISPLAY"):
        fail("no WINEPREFIX or DISPLAY: run through tests/wine/session.sh")
    session = Session(args)
    try:
        SCENARIOS[args.scenario](session)
    finally:
        session.close()
    print(f"PASS [{args.scenario}]")


if __name__ == "__main__":
    main()
