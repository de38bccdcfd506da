#!/usr/bin/env bash
# Starts the built program: scripts/run.sh [build directory | preset name]   (default build/default)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-build/default}
if [ ! -d "$build" ] && [ -d "$root/build/$build" ]; then
    build=$root/build/$build
fi

system=$(uname -s)
case $system in
    Darwin) program=$build/app/cipherloom.app/Contents/MacOS/cipherloom ;;
    MINGW* | MSYS* | CYGWIN*) program=$build/app/cipherloom.exe ;;
    *) program=$build/app/cipherloom ;;
esac

# Without a display server Qt aborts with a core dump; say what to do instead, in one line.
# A platform that needs none (offscreen, vnc, ...), chosen through QT_QPA_PLATFORM, is let through.
needs_display() {
    case $system in
        Darwin | MINGW* | MSYS* | CYGWIN*) return 1 ;;
    esac
    case ${QT_QPA_PLATFORM:-} in
        "" | *xcb* | *wayland*) return 0 ;;
        *) return 1 ;;
    esac
}
if needs_display && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "cipherloom needs a desktop session (neither DISPLAY nor WAYLAND_DISPLAY is set); run scripts/screenshots.sh to get screenshots in docs/screenshots/ instead." >&2
    exit 1
fi

if [ ! -x "$program" ]; then
    echo "cipherloom: $program not found: build it first with 'make build' (or cmake --build --preset default)." >&2
    exit 1
fi

exec "$program"
