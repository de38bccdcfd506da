#!/usr/bin/python3
"""The signed Windows program under Wine: it starts and generates a password from the zip and
once installed by the signed installer, whose installed uninstaller must verify against the CA.
Run inside tests/wine/session.sh; the Wine helpers are the end-to-end tests' own.

    signed_under_wine.py --zip ZIP --setup SETUP --ca CA.pem
"""
import argparse
import os
import pathlib
import subprocess
import sys
import types

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "wine"))
import wine_e2e  # noqa: E402


def verify(path, ca):
    result = subprocess.run(["osslsigncode", "verify", "-in", path, "-CAfile", ca],
                            capture_output=True, text=True)
    if result.returncode != 0:
        wine_e2e.fail(f"osslsigncode verify {path}: {result.stdout}{result.stderr}")
    print(f"ok signing: {os.path.basename(path)} verifies against the test CA")


def main():
    parser = argparse.ArgumentParser()
    for option in ("--zip", "--setup", "--ca"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    session = wine_e2e.Session(types.SimpleNamespace(zip=args.zip, setup=args.setup))
    install_dir = os.path.join(os.environ["WINEPREFIX"], "drive_c", "Program Files", "Cipherloom")
    try:
        session.start()
        session.generate()
        session.exit_with_alt_x()
        print("ok signing: the signed program from the zip generates a password")

        if session.wine(args.setup, "/S").returncode != 0:
            wine_e2e.fail("the signed installer failed")
        program = os.path.join(install_dir, "cipherloom.exe")
        uninstaller = os.path.join(install_dir, "Uninstall.exe")
        if not wine_e2e.wait_until(lambda: os.path.isfile(uninstaller)):
            wine_e2e.fail(f"nothing installed in {install_dir}")
        verify(program, args.ca)
        verify(uninstaller, args.ca)
        session.start(program)
        session.generate()
        session.exit_with_alt_x()
        print("ok signing: the installed signed program generates a password")
        session.wine(uninstaller, "/S")
    finally:
        session.close()


if __name__ == "__main__":
    main()
