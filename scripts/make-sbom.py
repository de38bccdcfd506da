#!/usr/bin/python3
"""Writes the release's SBOM, CycloneDX 1.5 JSON: each file of dist/ with its SHA-256, the files
each package holds, the third-party components of the Windows ones (from the inventory the Windows
build writes) and the Debian packages the Linux ones need. The same release gives the same SBOM."""
import argparse
import hashlib
import json
import os
import pathlib
import re
import subprocess
import sys
import tarfile
import time
import urllib.parse
import uuid
import zipfile

from debian.deb822 import PkgRelation
from debian.debfile import DebFile

SINGLE_ID = re.compile(r"[A-Za-z0-9.+-]+")
# Where a Windows component comes from, as the inventory's "source" gives it.
SOURCE_PROPERTIES = ("debian_source_package", "debian_version", "debian_binary_package",
                     "debian_binary_version", "path_in_source")


def sha256(data):
    return [{"alg": "SHA-256", "content": hashlib.sha256(data).hexdigest()}]


def licenses(expression):
    if not expression:
        return None
    if SINGLE_ID.fullmatch(expression) and not expression.startswith("LicenseRef-"):
        return [{"license": {"id": expression}}]
    return [{"expression": expression}]


def properties(**values):
    return [{"name": "cipherloom:" + name.replace("_", "-"), "value": str(item)}
            for name, value in values.items()
            for item in (value if isinstance(value, list) else [value]) if item]


def component(kind, ref, name, **fields):
    entry = {"type": kind, "bom-ref": ref, "name": name}
    entry.update({k.replace("_", "-"): v for k, v in fields.items() if v})
    return entry


def debian_purl(package, version=None, arch="source"):
    at = "@" + urllib.parse.quote(version, safe="") if version else ""
    return f"pkg:deb/debian/{package}{at}" + (f"?arch={arch}" if arch else "")


def zip_files(path):
    with zipfile.ZipFile(path) as archive:
        return {i.filename.split("/", 1)[1]: archive.read(i) for i in archive.infolist()
                if not i.is_dir()}


def tar_files(archive, top):
    return {m.name.removeprefix(top): archive.extractfile(m).read() for m in archive if m.isfile()}


class Describer:
    def __init__(self, args):
        self.args = args
        inventory = pathlib.Path(args.windows_inventory)
        if inventory.is_file():
            self.inventory = json.loads(inventory.read_text(encoding="utf-8"))
        else:
            print(f"make-sbom.py: WARNING: no {inventory}: the Windows packages are listed "
                  "file by file, without their third-party components", file=sys.stderr)
            self.inventory = {"components": []}

    def program(self, ref, path, data):
        return component("application", ref, "cipherloom", version=self.args.version,
                         licenses=licenses("MIT"), hashes=sha256(data),
                         purl=f"pkg:github/cipherloom/cipherloom@{self.args.commit}",
                         properties=properties(path=path))

    def plain_files(self, prefix, files, claimed):
        return [component("file", f"{prefix}/{path}", path, hashes=sha256(data),
                          properties=properties(path=path))
                for path, data in sorted(files.items()) if path not in claimed]

    def windows_contents(self, prefix, files, deliverable):
        """The program, each third-party component of the inventory, and the other files."""
        claimed = {"cipherloom.exe"} & files.keys()
        contents = [self.program(f"{prefix}/{path}", path, files[path]) for path in claimed]
        for index, item in enumerate(self.inventory["components"]):
            if deliverable not in item.get("deliverables", [deliverable]):
                continue
            ref = f"{prefix}/component-{index}"
            source = item.get("source") or {}
            shipped = item.get("files", [])
            claimed.update(shipped)
            if source.get("debian_binary_package"):
                purl = debian_purl(source["debian_binary_package"],
                                   source.get("debian_binary_version"), arch=None)
            elif source.get("debian_source_package"):
                purl = debian_purl(source["debian_source_package"], source.get("debian_version"))
            else:
                purl = None
            fields = {
                "version": item.get("version"),
                "licenses": licenses(item.get("spdx_license")),
                "copyright": "\n".join(item.get("copyright", [])),
                "purl": purl,
                "properties": properties(
                    **{key: source.get(key) for key in SOURCE_PROPERTIES},
                    compiled_into=item.get("compiled_into", []),
                    license_file=item.get("license_files", [])),
            }
            if source.get("homepage"):
                fields["externalReferences"] = [{"type": "website", "url": source["homepage"]}]
            # One file: the component is that file. Several: one entry each. None: compiled into
            # the program (compiled_into says so).
            if len(shipped) == 1:
                fields["properties"] += properties(path=shipped[0])
                if shipped[0] in files:
                    fields["hashes"] = sha256(files[shipped[0]])
            elif shipped:
                fields["components"] = [component("file", f"{ref}/{path}", path,
                                                  hashes=sha256(files[path]) if path in files
                                                  else None, properties=properties(path=path))
                                        for path in shipped]
            kind = "framework" if item["name"] == "Qt" else "library"
            contents.append(component(kind, ref, item["name"], **fields))
        return contents + self.plain_files(prefix, files, claimed)

    def linux_contents(self, prefix, files):
        program = next(p for p in files if p.endswith("bin/cipherloom"))
        return [self.program(f"{prefix}/{program}", program, files[program])] + \
            self.plain_files(prefix, files, {program})


