#!/usr/bin/python3
"""Writes what the Windows packages owe the software they carry: THIRD-PARTY-NOTICES.txt, the
licence texts in licenses/ and inventory.json, all read from the build machine (the Qt toolchain's
records and dpkg's); see docs/packaging.md. --file PACKAGED=PATH is a shipped file, --compiled one
linked into the program, --crt the MinGW runtime's start-up object."""
import argparse
import collections
import json
import pathlib
import posixpath
import re
import shutil
import subprocess
import sys
import textwrap
import types

import license_expression
from debian.copyright import Copyright, NotMachineReadableError

PUBLIC_DOMAIN = "LicenseRef-public-domain"
WIDTH = 96
# Sentences a licence asks the documentation to carry.
CREDITS = {"FTL": "Portions of this software are copyright © {year} The FreeType Project "
                  "(www.freetype.org). All rights reserved."}
COMMON_LICENSES = pathlib.Path("/usr/share/common-licenses")
LICENSING = license_expression.Licensing()
# Debian's short licence names (copyright-format 1.0) where they differ from SPDX.
DEBIAN_NAMES = {
    "expat": "MIT", "zlib": "Zlib", "isc": "ISC", "zpl-2.1": "ZPL-2.1", "mpl-2.0": "MPL-2.0",
    "apache-2.0": "Apache-2.0", "bsd-2-clause": "BSD-2-Clause", "bsd-3-clause": "BSD-3-Clause",
    "cc0-1.0": "CC0-1.0", "public-domain": PUBLIC_DOMAIN,
    "qt-1.0-exception": "Qt-GPL-exception-1.0",
}
# Copyright files that are not machine-readable: the licence their prose states.
PROSE_LICENCES = {"gcc-mingw-w64": "GPL-3.0-or-later WITH GCC-exception-3.1"}
# What each file from Debian is, and the folders of its upstream source that pick the stanzas of
# its copyright file (none: the "Files: *" stanza).
PIECES = {
    "libstdc++-6.dll": ("GCC C++ runtime library (libstdc++)", []),
    "libgcc_s_seh-1.dll": ("GCC runtime library (libgcc)", []),
    "libwinpthread-1.dll": ("MinGW-w64 winpthreads", ["mingw-w64-libraries/winpthreads/"]),
    "libstdc++.a": ("GCC C++ runtime library (libstdc++)", []),
    "libgcc.a": ("GCC runtime library (libgcc)", []),
    "libgcc_eh.a": ("GCC runtime library, exception handling (libgcc_eh)", []),
    "libwinpthread.a": ("MinGW-w64 winpthreads", ["mingw-w64-libraries/winpthreads/"]),
    "qtbase_ja.qm": ("Qt translations: Japanese messages of Qt Base", []),
    "Uninstall.exe": ("NSIS uninstaller (installer only)", ["Source/exehead/", "Source/7zip/"]),
    "crt": ("MinGW-w64 C runtime start-up and support code", ["mingw-w64-crt/"]),
}
# Platforms and processors other than 64-bit Windows, as attribution records name them.
FOREIGN = re.compile(r"\b(macOS|iOS|Android|WebAssembly|Unix|Linux|XCB|Wayland|QNX|ARM|NEON)\b")
# Bundled libraries whose folder in Qt's source is not the name config.summary gives them.
SUMMARY_ALIASES = {"harfbuzzng": "harfbuzz", "blake2": "b2"}


def fail(message):
    sys.exit(f"third_party.py: {message}")


def unit(name):
    """A Qt library or plugin by its name alone, DLL or static: Qt6Gui.dll, libQt6Gui.a: qt6gui."""
    return re.sub(r"^lib|\.(dll|a)$", "", pathlib.PurePath(name).name.lower())


def key(text):
    return re.sub(r"[^a-z0-9]", "", text.lower().removeprefix("qt "))


def library_key(text):
    normal = key(text).removeprefix("lib")
    return SUMMARY_ALIASES.get(normal, normal)


