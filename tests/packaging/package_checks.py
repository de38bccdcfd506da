#!/usr/bin/env python3
"""Checks the Linux package as a desktop sees it.

"prepare" builds the .deb and the .tar.gz with CPack, unpacks both and runs `cmake --install`
into a scratch prefix; the other checks read what it left in the work directory.
Exit codes: 0 passed, 1 failed, 77 skipped (a tool that is optional is missing).
"""

import argparse
import gzip
import json
import os
import pathlib
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

SKIP = 77
HICOLOR_SIZES = (16, 32, 48, 64, 128, 256)
WINDOW_ICON_SIZES = (16, 32)
SCREENSHOTS = ("main-window.png", "options-range.png")
XML_LANG = "{http://www.w3.org/XML/1998/namespace}lang"


class Failures:
    """Collects every failed expectation of one check, so one run reports them all."""

    def __init__(self):
        self.messages = []

    def expect(self, condition, message):
        if not condition:
            self.messages.append(message)
        return condition

    def finish(self, name):
        for message in self.messages:
            print(f"FAIL {name}: {message}")
        if not self.messages:
            print(f"ok {name}")
        return 1 if self.messages else 0


def run(command, **kwargs):
    kwargs.setdefault("capture_output", True)
    kwargs.setdefault("text", True)
    return subprocess.run(command, check=False, **kwargs)


class Context:
    def __init__(self, args):
        self.build_dir = pathlib.Path(args.build_dir)
        self.source_dir = pathlib.Path(args.source_dir)
        self.work = pathlib.Path(args.work)
        self.app_id = args.app_id
        self.version = args.version
        self.executable = args.executable
        self.packages = self.work / "packages"
        self.deb_root = self.work / "deb-root"
        self.tgz_root = self.work / "tgz-root"
        self.prefix = self.work / "prefix"

    def deb(self):
        found = sorted(self.packages.glob("*.deb"))
        return found[0] if found else None

    def tgz(self):
        found = sorted(self.packages.glob("*.tar.gz"))
        return found[0] if found else None

    def roots(self):
        """Every install tree a user can get, by where its files live."""
        return {"the .deb (/usr)": self.deb_root / "usr",
                "cmake --install": self.prefix}


def png_size(path):
    data = path.read_bytes()[:24]
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", data[16:24])


def read_desktop_entry(path):
    entry, group = {}, None
    for line in path.read_text(encoding="utf-8").splitlines():
        if line.startswith("["):
            group = line.strip("[]")
        elif "=" in line and group == "Desktop Entry":
            key, value = line.split("=", 1)
            entry[key.strip()] = value.strip()
    return entry


# --- prepare ----------------------------------------------------------------------------------

def prepare(ctx, failures):
    shutil.rmtree(ctx.work, ignore_errors=True)
    ctx.packages.mkdir(parents=True)
    config = ctx.build_dir / "CPackConfig.cmake"
    if not failures.expect(config.exists(), f"{config} missing: configure the build first"):
        return
    result = run(["cpack", "--config", str(config), "-G", "DEB;TGZ", "-B", str(ctx.packages)],
                 cwd=ctx.build_dir)
    if not failures.expect(result.returncode == 0, "cpack failed:\n" + result.stdout
                           + result.stderr):
        return
    deb, tgz = ctx.deb(), ctx.tgz()
    if failures.expect(deb is not None, "cpack wrote no .deb"):
        result = run(["dpkg-deb", "-x", str(deb), str(ctx.deb_root)])
        failures.expect(result.returncode == 0, "dpkg-deb -x failed: " + result.stderr)
    if failures.expect(tgz is not None, "cpack wrote no .tar.gz"):
        ctx.tgz_root.mkdir()
        result = run(["tar", "-xzf", str(tgz), "-C", str(ctx.tgz_root)])
        failures.expect(result.returncode == 0, "tar -xzf failed: " + result.stderr)
    result = run(["cmake", "--install", str(ctx.build_dir), "--prefix", str(ctx.prefix)])
    failures.expect(result.returncode == 0, "cmake --install failed: " + result.stderr)


