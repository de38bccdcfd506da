"""Checks the Linux package as a desktop sees it (pytest; the options are in conftest.py).

test_prepare builds the .deb and the .tar.gz with CPack, unpacks both and runs `cmake --install`
into a scratch prefix; the other groups read what it left in the work directory. CTest runs one
group per test (tests/packaging/CMakeLists.txt).
"""

import configparser
import gzip
import json
import os
import pathlib
import re
import shutil
import struct
import subprocess
import xml.etree.ElementTree as ET

import pytest

HICOLOR_SIZES = (16, 32, 48, 64, 128, 256)
WINDOW_ICON_SIZES = (16, 32)
SCREENSHOTS = ("main-window.png", "options-range.png")
XML_LANG = "{http://www.w3.org/XML/1998/namespace}lang"
WINDRES = "x86_64-w64-mingw32-windres"
MINGW_HEADERS = pathlib.Path("/usr/share/mingw-w64/include")


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, check=False, **kwargs)


class Context:
    def __init__(self, options):
        self.build_dir = pathlib.Path(options.build_dir)
        self.source_dir = pathlib.Path(options.source_dir)
        self.work = pathlib.Path(options.work)
        self.app_id = options.app_id
        self.version = options.project_version
        self.executable = options.executable
        self.packages = self.work / "packages"
        self.deb_root = self.work / "deb-root"
        self.tgz_root = self.work / "tgz-root"
        self.prefix = self.work / "prefix"

    def package(self, suffix):
        found = sorted(self.packages.glob(f"*{suffix}"))
        assert found, f"no {suffix} in {self.packages}"
        return found[0]

    def tgz_top(self):
        tops = list(self.tgz_root.iterdir()) if self.tgz_root.is_dir() else []
        assert len(tops) == 1, f"the .tar.gz should hold one folder, has {tops}"
        return tops[0]

    def installed(self, relative):
        path = self.deb_root / "usr" / relative
        assert path.is_file(), f"{path} missing"
        return path


@pytest.fixture(scope="session")
def ctx(request):
    return Context(request.config.option)


# Every install tree a user can get, by where its files live.
@pytest.fixture(params=["deb", "install", "tgz"],
                ids=["the .deb (/usr)", "cmake --install", "the .tar.gz"])
def root(request, ctx):
    if request.param == "tgz":
        return ctx.tgz_top()
    return ctx.deb_root / "usr" if request.param == "deb" else ctx.prefix


def files_under(root):
    return {str(p.relative_to(root)) for p in root.rglob("*") if p.is_file()}


def png_size(path):
    data = path.read_bytes()[:24] if path.is_file() else b""
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", data[16:24])


def output(result):
    return result.stdout + result.stderr


def test_prepare(ctx):
    shutil.rmtree(ctx.work, ignore_errors=True)
    ctx.packages.mkdir(parents=True)
    config = ctx.build_dir / "CPackConfig.cmake"
    assert config.exists(), f"{config} missing: configure the build first"
    result = run(["cpack", "--config", str(config), "-G", "DEB;TGZ", "-B", str(ctx.packages)],
                 cwd=ctx.build_dir)
    assert result.returncode == 0, "cpack failed:\n" + output(result)
    ctx.tgz_root.mkdir()
    for command in (["dpkg-deb", "-x", ctx.package(".deb"), ctx.deb_root],
                    ["tar", "-xzf", ctx.package(".tar.gz"), "-C", ctx.tgz_root],
                    ["cmake", "--install", ctx.build_dir, "--prefix", ctx.prefix]):
        result = run(command)
        assert result.returncode == 0, f"{' '.join(map(str, command))} failed: {result.stderr}"


# --- checks on the unpacked trees -------------------------------------------------------------