def upstream_version(version):
    return re.sub(r"^\d+:|[+~-].*$", "", version)


def spdx_id(key, debian):
    """One licence name as an SPDX identifier: names that are none ("ICC License") become a
    LicenseRef-, and so do Debian's own names ("Lucent") but those it shares with SPDX."""
    words = key.split()
    word = "-".join(words)
    gnu = re.fullmatch(r"L?GPL-\d(\.\d)?\+?", word)
    if debian and not gnu:
        word = DEBIAN_NAMES.get(word.lower(), "LicenseRef-" + word)
    if len(words) > 1 or not re.fullmatch(r"[A-Za-z0-9.+-]+", word):
        word = "LicenseRef-" + re.sub(r"[^A-Za-z0-9.-]+", "-", word).strip("-")
    if gnu:  # SPDX's deprecated GPL-2.0 or Debian's GPL-3+
        base = word.rstrip("+")
        base += "" if "." in base else ".0"
        word = base + ("-or-later" if word.endswith("+") else "-only")
    if word.lower() in ("licenseref-public-domain", "public-domain"):
        word = PUBLIC_DOMAIN
    return word


def spdx(expression, debian=False):
    """An SPDX expression from an attribution's LicenseId or a Debian licence field."""
    expression = re.sub(r"\bwith (\S+) exception\b", r"WITH \1-exception", expression, flags=re.I)
    if debian and "," in expression:  # Debian's comma binds loosest: "A or B, and C"
        first, *rest = expression.split(",")
        expression = f"({first})" + "".join(
            re.sub(r"^\s*(and|or)\s+(.*)", r" \1 (\2)", part, flags=re.I) for part in rest)
    # Characters no licence key may hold (MIT/X11) become a hyphen, as in a LicenseRef-.
    parsed = LICENSING.parse(re.sub(r"[^-:\w\s.+()]", "-", expression))
    template = types.SimpleNamespace(format=lambda symbol: spdx_id(symbol.key, debian))
    return "" if parsed is None else parsed.render(template)


def join_and(expressions):
    unique = list(dict.fromkeys(expressions))
    if len(unique) == 1:
        return unique[0]
    return " AND ".join(f"({e})" if " OR " in e else e for e in unique)


def run(*argv):
    return subprocess.run(argv, capture_output=True, text=True, check=True).stdout


def debian_package(path):
    """The installed Debian package a file belongs to, with its versions and copyright file."""
    try:
        owner = run("dpkg-query", "-S", str(pathlib.Path(path).resolve())).split(":", 1)[0]
    except subprocess.CalledProcessError:
        fail(f"{path} belongs to no Debian package: cannot tell its licence")
    fields = ("Package", "Version", "source:Package", "source:Version", "Homepage", "Built-Using")
    values = run("dpkg-query", "-W", "-f", "\t".join(f"${{{f}}}" for f in fields), owner)
    info = dict(zip(fields, values.split("\t")), copyright=copyright_file(owner))
    if not info["copyright"].is_file():
        fail(f"{info['copyright']} is missing")
    return info


def copyright_file(package):
    return pathlib.Path("/usr/share/doc", package, "copyright")


def source_package_copyright(source):
    """The copyright file of any installed binary package built from a source package."""
    listing = run("dpkg-query", "-W", "-f", "${Package}\t${source:Package}\t${db:Status-Abbrev}\n")
    for package, origin, status in sorted(line.split("\t") for line in listing.splitlines()):
        if origin == source and status.startswith("ii") and copyright_file(package).is_file():
            return copyright_file(package)
    fail(f"no package built from {source} is installed: its copyright file is needed")


def read_dep5(path):
    """A machine-readable copyright file, or None for one in prose."""
    try:
        with open(path, encoding="utf-8") as text:
            return Copyright(text, strict=False)
    except NotMachineReadableError:
        return None


