#!/usr/bin/python3
"""Another program of the same user may not read, write or run code in the running program.

Run inside tests/wine/session.sh, with wine_e2e.py's options and --rights-probe. Starts the
program from the zip, generates a password, lets process_rights_probe.exe ask for rights on the
program's process and window thread, and ends the program with Alt+X: what it is denied must not
keep it from working or ending.
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_e2e  # noqa: E402  (beside this file)


def main():
    parser = argparse.ArgumentParser()
    for option in ("--zip", "--setup", "--probe", "--bare-qt", "--wine-path", "--rights-probe"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    if not os.environ.get("WINEPREFIX") or not os.environ.get("DISPLAY"):
        wine_e2e.fail("no WINEPREFIX or DISPLAY: run through tests/wine/session.sh")
    session = wine_e2e.Session(args)
    try:
        session.start()
        session.generate()
        result = session.wine(args.rights_probe, "Cipherloom")
        print(result.stdout, end="")
        if result.returncode != 0:
            wine_e2e.fail(f"process_rights_probe: status {result.returncode} {result.stderr}")
        session.exit_with_alt_x()
    finally:
        session.close()
    print("PASS: memory, code and DACL denied to another program; the desktop's rights kept")


if __name__ == "__main__":
    main()
