#!/usr/bin/env bash
# Runs one Windows test program under Wine: run.sh DLL_DIRS [--qtest PLATFORM] PROGRAM [ARGS...]
# DLL_DIRS is a colon-separated list of Unix directories holding the DLLs the program needs.
# --qtest: a QtTest program, run on the given Qt platform with its log in a file, since neither
# its output nor the QT_* variables make it through Wine.
set -euo pipefail
dll_dirs=$1 platform=""
shift
[ "$1" != --qtest ] || { platform=$2 && shift 2; }
program=$1
shift
[ -n "${WINEPREFIX:-}" ] || { echo "run.sh: no WINEPREFIX; run through tests/wine/session.sh" >&2; exit 1; }
export WINEPATH="${dll_dirs//:/;}" WINEDEBUG="${WINEDEBUG:--all}"
if [ -z "$platform" ]; then
    exec wine "$program" "$@"
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
wine "$program" -platform "$platform" -o "Z:$log,txt" "$@" || status=$?
cat "$log"
exit "$status"