# --- checks on the unpacked trees -------------------------------------------------------------

def layout(ctx, failures):
    for where, root in ctx.roots().items():
        binary = root / "bin" / ctx.executable
        if failures.expect(binary.is_file(), f"{where}: no bin/{ctx.executable}"):
            failures.expect(os.access(binary, os.X_OK), f"{where}: {binary} is not executable")
            failures.expect(binary.read_bytes()[:4] == b"\x7fELF", f"{where}: {binary} not ELF")
            dynamic = run(["readelf", "-d", str(binary)]).stdout
            failures.expect(str(ctx.build_dir) not in dynamic and str(ctx.source_dir)
                            not in dynamic, f"{where}: the binary's RUNPATH points into the "
                            "build tree")
        share = root / "share"
        for name in (f"applications/{ctx.app_id}.desktop", f"metainfo/{ctx.app_id}.metainfo.xml",
                     f"doc/{ctx.executable}/copyright",
                     f"doc/{ctx.executable}/changelog.Debian.gz",
                     f"man/man1/{ctx.executable}.1.gz"):
            failures.expect((share / name).is_file(), f"{where}: share/{name} missing")
        for size in HICOLOR_SIZES:
            icon = share / f"icons/hicolor/{size}x{size}/apps/{ctx.app_id}.png"
            if failures.expect(icon.is_file(), f"{where}: no {size}x{size} icon at {icon}"):
                failures.expect(png_size(icon) == (size, size),
                                f"{where}: {icon} is {png_size(icon)}, not {size}x{size}")
        stray = [p for p in root.rglob("*") if p.is_file()
                 and not re.match(r"(bin|share)/", str(p.relative_to(root)))]
        failures.expect(not stray, f"{where}: files outside bin/ and share/: {stray}")


def desktop_entry(ctx, failures):
    path = ctx.deb_root / f"usr/share/applications/{ctx.app_id}.desktop"
    if not failures.expect(path.is_file(), f"{path} missing"):
        return
    result = run(["desktop-file-validate", str(path)])
    failures.expect(result.returncode == 0 and "error:" not in result.stdout,
                    "desktop-file-validate: " + result.stdout + result.stderr)
    entry = read_desktop_entry(path)
    failures.expect(entry.get("Name") == "Cipherloom", f"Name is {entry.get('Name')!r}")
    command = entry.get("Exec", "").split()
    failures.expect(command[:1] == [ctx.executable] and (ctx.deb_root / "usr/bin" /
                    ctx.executable).is_file(), f"Exec {entry.get('Exec')!r} names no installed "
                    "program")
    failures.expect(entry.get("Icon") == ctx.app_id, f"Icon {entry.get('Icon')!r} is not the "
                    f"application id {ctx.app_id}, so the installed icons are not found")
    categories = entry.get("Categories", "").split(";")
    failures.expect({"Utility", "Security"} <= set(categories), f"Categories {categories}")
    for key in ("Comment", "Comment[ja]", "Keywords", "Keywords[ja]"):
        failures.expect(entry.get(key), f"{key} missing or empty")
    failures.expect(re.search(r"[\u3040-\u30ff\u4e00-\u9fff]", entry.get("Comment[ja]", "")),
                    "Comment[ja] has no Japanese text")