class TestLayout:
    def test_program_is_an_executable_that_does_not_look_into_the_build_tree(self, ctx, root):
        binary = root / "bin" / ctx.executable
        assert binary.is_file(), f"no bin/{ctx.executable}"
        assert os.access(binary, os.X_OK), f"{binary} is not executable"
        assert binary.read_bytes()[:4] == b"\x7fELF", f"{binary} not ELF"
        dynamic = run(["readelf", "-d", str(binary)]).stdout
        assert str(ctx.build_dir) not in dynamic and str(ctx.source_dir) not in dynamic, \
            "the binary's RUNPATH points into the build tree"

    def test_menu_entry_metainfo_docs_and_manual_are_there(self, ctx, root):
        names = (f"applications/{ctx.app_id}.desktop", f"metainfo/{ctx.app_id}.metainfo.xml",
                 f"doc/{ctx.executable}/copyright", f"doc/{ctx.executable}/changelog.Debian.gz",
                 f"man/man1/{ctx.executable}.1.gz")
        assert not [name for name in names if not (root / "share" / name).is_file()]

    def test_every_hicolor_icon_has_its_size(self, ctx, root):
        icons = {size: root / f"share/icons/hicolor/{size}x{size}/apps/{ctx.app_id}.png"
                 for size in HICOLOR_SIZES}
        wrong = {str(icon): png_size(icon) for size, icon in icons.items()
                 if png_size(icon) != (size, size)}
        assert not wrong, "missing (None) or of the wrong size"

    def test_nothing_outside_bin_and_share(self, root):
        assert not [f for f in files_under(root) if not re.match(r"(bin|share)/", f)]


class TestDesktopEntry:
    @pytest.fixture
    def path(self, ctx):
        return ctx.installed(f"share/applications/{ctx.app_id}.desktop")

    @pytest.fixture
    def entry(self, path):
        parser = configparser.ConfigParser(delimiters="=", interpolation=None)
        parser.optionxform = str  # keys are case-sensitive
        parser.read(path, encoding="utf-8")
        return parser["Desktop Entry"]

    def test_desktop_file_validate_accepts_it(self, path):
        result = run(["desktop-file-validate", str(path)])
        assert result.returncode == 0 and "error:" not in result.stdout, output(result)

    def test_it_starts_the_installed_program_with_the_installed_icons(self, ctx, entry):
        assert entry.get("Name") == "Cipherloom"
        assert entry.get("Exec", "").split()[:1] == [ctx.executable] and \
            (ctx.deb_root / "usr/bin" / ctx.executable).is_file(), \
            f"Exec {entry.get('Exec')!r} names no installed program"
        assert entry.get("Icon") == ctx.app_id, \
            "the Icon is not the application id, so the installed icons are not found"

    def test_menus_find_it_and_it_speaks_japanese(self, entry):
        assert {"Utility", "Security"} <= set(entry.get("Categories", "").split(";"))
        keys = ("Comment", "Comment[ja]", "Keywords", "Keywords[ja]")
        assert not [key for key in keys if not entry.get(key)], "missing or empty"
        assert re.search(r"[\u3040-\u30ff\u4e00-\u9fff]", entry["Comment[ja]"]), \
            "Comment[ja] has no Japanese text"


class TestMetainfo:
    @pytest.fixture
    def path(self, ctx):
        return ctx.installed(f"share/metainfo/{ctx.app_id}.metainfo.xml")

    @pytest.fixture
    def component(self, path):
        return ET.parse(path).getroot()

    # The whole tree too: the metainfo, its desktop entry and its icons must find each other.
    @pytest.mark.parametrize("command", ["validate", "validate-tree"])
    def test_appstreamcli_accepts_it(self, ctx, path, command):
        assert shutil.which("appstreamcli"), \
            "appstreamcli not installed (apt-get install appstream)"
        target = path if command == "validate" else ctx.deb_root
        result = run(["appstreamcli", command, "--no-net", "--no-color", str(target)])
        assert result.returncode == 0, output(result)

    def test_it_names_the_installed_entry_and_program(self, ctx, component):
        usr = ctx.deb_root / "usr"
        assert component.findtext("id") == ctx.app_id
        launchable = component.findtext("launchable")
        assert launchable == f"{ctx.app_id}.desktop" and \
            (usr / "share/applications" / (launchable or "")).is_file(), \
            "the launchable is not the installed desktop entry"
        binary = component.findtext("provides/binary")
        assert binary == ctx.executable and (usr / "bin" / (binary or "x")).is_file(), \
            "provides/binary is not the installed program"

    def test_newest_release_is_the_project_version(self, ctx, component):
        releases = component.findall("releases/release")
        assert releases and releases[0].get("version") == ctx.version

    @pytest.mark.parametrize("tag", ["summary", "description/p"])
    def test_it_speaks_japanese(self, component, tag):
        assert any(e.get(XML_LANG) == "ja" for e in component.findall(tag))

    @pytest.mark.parametrize("name", SCREENSHOTS)
    def test_its_screenshot_is_served_over_https(self, component, name):
        images = [e.text or "" for e in component.findall("screenshots/screenshot/image")]
        assert any(i.startswith("https://") and i.endswith("/" + name) for i in images), images