def dep5_terms(copyright, parts):
    """Licence and copyright lines of the stanzas that cover the given source folders."""
    chosen = []
    for part in parts or [""]:
        chosen += filter(None, [copyright.find_files_paragraph(part + "x")])
        chosen += [s for s in copyright.all_files_paragraphs() if part and any(
            pattern.startswith(part) and "test" not in pattern for pattern in s.files)]
    licence = join_and(spdx(s.license.synopsis, debian=True) for s in chosen)
    lines = [line.strip() for s in chosen for line in s.copyright.splitlines()]
    return licence, [line if re.match(r"(?i)copyright|\(c\)|©", line) else f"Copyright (c) {line}"
                     for line in dict.fromkeys(lines) if line and line != "public-domain"]


def prose_copyright(path):
    """The first "Copyright (C) years holder." sentence of a copyright file in prose."""
    match = re.search(r"Copyright \(C\) ([\d,\s]+?)\s*([A-Z][^.]*\.)", path.read_text())
    if not match:
        fail(f"{path} states no copyright")
    years = sorted(int(y) for y in re.findall(r"\d{4}", match.group(1)))
    span = f"{years[0]}-{years[-1]}" if len(years) > 1 else f"{years[0]}"
    return [f"Copyright (C) {span} {' '.join(match.group(2).split())}"]


def read_summary(path):
    """config.summary as entries with label, value (None for a heading), parent and children."""
    entries, stack = [], []
    for line in filter(str.strip, path.read_text().splitlines()):
        text, indent = line.strip(), len(line) - len(line.lstrip(" "))
        dotted = re.fullmatch(r"(.+?)(?: \.+ | {2,})(\S.*)", text)
        if dotted:
            label, value = dotted.groups()
        elif text.endswith(":"):
            label, value = text[:-1], None
        else:
            label, _, value = text.partition(": ")
        while stack and stack[-1]["indent"] >= indent:
            stack.pop()
        entry = {"label": label, "value": value, "indent": indent, "children": [],
                 "parent": stack[-1] if stack else None}
        if entry["parent"]:
            entry["parent"]["children"].append(entry)
        stack.append(entry)
        entries.append(entry)
    return entries


def is_off(entry):
    if entry["value"] is None:
        return bool(entry["children"]) and all(is_off(c) for c in entry["children"])
    return entry["value"] == "no"