def metainfo(ctx, failures):
    root = ctx.deb_root / "usr"
    path = root / f"share/metainfo/{ctx.app_id}.metainfo.xml"
    if not failures.expect(path.is_file(), f"{path} missing"):
        return
    if shutil.which("appstreamcli") is None:
        failures.expect(False, "appstreamcli not installed (apt-get install appstream)")
        return
    result = run(["appstreamcli", "validate", "--no-net", "--no-color", str(path)])
    failures.expect(result.returncode == 0, "appstreamcli validate: " + result.stdout
                    + result.stderr)
    # The whole tree: the metainfo, its desktop entry and its icons must find each other.
    result = run(["appstreamcli", "validate-tree", "--no-net", "--no-color", str(ctx.deb_root)])
    failures.expect(result.returncode == 0, "appstreamcli validate-tree: " + result.stdout
                    + result.stderr)

    component = ET.parse(path).getroot()
    failures.expect(component.findtext("id") == ctx.app_id,
                    f"component id {component.findtext('id')!r} is not {ctx.app_id}")
    launchable = component.findtext("launchable")
    failures.expect(launchable == f"{ctx.app_id}.desktop" and
                    (root / "share/applications" / (launchable or "")).is_file(),
                    f"launchable {launchable!r} is not the installed desktop entry")
    binary = component.findtext("provides/binary")
    failures.expect(binary == ctx.executable and (root / "bin" / (binary or "x")).is_file(),
                    f"provides/binary {binary!r} is not the installed program")
    releases = component.findall("releases/release")
    failures.expect(releases and releases[0].get("version") == ctx.version,
                    f"newest release is {releases[0].get('version') if releases else None!r}, "
                    f"the project is {ctx.version}")
    for tag in ("summary", "description/p"):
        failures.expect(any(e.get(XML_LANG) == "ja" for e in component.findall(tag)),
                        f"no Japanese {tag}")
    images = [e.text or "" for e in component.findall("screenshots/screenshot/image")]
    for name in SCREENSHOTS:
        failures.expect(any(i.startswith("https://") and i.endswith("/" + name)
                            for i in images), f"no https screenshot {name} in {images}")


def control(ctx, failures):
    deb = ctx.deb()
    if not failures.expect(deb is not None, "no .deb"):
        return
    fields = {}
    for name in ("Package", "Version", "Architecture", "Section", "Maintainer", "Depends",
                 "Installed-Size", "Description"):
        fields[name] = run(["dpkg-deb", "-f", str(deb), name]).stdout.rstrip("\n")
    print(f"Installed-Size: {fields['Installed-Size']} KiB ({deb.name})")
    failures.expect(fields["Package"] == ctx.executable, f"Package is {fields['Package']!r}")
    failures.expect(fields["Version"].split("-")[0] == ctx.version,
                    f"Version {fields['Version']!r} does not carry the project's {ctx.version}")
    arch = run(["dpkg", "--print-architecture"]).stdout.strip()
    failures.expect(fields["Architecture"] == arch, f"Architecture {fields['Architecture']!r}")
    failures.expect(fields["Section"] == "utils", f"Section {fields['Section']!r}")
    failures.expect(re.fullmatch(r".+ <[^@<>\s]+@[^@<>\s]+>", fields["Maintainer"]),
                    f"Maintainer {fields['Maintainer']!r} has no address")
    depends = [alt.strip() for alt in fields["Depends"].split(",")]
    names = [re.sub(r"\s*\(.*\)", "", d) for d in depends]
    for package in ("libqt6core6", "libqt6gui6", "libqt6widgets6", "qt6-qpa-plugins"):
        failures.expect(package in names, f"Depends lacks {package}: {fields['Depends']}")
    failures.expect(any("fonts-ipafont-gothic" in n and "|" in n for n in names),
                    f"Depends lacks a Japanese font with an alternative: {fields['Depends']}")
    # Qt's private API holds only for the Qt the program was built against, which provides it.
    provides = run(["dpkg-query", "-W", "-f", "${Provides}", "libqt6core6"]).stdout
    abi = re.search(r"qt6-base-abi \(= [^)]+\)", provides)
    failures.expect(abi and abi[0] in depends, f"Depends lacks {abi[0] if abi else 'qt6-base-abi'}"
                    f", which the libqt6core6 built against provides: {fields['Depends']}")
    failures.expect("qt6-translations-l10n" in names,
                    f"Depends lacks qt6-translations-l10n, Qt's Japanese messages: {depends}")
    summary, *extended = fields["Description"].splitlines()
    failures.expect(summary and extended, "Description has no extended part")
    failures.expect(all(len(line) < 80 for line in extended), "Description lines too long")

    # The changelog's newest entry must be this package's version, or dpkg and lintian disagree.
    changelog = ctx.deb_root / f"usr/share/doc/{ctx.executable}/changelog.Debian.gz"
    if failures.expect(changelog.is_file(), "changelog.Debian.gz missing"):
        first = gzip.decompress(changelog.read_bytes()).decode("utf-8").splitlines()[0]
        failures.expect(first.startswith(f"{ctx.executable} ({fields['Version']})"),
                        f"changelog starts {first!r}, package version is {fields['Version']}")


