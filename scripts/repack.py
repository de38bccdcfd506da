#!/usr/bin/python3
"""Rewrites a .zip or .tar.gz so that only its contents decide its bytes.

    repack.py INPUT OUTPUT

CPack adds members in the order the file system lists them, stamps the zip's DOS times in the
local time zone and records the packager's user and group. Here the members are sorted by name,
every time is SOURCE_DATE_EPOCH (UTC), owners are root, modes are 0755 for directories and
executables and 0644 for the rest, and no extra fields are written.
"""
import gzip
import io
import os
import sys
import tarfile
import time
import zipfile

DIR_MODE = 0o755
FILE_MODE = 0o644
# Info-ZIP's values: the high 16 bits of external_attr hold the Unix mode.
UNIX_SYSTEM = 3
MSDOS_DIRECTORY = 0x10
GZIP_LEVEL = 9
ZIP_LEVEL = 9
# The oldest time a zip entry can carry.
ZIP_EPOCH = (1980, 1, 1, 0, 0, 0)


def epoch():
    value = os.environ.get("SOURCE_DATE_EPOCH")
    if not value:
        sys.exit("repack.py: SOURCE_DATE_EPOCH is not set")
    return int(value)


def mode_of(is_dir, old_mode):
    return DIR_MODE if is_dir or old_mode & 0o111 else FILE_MODE


def repack_zip(source, target, when):
    date_time = max(time.gmtime(when)[:6], ZIP_EPOCH)
    with zipfile.ZipFile(source) as old, zipfile.ZipFile(target, "w") as new:
        for info in sorted(old.infolist(), key=lambda i: i.filename):
            is_dir = info.is_dir()
            entry = zipfile.ZipInfo(info.filename, date_time)
            entry.create_system = UNIX_SYSTEM
            unix = mode_of(is_dir, info.external_attr >> 16)
            entry.external_attr = ((0o040000 if is_dir else 0o100000) | unix) << 16
            if is_dir:
                entry.external_attr |= MSDOS_DIRECTORY
                new.writestr(entry, b"")
            else:
                entry.compress_type = zipfile.ZIP_DEFLATED
                new.writestr(entry, old.read(info), compresslevel=ZIP_LEVEL)


def repack_tgz(source, target, when):
    with tarfile.open(source, "r:gz") as old:
        members = sorted(old.getmembers(), key=lambda m: m.name)
        buffer = io.BytesIO()
        with tarfile.open(fileobj=buffer, mode="w", format=tarfile.GNU_FORMAT) as new:
            for member in members:
                if not (member.isdir() or member.isfile() or member.issym()):
                    sys.exit(f"repack.py: {member.name} is neither file, folder nor link")
                data = old.extractfile(member) if member.isfile() else None
                member.mtime = when
                member.uid = member.gid = 0
                member.uname = member.gname = "root"
                if not member.issym():
                    member.mode = mode_of(member.isdir(), member.mode)
                member.pax_headers = {}
                new.addfile(member, data)
    # No name and a fixed time in the gzip header; gzip -n leaves both out the same way.
    with open(target, "wb") as out, gzip.GzipFile(filename="", mode="wb", fileobj=out,
                                                    compresslevel=GZIP_LEVEL, mtime=when) as gz:
        gz.write(buffer.getvalue())


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    source, target = sys.argv[1:]
    if source.endswith(".zip"):
        repack_zip(source, target, epoch())
    elif source.endswith(".tar.gz"):
        repack_tgz(source, target, epoch())
    else:
        sys.exit(f"repack.py: {source} is neither .zip nor .tar.gz")


if __name__ == "__main__":
    main()