class Inventory:
    def __init__(self, args):
        self.args = args
        self.qt = pathlib.Path(args.qt_prefix)
        self.out = pathlib.Path(args.output)
        self.components, self.not_shipped = [], []
        self.shipped = {posixpath.normpath(packaged): path for packaged, path in
                        (item.split("=", 1) for item in args.file)}
        self.compiled = args.compiled
        self.provenance = dict(line.split(": ", 1) for line in
                               (self.qt / "PROVENANCE").read_text().splitlines() if ": " in line)

    def copy(self, source, packaged):
        target = self.out / packaged
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(source, target)
        return packaged

    def standard_text(self, identifier):
        """A licence's own text where Qt's source or Debian's common-licenses has it."""
        candidates = [self.qt / "licenses/LICENSES" / f"{identifier}.txt"]
        base = re.sub(r"-(only|or-later)$", "", identifier)
        if re.fullmatch(r"L?GPL-\d\.\d", base):
            candidates.append(COMMON_LICENSES / re.sub(r"\.0$", "", base))
        found = next((c for c in candidates if c.is_file()), None)
        return found and self.copy(found, f"licenses/{identifier}.txt")

    def add(self, name, version, licence, copyright_lines, own_files, source, files=(),
            compiled_into=()):
        texts = {}
        for identifier in LICENSING.license_keys(licence) if licence else []:
            standard = None if identifier == PUBLIC_DOMAIN else self.standard_text(identifier)
            texts[identifier] = list(own_files) + ([standard] if standard else [])
            if not texts[identifier] and identifier != PUBLIC_DOMAIN:
                fail(f"{name}: no text for {identifier}")
        self.components.append({
            "name": name, "version": version, "spdx_license": licence,
            "copyright": copyright_lines, "files": sorted(files),
            "compiled_into": sorted(compiled_into), "license_texts": texts,
            "license_files": sorted({p for paths in texts.values() for p in paths}),
            "source": source,
            "deliverables": ["installer"] if "Uninstall.exe" in files else ["zip", "installer"]})

    def in_qt(self, path):
        return pathlib.Path(path).resolve().is_relative_to(self.qt.resolve())

    def add_qt(self):
        """Qt itself, then what its libraries carry compiled in."""
        qt_files = {rel: path for rel, path in self.shipped.items() if self.in_qt(path)}
        qt_compiled = [p for p in self.compiled if self.in_qt(p)]
        # Where each Qt library and plugin ends up: its own DLL, or the program it is linked into.
        self.units = {unit(rel): rel for rel in qt_files}
        self.units |= {unit(path): self.args.program for path in qt_compiled}
        source, version = self.provenance["source-package"], self.provenance["source-version"]
        # The licence the module headers state, less the commercial one nobody here holds.
        headers = collections.Counter()
        for path in list(qt_files.values()) + qt_compiled:
            module = re.fullmatch(r"(?:lib)?Qt6(\w+)\.(?:dll|a)", pathlib.Path(path).name)
            for header in (self.qt / "include" / f"Qt{module[1]}").glob("*.h") if module else []:
                headers.update(re.findall(r"SPDX-License-Identifier: (.+)", header.read_text()))
        if not headers:
            fail(f"no SPDX-License-Identifier in Qt's headers under {self.qt / 'include'}")
        licence = headers.most_common(1)[0][0].replace("LicenseRef-Qt-Commercial OR ", "")
        debian_copyright = source_package_copyright(source)
        _, copyright_lines = dep5_terms(read_dep5(debian_copyright), [])
        own = self.copy(debian_copyright, f"licenses/debian/{source}/copyright")
        origin = {"debian_source_package": source, "debian_version": version,
                  "homepage": "https://www.qt.io/"}
        self.add("Qt", upstream_version(version), licence, copyright_lines, [own], origin,
                 files=qt_files, compiled_into=[self.args.program] if self.compiled else [])
        self.add_attributions(origin)

    def placement(self, folder, record, off, system):
        """The shipped file a record's code is compiled into, or None and why it is not (the
        rules are in docs/packaging.md, "Third-party notices")."""
        usage = record.get("QtUsage", "")
        if folder.parts[0] == "cmake" or "libs" not in record.get("QtParts", ["libs"]):
            return None, "build tool, in no library"
        foreign = FOREIGN.search(usage)
        if foreign and "Windows" not in usage:
            return None, f"only for {foreign[1]}"
        for part in folder.parts:
            hit = next((k for k in off if key(part).startswith(k)), None)
            if hit:
                return None, f"{hit} is off in this build"
        bundled = folder.parts[:2] == ("src", "3rdparty")
        switch = system.get(library_key(folder.name)) if bundled else None
        if switch and switch["value"] != "no":
            return None, "taken from the system"
        if switch and switch["parent"] and switch["parent"]["value"] not in (None, "yes"):
            return None, "off in this build"
        # The plugin its QtUsage names where this Qt has that plugin, else its QDocModule's library.
        plugin = re.search(r"\b(q[a-z0-9]+) (?:\w+ )?plugin\b", usage)
        plugins = (self.qt / "plugins").glob("*/*") if plugin else []
        if plugin and any(unit(path) == plugin[1] for path in plugins):
            target = plugin[1]
        else:
            target = "qt6" + record.get("QDocModule", "")[2:]
        if target not in self.units:
            return None, f"compiled into {target}, which is not shipped"
        return self.units[target], None

    def add_attributions(self, origin):
        summary = read_summary(self.qt / "config.summary")
        if not any(e["label"] == "Building for" and "win32" in (e["value"] or "")
                   for e in summary):
            fail("config.summary is not of a Windows build")
        # Features reported off, by name (too short a name would match any folder), and the
        # bundled libraries config.summary knows ("Using system PCRE2 ... no").
        off = {key(e["label"]) for e in summary if is_off(e) and not e["label"].startswith("Using")}
        off = {name for name in off if len(name) > 2}
        system = {library_key(e["label"][len("Using system "):]): e for e in summary
                  if e["label"].startswith("Using system ")}
        root = self.qt / "licenses/attribution"
        # Qt's files hold raw line breaks (strict=False) and repeat keys, of which the last counts.
        records = []
        for path in sorted(root.rglob("qt_attribution.json")):
            data = json.loads(path.read_text(encoding="utf-8"), strict=False)
            records += [(path.parent.relative_to(root), r) for r in
                        (data if isinstance(data, list) else [data])]
        for folder, record in records:
            target, reason = self.placement(folder, record, off, system)
            name = record.get("Name", record["Id"])
            if not target:
                self.not_shipped.append({"name": name, "path": str(folder), "reason": reason})
                continue
            own = []
            for listed in filter(None, record.get("LicenseFiles", []) + [
                    record.get("LicenseFile"), record.get("CopyrightFile")]):
                path = (root / folder / listed).resolve()
                if not path.is_file():
                    fail(f"{folder}: {listed}, named by {name}, is missing")
                own.append(self.copy(path, f"licenses/qtbase/{path.relative_to(root.resolve())}"))
            licence = spdx(record.get("LicenseId") or record["License"])
            lines = [line.strip() for line in record.get("Copyright", "").splitlines()]
            source = dict(origin, path_in_source=str(folder), homepage=record.get("Homepage", ""),
                          download=record.get("DownloadLocation", ""))
            self.add(name, record.get("Version"), licence, [line for line in lines if line], own,
                     source, compiled_into=[target])

    def add_debian(self, packaged, path, piece, compiled_into=()):
        """A file Debian's packages provide, or the MinGW runtime inside every program."""
        info = debian_package(path)
        name, parts = PIECES.get(piece, (f"{piece} (Debian package {info['Package']})", []))
        source = info["source:Package"]
        paragraphs = read_dep5(info["copyright"])
        if paragraphs:
            licence, lines = dep5_terms(paragraphs, parts)
        elif source in PROSE_LICENCES:
            licence, lines = PROSE_LICENCES[source], prose_copyright(info["copyright"])
        else:
            fail(f"{info['copyright']} is not machine-readable: cannot tell {piece}'s licence")
        own = self.copy(info["copyright"], f"licenses/debian/{source}/copyright")
        origin = {"debian_source_package": source, "debian_version": info["source:Version"],
                  "debian_binary_package": info["Package"],
                  "debian_binary_version": info["Version"], "homepage": info["Homepage"]}
        if info["Built-Using"]:
            origin["built_using"] = info["Built-Using"]
        self.add(name, upstream_version(info["Version"]), licence, lines, [own], origin,
                 files=[packaged] if packaged else [], compiled_into=compiled_into)

    def build(self):
        shutil.rmtree(self.out / "licenses", ignore_errors=True)
        self.add_qt()
        for packaged, path in sorted(self.shipped.items()):
            if not self.in_qt(path):
                self.add_debian(packaged, path, pathlib.Path(packaged).name)
        for path in sorted(p for p in self.compiled if not self.in_qt(p)):
            self.add_debian(None, path, pathlib.Path(path).name, [self.args.program])
        programs = [self.args.program] + [p for p in self.shipped if p.endswith(".dll")]
        self.add_debian(None, self.args.crt, "crt", programs)