def lintian(ctx, failures):
    if shutil.which("lintian") is None:
        print("lintian not installed: skipped")
        return SKIP
    deb = ctx.deb()
    if not failures.expect(deb is not None, "no .deb"):
        return None
    result = run(["lintian", "--tag-display-limit", "0", str(deb)])
    print(result.stdout, end="")
    errors = [line for line in result.stdout.splitlines() if line.startswith("E:")]
    failures.expect(not errors, f"{len(errors)} lintian error(s)")
    return None


def tarball(ctx, failures):
    tops = list(ctx.tgz_root.iterdir()) if ctx.tgz_root.is_dir() else []
    if not failures.expect(len(tops) == 1, f"the .tar.gz should hold one folder, has {tops}"):
        return
    top = tops[0]
    failures.expect(top.name.startswith(f"{ctx.executable}-{ctx.version}"),
                    f"the .tar.gz folder {top.name} does not name the version {ctx.version}")

    def files(root):
        return {str(p.relative_to(root)) for p in root.rglob("*") if p.is_file()}

    in_deb, in_tgz = files(ctx.deb_root / "usr"), files(top)
    failures.expect(in_deb == in_tgz, f"only in .deb: {sorted(in_deb - in_tgz)}; "
                    f"only in .tar.gz: {sorted(in_tgz - in_deb)}")
    binary = top / "bin" / ctx.executable
    failures.expect(binary.is_file() and os.access(binary, os.X_OK),
                    "the .tar.gz program is missing or not executable")


def hardening(ctx, failures):
    """The packaged program carries the hardening dpkg-buildflags asks for."""
    if not failures.expect(shutil.which("hardening-check"),
                           "hardening-check not installed (apt-get install devscripts)"):
        return
    binary = ctx.deb_root / "usr/bin" / ctx.executable
    lines = run(["hardening-check", str(binary)]).stdout.splitlines()[1:]
    report = dict(line.strip().split(": ", 1) for line in lines if ": " in line)
    print("\n".join(lines))
    for feature in ("Position Independent Executable", "Stack protected",
                    "Read-only relocations", "Immediate binding"):
        failures.expect(report.get(feature, "").startswith("yes"), f"{feature}: "
                        f"{report.get(feature)}")
    # Calls are fortified only where the compiler cannot prove the size; with none of those
    # hardening-check finds "only unprotected functions", so the compile commands decide.
    fortify = report.get("Fortify Source functions", "")
    if not fortify.startswith("yes"):
        commands = json.loads((ctx.build_dir / "compile_commands.json").read_text())
        without = [c["file"] for c in commands if "-D_FORTIFY_SOURCE=2" not in c["command"]]
        failures.expect(fortify.startswith("no, only unprotected") and not without,
                        f"Fortify Source functions: {fortify}; compiled without "
                        f"_FORTIFY_SOURCE: {without}")


# The packaged program on a real X server: its window must carry the icon in the small sizes the
# task bar and title bar use. Guards with timeout so a stuck start fails instead of hanging.
WINDOW_ICON_SCRIPT = r"""
"$PROGRAM" & pid=$!
wid=$(timeout 60 xdotool search --sync --onlyvisible --name '^Cipherloom$' | head -n 1)
if [ -n "$wid" ]; then
    xprop -id "$wid" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | sort -u
fi
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
[ -n "$wid" ]
"""