class TestControl:
    @pytest.fixture(scope="class")
    def fields(self, ctx):
        deb = ctx.package(".deb")
        fields = {name: run(["dpkg-deb", "-f", str(deb), name]).stdout.rstrip("\n")
                  for name in ("Package", "Version", "Architecture", "Section", "Maintainer",
                               "Depends", "Installed-Size", "Description")}
        print(f"Installed-Size: {fields['Installed-Size']} KiB ({deb.name})")
        return fields

    @pytest.fixture
    def depends(self, fields):
        return [alt.strip() for alt in fields["Depends"].split(",")]

    @pytest.fixture
    def names(self, depends):
        return [re.sub(r"\s*\(.*\)", "", d) for d in depends]

    def test_package_version_architecture_and_section(self, ctx, fields):
        arch = run(["dpkg", "--print-architecture"]).stdout.strip()
        seen = {key: fields[key] for key in ("Package", "Architecture", "Section")}
        seen["upstream Version"] = fields["Version"].split("-")[0]
        assert seen == {"Package": ctx.executable, "Architecture": arch, "Section": "utils",
                        "upstream Version": ctx.version}

    def test_maintainer_has_an_address(self, fields):
        assert re.fullmatch(r".+ <[^@<>\s]+@[^@<>\s]+>", fields["Maintainer"])

    def test_it_depends_on_qt_and_qt_s_japanese_messages(self, names):
        wanted = ("libqt6core6", "libqt6gui6", "libqt6widgets6", "qt6-qpa-plugins",
                  "qt6-translations-l10n")
        assert not [package for package in wanted if package not in names], names

    def test_it_depends_on_a_japanese_font_with_an_alternative(self, names):
        assert any("fonts-ipafont-gothic" in n and "|" in n for n in names), names

    # Qt's private API holds only for the Qt the program was built against, which provides it.
    def test_it_depends_on_the_qt_abi_it_was_built_against(self, depends):
        provides = run(["dpkg-query", "-W", "-f", "${Provides}", "libqt6core6"]).stdout
        abi = re.search(r"qt6-base-abi \(= [^)]+\)", provides)
        assert abi, f"the libqt6core6 built against provides no qt6-base-abi: {provides}"
        assert abi[0] in depends

    def test_description_has_an_extended_part_in_short_lines(self, fields):
        summary, *extended = fields["Description"].splitlines()
        assert summary and extended, "Description has no extended part"
        assert all(len(line) < 80 for line in extended), "Description lines too long"

    # The changelog's newest entry must be this package's version, or dpkg and lintian disagree.
    def test_changelog_starts_with_the_package_version(self, ctx, fields):
        changelog = ctx.installed(f"share/doc/{ctx.executable}/changelog.Debian.gz")
        first = gzip.decompress(changelog.read_bytes()).decode("utf-8").splitlines()[0]
        assert first.startswith(f"{ctx.executable} ({fields['Version']})")


def test_lintian_finds_no_error(ctx):
    if shutil.which("lintian") is None:
        pytest.skip("lintian not installed")
    result = run(["lintian", "--tag-display-limit", "0", str(ctx.package(".deb"))])
    print(result.stdout, end="")
    assert not [line for line in result.stdout.splitlines() if line.startswith("E:")]


# Its program, too, is checked with the other install trees (TestLayout).
class TestTarball:
    def test_its_folder_names_the_version(self, ctx):
        assert ctx.tgz_top().name.startswith(f"{ctx.executable}-{ctx.version}")

    def test_it_holds_what_the_deb_holds(self, ctx):
        in_deb, in_tgz = files_under(ctx.deb_root / "usr"), files_under(ctx.tgz_top())
        assert in_deb == in_tgz, f"only in .deb: {sorted(in_deb - in_tgz)}; " \
                                 f"only in .tar.gz: {sorted(in_tgz - in_deb)}"