def source_files(package, version):
    upstream = re.sub(r"^\d+:|-[^-]*$", "", version)
    return [f"{package}_{version}.dsc", f"{package}_{upstream}.orig.tar.xz",
            f"{package}_{version}.debian.tar.xz"]


def wrap(text, indent=""):
    return textwrap.fill(text, WIDTH, initial_indent=indent, subsequent_indent=indent + "    ",
                         break_long_words=False, break_on_hyphens=False)


def relink_instructions(a, p):
    """How to link the program again with a Qt of one's own, which LGPL-3.0 section 4 asks for."""
    package = f"{a.product.lower()}-{a.version}"
    return [textwrap.fill(
        f"{a.program} contains Qt, linked statically. You may link it again with a modified Qt: "
        f"its own source ({package}.tar.gz, MIT) is on the release page beside the files above. "
        "On Debian 12 (amd64), with those files in one folder, as root or with sudo:", WIDTH), "",
        f"  tar xzf {package}.tar.gz && cd {package}",
        "  ./scripts/install-deps.sh cmake ninja-build mingw-w64 qt6-base-dev \\",
        "      qt6-base-dev-tools qt6-translations-l10n dpkg-dev",
        f"  dpkg-source -x ../{p['unpacked-with'].split()[-1]} ../qt-src",
        "  # change ../qt-src as you wish, then build and install it:",
        "  cmake -G Ninja -S ../qt-src -B ../qt-build -DCMAKE_INSTALL_PREFIX=$HOME/my-qt \\",
        "      -DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/mingw-w64-posix.cmake -DQT_HOST_PATH=/usr \\",
        "      -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \\",
        *wrap_options(p["configure"]),
        "  cmake --build ../qt-build && cmake --install ../qt-build",
        "  cmake --preset release-windows -DCIPHERLOOM_QT_MINGW_PREFIX=$HOME/my-qt \\",
        "      -DCIPHERLOOM_WINDOWS_PACKAGES=OFF",
        "  cmake --build --preset release-windows --target cipherloom", "",
        textwrap.fill(f"The new program is build/release-windows/{a.program}; it replaces this "
                      f"folder's {a.program}. Leave out the options above that you want to change; "
                      "the Qt must stay a static build.", WIDTH)]