def window_icon(ctx, failures):
    for tool in ("Xvfb", "dbus-daemon", "xdotool", "xprop"):
        if not failures.expect(shutil.which(tool), f"{tool} not installed"):
            return
    program = ctx.deb_root / "usr/bin" / ctx.executable
    if not failures.expect(program.is_file(), f"{program} missing"):
        return
    env = dict(os.environ, PROGRAM=str(program), QT_QPA_PLATFORM="xcb")
    # An X server and a session of its own: without a bus, libdbus would start one in the real
    # home.
    session = ctx.source_dir / "tests/e2e/session.sh"
    result = run([str(session), "--x-server", "sh", "-c", WINDOW_ICON_SCRIPT], env=env,
                 timeout=180)
    if not failures.expect(result.returncode == 0, "no visible window titled Cipherloom:\n"
                           + result.stdout + result.stderr):
        return
    sizes = set(re.findall(r"Icon \((\d+) x (\d+)\)", result.stdout))
    for size in WINDOW_ICON_SIZES:
        failures.expect((str(size), str(size)) in sizes,
                        f"the window's _NET_WM_ICON has no {size}x{size} image: {sorted(sizes)}")


# --- source-level checks, no package needed ---------------------------------------------------

def icon_files(ctx, failures):
    """The Windows icon must hold the 16 and 32 px images in 16 colours."""
    icons = ctx.source_dir / "packaging/icons"
    ico = (icons / "cipherloom.ico").read_bytes()
    reserved, kind, count = struct.unpack_from("<HHH", ico)
    if not failures.expect((reserved, kind) == (0, 1), "cipherloom.ico is not an icon file"):
        return
    entries = {}
    for i in range(count):
        width, height, colours, _, _, bits, length, offset = struct.unpack_from(
            "<BBBBHHII", ico, 6 + 16 * i)
        failures.expect(offset + length <= len(ico), f"ico entry {i} runs past the file")
        entries[(width or 256, height or 256)] = (colours, bits, ico[offset:offset + length])
    for size in WINDOW_ICON_SIZES:
        entry = entries.get((size, size))
        if not failures.expect(entry, f"cipherloom.ico has no {size}x{size} image"):
            continue
        colours, bits, data = entry
        header_bits, used = struct.unpack_from("<H", data, 14)[0], struct.unpack_from(
            "<I", data, 32)[0]
        failures.expect((colours, bits, header_bits) == (16, 4, 4) and used in (0, 16),
                        f"the {size}x{size} image is not 16 colours (count {colours}, "
                        f"{bits}/{header_bits} bits)")
    failures.expect((icons / "cipherloom.icns").read_bytes()[:4] == b"icns",
                    "cipherloom.icns is not an icns file")


def windows_resources(ctx, failures):
    """Nothing here builds for Windows; a MinGW windres at least proves the .rc compiles."""
    windres = shutil.which("x86_64-w64-mingw32-windres")
    headers = pathlib.Path("/usr/share/mingw-w64/include")
    if windres is None or not (headers / "windows.h").is_file():
        print("x86_64-w64-mingw32-windres or the mingw-w64 headers missing: skipped")
        return SKIP
    rc = ctx.build_dir / "packaging/cipherloom.rc"
    if not failures.expect(rc.is_file(), f"{rc} was not configured"):
        return None
    text = rc.read_text(encoding="utf-8")
    failures.expect("@" not in text, "the .rc still holds unreplaced @VARIABLES@")
    failures.expect(f'VALUE "ProductVersion", "{ctx.version}"' in text and
                    'VALUE "ProductName", "Cipherloom"' in text,
                    "the .rc lacks the product name or the project's version")
    # windres wants a C preprocessor; the system cpp with the Windows defines stands in for
    # the cross compiler, which is not installed.
    defines = ["-xc", "-DRC_INVOKED", "-D_WIN32", "-D_WIN64", "-D__x86_64__"]
    command = [windres, "--preprocessor=cpp", *[f"--preprocessor-arg={d}" for d in defines],
               f"-I{headers}", str(rc), "-O", "rc"]
    result = run(command)
    if not failures.expect(result.returncode == 0, "windres: " + result.stderr):
        return None
    # The icon group as windres prints it: "\ddd\ddd\ddd\000", planes, bits, ... in octal.
    groups = re.findall(r'"\\(\d{3})\\(\d{3})\\(\d{3})\\000", 1, (\d+),', result.stdout)
    icons = {(int(w, 8), int(c, 8), int(b)) for w, _, c, b in groups}
    for size in WINDOW_ICON_SIZES:
        failures.expect((size, 16, 4) in icons,
                        f"the compiled icon has no {size}x{size} 16-colour image: {icons}")
    return None