class TestHardening:
    """The packaged program carries the hardening dpkg-buildflags asks for."""

    @pytest.fixture(scope="class")
    def report(self, ctx):
        assert shutil.which("hardening-check"), \
            "hardening-check not installed (apt-get install devscripts)"
        binary = ctx.deb_root / "usr/bin" / ctx.executable
        lines = run(["hardening-check", str(binary)]).stdout.splitlines()[1:]
        print("\n".join(lines))
        return dict(line.strip().split(": ", 1) for line in lines if ": " in line)

    @pytest.mark.parametrize("feature", ["Position Independent Executable", "Stack protected",
                                         "Read-only relocations", "Immediate binding"])
    def test_feature_is_on(self, report, feature):
        assert report.get(feature, "").startswith("yes"), f"{feature}: {report.get(feature)}"

    # Calls are fortified only where the compiler cannot prove the size; with none of those
    # hardening-check finds "only unprotected functions", so the compile commands decide.
    def test_sources_are_fortified(self, ctx, report):
        fortify = report.get("Fortify Source functions", "")
        if fortify.startswith("yes"):
            return
        commands = json.loads((ctx.build_dir / "compile_commands.json").read_text())
        without = [c["file"] for c in commands if "-D_FORTIFY_SOURCE=2" not in c["command"]]
        assert fortify.startswith("no, only unprotected") and not without, \
            f"Fortify Source functions: {fortify}; compiled without _FORTIFY_SOURCE: {without}"


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


def test_window_carries_the_small_icons(ctx):
    tools = ("Xvfb", "dbus-daemon", "xdotool", "xprop")
    assert not [tool for tool in tools if not shutil.which(tool)], "not installed"
    program = ctx.installed(f"bin/{ctx.executable}")
    env = dict(os.environ, PROGRAM=str(program), QT_QPA_PLATFORM="xcb")
    # An X server and a session of its own: without a bus, libdbus would start one in the real
    # home.
    session = ctx.source_dir / "tests/e2e/session.sh"
    result = run([str(session), "--x-server", "sh", "-c", WINDOW_ICON_SCRIPT], env=env,
                 timeout=180)
    assert result.returncode == 0, "no visible window titled Cipherloom:\n" + output(result)
    sizes = set(re.findall(r"Icon \((\d+) x (\d+)\)", result.stdout))
    assert {(str(size), str(size)) for size in WINDOW_ICON_SIZES} <= sizes, \
        "the window's _NET_WM_ICON lacks a small size"


# --- source-level checks, no package needed ---------------------------------------------------

class TestIconFiles:
    @pytest.fixture(scope="class")
    def ico_images(self, ctx):
        ico = (ctx.source_dir / "packaging/icons/cipherloom.ico").read_bytes()
        reserved, kind, count = struct.unpack_from("<HHH", ico)
        assert (reserved, kind) == (0, 1), "cipherloom.ico is not an icon file"
        images = {}
        for i in range(count):
            width, height, colours, _, _, bits, length, offset = struct.unpack_from(
                "<BBBBHHII", ico, 6 + 16 * i)
            assert offset + length <= len(ico), f"ico entry {i} runs past the file"
            images[(width or 256, height or 256)] = (colours, bits, ico[offset:offset + length])
        return images

    # The Windows icon must hold the 16 and 32 px images in 16 colours.
    @pytest.mark.parametrize("size", WINDOW_ICON_SIZES)
    def test_ico_holds_the_window_size_in_16_colours(self, ico_images, size):
        assert (size, size) in ico_images, f"cipherloom.ico has no {size}x{size} image"
        colours, bits, data = ico_images[(size, size)]
        header_bits, used = struct.unpack_from("<H", data, 14)[0], struct.unpack_from(
            "<I", data, 32)[0]
        assert (colours, bits, header_bits) == (16, 4, 4) and used in (0, 16), \
            f"not 16 colours (count {colours}, {bits}/{header_bits} bits)"

    def test_icns_is_an_icns_file(self, ctx):
        assert (ctx.source_dir / "packaging/icons/cipherloom.icns").read_bytes()[:4] == b"icns"