def relations(text):
    return PkgRelation.parse_relations(text) if text else []


def debian_dependencies(control):
    """Depends and Recommends of the .deb, each package once, with what the build machine had."""
    installed, provides = {}, {}
    listing = subprocess.run(["dpkg-query", "-W", "-f",
                              "${Package}\t${Version}\t${Provides}\t${db:Status-Abbrev}\n"],
                             capture_output=True, text=True, check=True).stdout
    for line in listing.splitlines():
        package, version, provided, status = line.split("\t")
        if status.startswith("ii"):
            installed.setdefault(package, version)
            for group in relations(provided):
                provides.setdefault(group[0]["name"], package)
    entries = {}
    for field, scope in (("Depends", "required"), ("Recommends", "optional")):
        for group in relations(control.get(field)):
            for relation in group:
                name = relation["name"]
                if name in entries:
                    continue
                virtual = name not in installed and name in provides
                entries[name] = component(
                    "library", f"debian/{name}", name,
                    scope=scope if len(group) == 1 else "optional",
                    purl=None if virtual else debian_purl(name, arch=control["Architecture"]),
                    description=f"virtual package, provided by {provides[name]}"
                    if virtual else None,
                    properties=properties(
                        field=field,
                        version_constraint=" ".join(relation["version"] or ()),
                        alternatives=PkgRelation.str([group]) if len(group) > 1 else None,
                        built_against=installed.get(name)
                        or (provides.get(name) and f"{provides[name]} {installed[provides[name]]}"))
                )
    return [entries[name] for name in sorted(entries)]


def main():
    parser = argparse.ArgumentParser()
    for option in ("--dist", "--version", "--commit", "--homepage", "--windows-inventory",
                   "--output"):
        parser.add_argument(option, required=True)
    parser.add_argument("--signed", choices=("yes", "no"), required=True)
    args = parser.parse_args()
    dist = pathlib.Path(args.dist)
    version = args.version
    describe = Describer(args)
    output = pathlib.Path(args.output)

    names = sorted(str(p.relative_to(dist)) for p in dist.rglob("*")
                   if p.is_file() and p.name != "SHA256SUMS" and p != output)
    zip_name = f"Cipherloom-{version}-win64.zip"
    zip_contents = zip_files(dist / zip_name)
    artefacts, dependencies, debian = [], [], []
    for name in names:
        path = dist / name
        ref = f"file/{name}"
        fields = {"version": version, "hashes": sha256(path.read_bytes())}
        if name.endswith(".deb"):
            deb = DebFile(path)
            fields["description"] = "Debian package of the program"
            fields["components"] = describe.linux_contents(ref, tar_files(deb.data.tgz(), "./"))
            debian = debian_dependencies(deb.debcontrol())
        elif name == f"cipherloom-{version}-Linux.tar.gz":
            fields["description"] = "the Linux program and its files, to unpack anywhere"
            with tarfile.open(path) as archive:
                files = tar_files(archive, f"cipherloom-{version}-Linux/")
            fields["components"] = describe.linux_contents(ref, files)
        elif name == zip_name:
            fields["description"] = "the Windows program, one file with Qt inside, and its notices"
            fields["components"] = describe.windows_contents(ref, zip_contents, "zip")
        elif name == f"Cipherloom-{version}-win64-setup.exe":
            fields["description"] = "Windows installer: installs the files of the zip"
            fields["components"] = describe.windows_contents(ref, zip_contents, "installer")
        elif name == f"cipherloom-{version}.tar.gz":
            fields["description"] = f"source of the program at commit {args.commit}"
            fields["properties"] = properties(commit=args.commit)
        elif name.startswith("qt-source/"):
            fields = {"hashes": fields["hashes"],
                      "description": "Corresponding Source of the Qt in the Windows packages"}
        else:
            fields = {"hashes": fields["hashes"]}
        artefacts.append(component("file", ref, name, **fields))
        if name.endswith(".deb") or name.endswith("-Linux.tar.gz"):
            dependencies.append({"ref": ref})

    for entry in dependencies:
        entry["dependsOn"] = [d["bom-ref"] for d in debian]
    epoch = int(os.environ["SOURCE_DATE_EPOCH"])
    # Names the content: a rebuild of the same release gets the same serial number.
    identity = "\n".join(f"{a['name']} {a['hashes'][0]['content']}" for a in artefacts)
    bom = {
        "bomFormat": "CycloneDX",
        "specVersion": "1.5",
        "serialNumber": "urn:uuid:" + str(uuid.uuid5(uuid.NAMESPACE_URL,
                                                     f"{args.homepage}#{identity}")),
        "version": 1,
        "metadata": {
            "timestamp": time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(epoch)),
            "component": component(
                "application", "cipherloom", "cipherloom", version=version,
                description="Password generator with a Japanese user interface",
                licenses=licenses("MIT"),
                purl=f"pkg:github/cipherloom/cipherloom@{args.commit}",
                externalReferences=[{"type": "website", "url": args.homepage},
                                    {"type": "vcs", "url": args.homepage}],
                properties=properties(commit=args.commit, authenticode_signed=args.signed)),
        },
        "components": artefacts + debian,
        "dependencies": dependencies,
    }
    output.write_text(json.dumps(bom, indent=2, ensure_ascii=False) + "\n", encoding="utf-8")


if __name__ == "__main__":
    main()
