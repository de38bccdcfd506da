#!/usr/bin/env bash
# Makes the screenshots in docs/screenshots/ from the real program on a virtual X server, with the
# Debian Japanese fonts. Needs xvfb, xdotool and imagemagick.
# Usage: scripts/screenshots.sh [BUILD_DIR]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/default}
bin=$build/app/cipherloom
out=$root/docs/screenshots

if [ -z "${CIPHERLOOM_IN_XVFB:-}" ]; then
    [ -x "$bin" ] || { echo "build first: $bin not found" >&2; exit 1; }
    mkdir -p "$out"
    CIPHERLOOM_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96 -nolisten tcp" "$0" "$build"
fi

env -u QT_QPA_PLATFORM "$bin" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT

main=$(timeout 10 xdotool search --sync --onlyvisible --name '^Cipherloom$' | head -n 1)
xdotool windowfocus --sync "$main"
key() { xdotool key --clearmodifiers "$@"; sleep 0.2; }

# Main window: letters, digits and symbols, 16 characters, one password made.
key alt+r
key alt+l ctrl+a BackSpace
xdotool type --delay 30 16
key Return
import -window "$main" "$out/main-window.png"

# Options dialog in range mode: positions 3 to 5 get upper-case letters.
key alt+o
dialog=$(timeout 10 xdotool search --sync --onlyvisible --name '^オプション$' | head -n 1)
xdotool windowfocus --sync "$dialog"
key alt+3
key Tab
xdotool type --delay 30 3
key Tab
xdotool type --delay 30 5
key alt+w
key alt+d
import -window "$dialog" "$out/options-range.png"
key Escape

echo "wrote $out/main-window.png and $out/options-range.png"