class TestWindowsResources:
    """Nothing here builds for Windows; a MinGW windres at least proves the .rc compiles."""

    @pytest.fixture(scope="class")
    def rc(self, ctx):
        if shutil.which(WINDRES) is None or not (MINGW_HEADERS / "windows.h").is_file():
            pytest.skip(f"{WINDRES} or the mingw-w64 headers missing")
        rc = ctx.build_dir / "packaging/cipherloom.rc"
        assert rc.is_file(), f"{rc} was not configured"
        return rc

    def test_rc_carries_the_product_name_and_version(self, ctx, rc):
        text = rc.read_text(encoding="utf-8")
        assert "@" not in text, "the .rc still holds unreplaced @VARIABLES@"
        assert f'VALUE "ProductVersion", "{ctx.version}"' in text and \
            'VALUE "ProductName", "Cipherloom"' in text

    def test_compiled_icon_holds_the_window_sizes_in_16_colours(self, rc):
        # windres wants a C preprocessor; the system cpp with the Windows defines stands in for
        # the cross compiler, which is not installed.
        defines = ["-xc", "-DRC_INVOKED", "-D_WIN32", "-D_WIN64", "-D__x86_64__"]
        result = run([WINDRES, "--preprocessor=cpp",
                      *[f"--preprocessor-arg={d}" for d in defines], f"-I{MINGW_HEADERS}",
                      str(rc), "-O", "rc"])
        assert result.returncode == 0, "windres: " + result.stderr
        # The icon group as windres prints it: "\ddd\ddd\ddd\000", planes, bits, ... in octal.
        groups = re.findall(r'"\\(\d{3})\\(\d{3})\\(\d{3})\\000", 1, (\d+),', result.stdout)
        icons = {(int(w, 8), int(c, 8), int(b)) for w, _, c, b in groups}
        assert {(size, 16, 4) for size in WINDOW_ICON_SIZES} <= icons


class TestRunScript:
    FAKE_EXIT = 3

    @pytest.fixture
    def scratch(self, ctx, tmp_path):
        """A build whose program only leaves a mark and exits with FAKE_EXIT."""
        fake = tmp_path / "build/app" / ctx.executable
        fake.parent.mkdir(parents=True)
        fake.write_text(f"#!/bin/sh\ntouch '{tmp_path / 'started'}'\nexit {self.FAKE_EXIT}\n")
        fake.chmod(0o755)
        return tmp_path

    @staticmethod
    def run_sh(ctx, scratch, extra):
        base = {k: v for k, v in os.environ.items()
                if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        result = run(["bash", str(ctx.source_dir / "scripts/run.sh"), str(scratch / "build")],
                     env=dict(base, **extra), stdin=subprocess.DEVNULL, timeout=60)
        return result.returncode, output(result).splitlines()

    @pytest.mark.parametrize("extra", [
        pytest.param({}, id="without DISPLAY or WAYLAND_DISPLAY it refuses in one line"),
        pytest.param({"DISPLAY": ""}, id="an empty DISPLAY counts as no display"),
        pytest.param({"QT_QPA_PLATFORM": "xcb"}, id="asking Qt for xcb still needs a display"),
    ])
    def test_without_a_display_it_names_the_screenshot_script(self, ctx, scratch, extra):
        status, lines = self.run_sh(ctx, scratch, extra)
        assert not (scratch / "started").exists(), "the program was started"
        assert status != 0
        assert len(lines) == 1 and "scripts/screenshots.sh" in lines[0] \
            and "desktop session" in lines[0], "expected one line naming the screenshot script"

    @pytest.mark.parametrize("extra", [
        pytest.param({"DISPLAY": ":0"}, id="an X11 display starts the program"),
        pytest.param({"WAYLAND_DISPLAY": "wayland-0"},
                     id="a Wayland display alone starts the program"),
        pytest.param({"QT_QPA_PLATFORM": "offscreen"},
                     id="the offscreen platform needs no display"),
    ])
    def test_with_a_display_it_starts_the_program_and_keeps_its_exit_code(self, ctx, scratch,
                                                                         extra):
        status, lines = self.run_sh(ctx, scratch, extra)
        assert (scratch / "started").exists() and status == self.FAKE_EXIT, lines

    def test_a_missing_program_gives_one_line_on_how_to_build_it(self, ctx, scratch):
        (scratch / "build/app" / ctx.executable).unlink()
        status, lines = self.run_sh(ctx, scratch, {"DISPLAY": ":0"})
        assert status != 0 and len(lines) == 1 and "build" in lines[0]
