#!/usr/bin/env bash
# Runs COMMAND with a fresh Wine prefix in a temporary directory and a virtual X server, the way
# every Wine test expects: session.sh COMMAND [ARGS...]. The prefix is removed afterwards.
set -euo pipefail
if [ -z "${CIPHERLOOM_WINE_SESSION:-}" ]; then
    export CIPHERLOOM_WINE_SESSION=1
    exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$@"
fi

# A fresh prefix takes about 700 MB: Debian's Wine copies every one of its DLLs into it. /tmp is
# often a small tmpfs, so take the first of these places with room; the build tree is the fallback.
need_kb=$((1024 * 1024))
prefix_parent=""
for dir in ${CIPHERLOOM_WINE_DIR:+"$CIPHERLOOM_WINE_DIR"} "${TMPDIR:-/tmp}" "$PWD/build"; do
    mkdir -p "$dir" 2>/dev/null || continue
    avail_kb=$(df -Pk "$dir" | awk 'NR == 2 { print $4 }')
    echo "Room for a Wine prefix in $dir: $((avail_kb / 1024)) MB" >&2
    [ "$avail_kb" -lt "$need_kb" ] || { prefix_parent=$dir && break; }
done
[ -n "$prefix_parent" ] || {
    echo "session.sh: no place with $((need_kb / 1024)) MB free for a Wine prefix;" \
        "name one in CIPHERLOOM_WINE_DIR" >&2
    exit 1
}

WINEPREFIX=$(mktemp -d "$prefix_parent/cipherloom-wine.XXXXXX")
export WINEPREFIX WINEDEBUG=-all
# No Mono or Gecko: their install prompts would wait for a click that never comes.
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

start=$(date +%s)
boot_log=$(mktemp)
wineboot -i >"$boot_log" 2>&1 || {
    status=$?
    cat "$boot_log" >&2
    echo "session.sh: wineboot failed ($status) in $WINEPREFIX" >&2
    df -h "$WINEPREFIX" >&2
    exit 1
}
rm -f "$boot_log"
# Wine brings no Japanese font; without one the labels would show boxes.
fonts=/usr/share/fonts/opentype/ipafont-gothic
[ ! -d "$fonts" ] || cp "$fonts"/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
echo "Wine prefix ready in $(($(date +%s) - start)) s: $WINEPREFIX" >&2
"$@"
