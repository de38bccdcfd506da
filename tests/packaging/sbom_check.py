#!/usr/bin/python3
"""Checks a release's SBOM against CycloneDX's published JSON schema and against the release.

    sbom_check.py --dist DIR SBOM

The schema files are committed in schemas/ (its README says whence). The schema's references to
its SPDX and JSF parts resolve from that folder; any reference that would need the network
fails. Beyond the schema: every licence expression uses SPDX identifiers (or LicenseRef-), every
bom-ref is unique and every dependency names one, and every file of the release, and every file
inside its packages, is listed with its SHA-256.
"""
import argparse
import hashlib
import io
import json
import lzma
import pathlib
import re
import subprocess
import sys
import tarfile
import urllib.parse
import zipfile

import jsonschema

SCHEMAS = pathlib.Path(__file__).resolve().parent / "schemas"
SCHEMA = "bom-1.5.SNAPSHOT.schema.json"
SPDX = "spdx.SNAPSHOT.schema.json"
OPERATORS = {"AND", "OR", "WITH"}


def read_schema(path):
    with lzma.open(path, "rt", encoding="utf-8") as stream:
        return json.load(stream)


def offline_validator(schemas):
    schema = read_schema(schemas / f"{SCHEMA}.xz")
    store = {}
    for path in schemas.glob("*.schema.json.xz"):
        document = read_schema(path)
        name = path.name.removesuffix(".xz")
        # Under the name the references use, relative to the schema's $id, and under its own.
        store[urllib.parse.urljoin(schema["$id"], name)] = document
        store[document.get("$id", name)] = document

    def refuse(uri):
        raise jsonschema.RefResolutionError(f"{uri} is not among the schema files: no network")

    resolver = jsonschema.RefResolver.from_schema(schema, store=store,
                                                  handlers={"http": refuse, "https": refuse})
    validator_class = jsonschema.validators.validator_for(schema)
    validator_class.check_schema(schema)
    return validator_class(schema, resolver=resolver,
                           format_checker=validator_class.FORMAT_CHECKER)


def walk(components):
    for entry in components:
        yield entry
        yield from walk(entry.get("components", []))


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def packaged_files(path):
    """path inside the package -> SHA-256, for the packages whose contents the SBOM lists; the
    zip and the .tar.gz hold one top folder, which the paths leave out."""
    if path.name.endswith(".zip"):
        with zipfile.ZipFile(path) as archive:
            return {i.filename.split("/", 1)[1]: sha256(archive.read(i))
                    for i in archive.infolist() if not i.is_dir()}
    if path.name.endswith(".deb"):
        data, strip = subprocess.run(["dpkg-deb", "--fsys-tarfile", str(path)],
                                     capture_output=True, check=True).stdout, False
    elif path.name.endswith("-Linux.tar.gz"):
        data, strip = path.read_bytes(), True
    else:
        return None
    with tarfile.open(fileobj=io.BytesIO(data), mode="r:*") as archive:
        files = {m.name.removeprefix("./"): sha256(archive.extractfile(m).read())
                 for m in archive if m.isfile()}
    return {(inner.split("/", 1)[1] if strip else inner): digest
            for inner, digest in files.items()}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dist", required=True, type=pathlib.Path)
    parser.add_argument("sbom", type=pathlib.Path)
    args = parser.parse_args()
    bom = json.loads(args.sbom.read_text(encoding="utf-8"))
    failures = [f"schema: {'/'.join(map(str, error.absolute_path))}: {error.message}"
                for error in offline_validator(SCHEMAS).iter_errors(bom)]

    spdx_ids = set(read_schema(SCHEMAS / f"{SPDX}.xz")["enum"])
    entries = list(walk([bom["metadata"]["component"]] + bom.get("components", [])))
    refs = [e.get("bom-ref") for e in entries]
    duplicates = {r for r in refs if refs.count(r) > 1}
    if duplicates:
        failures.append(f"bom-refs used more than once: {sorted(duplicates)}")
    failures += [f"dependency on {ref}, which no component is"
                 for dependency in bom.get("dependencies", [])
                 for ref in [dependency["ref"]] + dependency.get("dependsOn", [])
                 if ref not in refs]
    for entry in entries:
        for licence in entry.get("licenses", []):
            expression = licence.get("expression") or licence.get("license", {}).get("id", "")
            for word in re.findall(r"[^\s()]+", expression):
                if word not in OPERATORS and word not in spdx_ids \
                        and not word.startswith("LicenseRef-"):
                    failures.append(f"{entry['bom-ref']}: {word} is no SPDX identifier")

    top = {e["name"]: e for e in bom.get("components", []) if e["type"] == "file"}
    for path in sorted(p for p in args.dist.rglob("*") if p.is_file()):
        name = str(path.relative_to(args.dist))
        if name == "SHA256SUMS" or path.resolve() == args.sbom.resolve():
            continue
        entry = top.get(name)
        if entry is None:
            failures.append(f"{name} is not in the SBOM")
            continue
        if entry["hashes"][0]["content"] != sha256(path.read_bytes()):
            failures.append(f"{name}: the SBOM has another SHA-256")
        inside = packaged_files(path)
        if inside is None:
            continue
        listed = {p["value"]: item["hashes"][0]["content"]
                  for item in walk(entry.get("components", [])) if "hashes" in item
                  for p in item.get("properties", []) if p["name"] == "cipherloom:path"}
        failures += [f"{name}: {inner} is missing from the SBOM or has another hash"
                     for inner, digest in sorted(inside.items()) if listed.get(inner) != digest]

    for failure in failures:
        print(f"FAIL sbom: {failure}")
    if failures:
        return 1
    print(f"ok sbom: {args.sbom.name} is valid CycloneDX {bom['specVersion']} and lists the "
          f"{len(top)} files of the release with their contents")
    return 0


if __name__ == "__main__":
    sys.exit(main())
