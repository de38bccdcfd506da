#!/usr/bin/env bash
# Runs COMMAND with a fresh Wine prefix in a temporary directory and a virtual X server, the way
# every Wine test expects: session.sh COMMAND [ARGS...]. The prefix is removed afterwards.
set -euo pipefail
if [ -z "${CIPHERLOOM_WINE_SESSION:-}" ]; then
    export CIPHERLOOM_WINE_SESSION=1
    exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$@"
fi

WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/cipherloom-wine.XXXXXX")
export WINEPREFIX WINEDEBUG=-all
# No Mono or Gecko: their install prompts would wait for a click that never comes.
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

start=$(date +%s)
wineboot -i >/dev/null 2>&1
# Wine brings no Japanese font; without one the labels would show boxes.
fonts=/usr/share/fonts/opentype/ipafont-gothic
if [ -d "$fonts" ]; then
    cp "$fonts"/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
fi
echo "Wine prefix ready in $(($(date +%s) - start)) s: $WINEPREFIX" >&2
"$@"