RUN_SCRIPT_ROWS = [
    # (sentence, environment, whether the program starts)
    ("without DISPLAY or WAYLAND_DISPLAY it refuses in one line", {}, False),
    ("an empty DISPLAY counts as no display", {"DISPLAY": ""}, False),
    ("asking Qt for xcb still needs a display", {"QT_QPA_PLATFORM": "xcb"}, False),
    ("an X11 display starts the program", {"DISPLAY": ":0"}, True),
    ("a Wayland display alone starts the program", {"WAYLAND_DISPLAY": "wayland-0"}, True),
    ("the offscreen platform needs no display", {"QT_QPA_PLATFORM": "offscreen"}, True),
]
FAKE_EXIT = 3


def run_script(ctx, failures):
    script = ctx.source_dir / "scripts/run.sh"
    with tempfile.TemporaryDirectory() as scratch:
        scratch = pathlib.Path(scratch)
        marker = scratch / "started"
        fake = scratch / "build/app" / ctx.executable
        fake.parent.mkdir(parents=True)
        fake.write_text(f"#!/bin/sh\ntouch '{marker}'\nexit {FAKE_EXIT}\n")
        fake.chmod(0o755)
        base = {k: v for k, v in os.environ.items()
                if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}

        for sentence, extra, starts in RUN_SCRIPT_ROWS:
            marker.unlink(missing_ok=True)
            result = run(["bash", str(script), str(scratch / "build")], env=dict(base, **extra),
                         stdin=subprocess.DEVNULL, timeout=60)
            output = (result.stdout + result.stderr).splitlines()
            if starts:
                failures.expect(marker.exists() and result.returncode == FAKE_EXIT,
                                f"{sentence}: program not started or its exit code lost "
                                f"(rc {result.returncode}, {output})")
            else:
                failures.expect(not marker.exists(), f"{sentence}: the program was started")
                failures.expect(result.returncode != 0, f"{sentence}: exit code 0")
                failures.expect(len(output) == 1 and "scripts/screenshots.sh" in output[0]
                                and "desktop session" in output[0],
                                f"{sentence}: expected one line naming the screenshot script, "
                                f"got {output}")

        fake.unlink()
        result = run(["bash", str(script), str(scratch / "build")], env=dict(base, DISPLAY=":0"),
                     stdin=subprocess.DEVNULL, timeout=60)
        output = (result.stdout + result.stderr).splitlines()
        failures.expect(result.returncode != 0 and len(output) == 1 and "build" in output[0],
                        f"a missing program should give one line on how to build it: {output}")


CHECKS = {
    "prepare": prepare,
    "layout": layout,
    "desktop_entry": desktop_entry,
    "metainfo": metainfo,
    "control": control,
    "lintian": lintian,
    "hardening": hardening,
    "tarball": tarball,
    "window_icon": window_icon,
    "icon_files": icon_files,
    "windows_resources": windows_resources,
    "run_script": run_script,
}


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--app-id", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--executable", default="cipherloom")
    parser.add_argument("check", choices=sorted(CHECKS))
    args = parser.parse_args()
    failures = Failures()
    status = CHECKS[args.check](Context(args), failures)
    if status == SKIP:
        return SKIP
    return failures.finish(args.check)


if __name__ == "__main__":
    sys.exit(main())