def wrap_options(configure):
    """PROVENANCE's configure line as shell words: a flags option takes the -f words after it."""
    words = []
    for word in configure.split():
        if words and word.startswith("-f") and "_FLAGS=" in words[-1]:
            words[-1] += " " + word
        else:
            words.append(word)
    # Spaces inside a quoted word are no place to break the line.
    text = " ".join(f'"{w}"'.replace(" ", "\0") if " " in w else w for w in words)
    lines = [line.replace("\0", " ") for line in textwrap.wrap(
        text, WIDTH - 10, break_long_words=False, break_on_hyphens=False)]
    return [f"      {line} \\" for line in lines[:-1]] + [f"      {lines[-1]}"]


def notices(inv):
    a, p = inv.args, inv.provenance
    src, ver = p["source-package"], p["source-version"]
    static = bool(inv.components[0]["compiled_into"])
    qt_files = ", ".join(inv.components[0]["files"] or sorted(
        pathlib.Path(path).name for path in inv.compiled if inv.in_qt(path)))
    release = [*source_files(src, ver), "build-qt-mingw.sh", p["toolchain-file"]]
    qm = [c for c in inv.components if c["name"] == PIECES["qtbase_ja.qm"][0]]
    qm_files = ", ".join(qm[0]["files"] or qm[0]["compiled_into"]) if qm else ""
    title = f"{a.product} {a.version} for Windows: third-party notices"
    out = [title, "=" * len(title), "", textwrap.fill(
        f"{a.product} itself is free software under the MIT licence (see LICENSE); its source is "
        f"at {a.homepage}. This folder also holds software by others, listed below with its "
        "version, copyright and licence, and the files in licenses/ that hold each licence's "
        "full text. Where a licence offers a choice (\"OR\"), any one of those named may be "
        "used.", WIDTH), "", "Getting the source", "------------------", "", textwrap.fill(
        f"The Qt libraries ({qt_files}{' in ' + a.program if static else ''}) and all that is "
        "compiled into them were built from "
        f"Debian's source package {src} {ver}, unpacked with `{p['unpacked-with']}`, which "
        f"applies Debian's patches ({p['patches-applied'].strip()}), by build-qt-mingw.sh with "
        f"{p['compiler']}, the compiler settings in {p['toolchain-file']} and these options: "
        f"{p['configure']}. The release page, {a.homepage}/releases, holds these files beside "
        "the zip and the installer:", WIDTH, break_on_hyphens=False)]
    out += [f"  {name}" for name in release]
    for c in qm:
        s = c["source"]
        out += [wrap(f"and, for Qt's Japanese texts in {qm_files}, Debian's source package "
                     f"{s['debian_source_package']} {s['debian_version']}:")]
        out += [f"  {name}" for name in source_files(s["debian_source_package"],
                                                     s["debian_version"])]
    out += ["", textwrap.fill(
        "Debian's archive keeps every source package named in this file, at the version named: "
        "`apt-get source PACKAGE=VERSION` on Debian, or "
        "https://snapshot.debian.org/package/PACKAGE/VERSION/ on the web.", WIDTH),
        "", "Using another build of Qt", "-------------------------", ""]
    if static:
        out += relink_instructions(a, p)
    else:
        out += [textwrap.fill(
        f"{a.product} loads Qt6Core.dll, Qt6Gui.dll and Qt6Widgets.dll from its own folder and "
        "Qt's plugins from platforms/ and styles/ beside it. To run it with a modified Qt, build "
        "Qt 6.4.2 or a later Qt 6 (for instance from the files above, with build-qt-mingw.sh "
        "--from-source) for 64-bit Windows with MinGW-w64 GCC 12 and POSIX threads, and put "
        f"your {qt_files} in place of the files of the same names here; the libraries and "
        f"plugins must come from the same build. {a.product}'s own source is MIT-licensed and "
        "can be rebuilt against it.", WIDTH)]
    out += ["", "Components", "----------", ""]
    for c in inv.components:
        out.append(c["name"] + (f", version {c['version']}" if c["version"] else ""))
        if c["files"]:
            out.append(wrap(f"Files: {', '.join(c['files'])}", "  "))
        if c["compiled_into"]:
            out.append(wrap(f"Compiled into: {', '.join(c['compiled_into'])}", "  "))
        out.append(wrap(f"Licence: {c['spdx_license']}", "  "))
        out += [wrap(f"{i}: {', '.join(paths)}", "    ") for i, paths in
                c["license_texts"].items() if paths]
        out += [wrap(line, "  ") for line in c["copyright"]]
        years = [int(y) for line in c["copyright"] for y in re.findall(r"\b(?:19|20)\d\d\b", line)]
        out += [wrap(CREDITS[i].format(year=max(years)), "  ") for i in c["license_texts"]
                if i in CREDITS]
        s = c["source"]
        where = f" ({s['path_in_source']})" if s.get("path_in_source") else ""
        built = f", built with {s['built_using']}" if s.get("built_using") else ""
        out.append(wrap(f"Source: Debian's {s['debian_source_package']} {s['debian_version']}"
                        f"{where}{built}", "  "))
        out += [f"  Homepage: {s['homepage']}"] if s.get("homepage") else []
        out.append("")
    return "\r\n".join(out)


def main():
    parser = argparse.ArgumentParser()
    for option in ("--qt-prefix", "--output", "--product", "--version", "--homepage", "--crt",
                   "--program"):
        parser.add_argument(option, required=True)
    parser.add_argument("--file", action="append", default=[])
    parser.add_argument("--compiled", action="append", default=[])
    inv = Inventory(parser.parse_args())
    inv.build()
    inv.out.mkdir(parents=True, exist_ok=True)
    (inv.out / "THIRD-PARTY-NOTICES.txt").write_bytes(b"\xef\xbb\xbf" + notices(inv).encode())
    document = {"format": 1, "product": {"name": inv.args.product, "version": inv.args.version,
                                         "spdx_license": "MIT", "files": [inv.args.program],
                                         "license_files": ["LICENSE"]},
                "components": inv.components, "not_shipped": inv.not_shipped}
    (inv.out / "inventory.json").write_text(json.dumps(document, indent=2, ensure_ascii=False)
                                            + "\n", encoding="utf-8")


if __name__ == "__main__":
    main()
