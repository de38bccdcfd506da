#!/usr/bin/env bash
# Provides Qt 6.4.2 (Core, Gui, Widgets, Test) for 64-bit Windows, cross-built with MinGW-w64, in a
# cache outside the build tree, and prints its path. Does nothing when it is already there.
#
#   scripts/build-qt-mingw.sh [ARCHIVE | --from-source]
#
# With ARCHIVE (or CIPHERLOOM_QT_MINGW_ARCHIVE, or ../shared/windows/qt-6.4.2-mingw-w64.tar.xz beside
# the repository) it unpacks that prebuilt Qt; otherwise, or with --from-source, it builds Qt from
# Debian's own qt6-base source package, which takes 30 to 40 minutes on two idle cores.
# CIPHERLOOM_TOOLCHAIN_DIR chooses the cache (default ~/.cache/cipherloom).
set -euo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
qt_version=6.4.2
name="qt-${qt_version}-mingw-w64"
cache="${CIPHERLOOM_TOOLCHAIN_DIR:-$HOME/.cache/cipherloom}"
prefix="$cache/$name"
stamp="$prefix/.cipherloom-complete"

# The packages the Windows build and its Wine tests need.
"$repo/scripts/install-deps.sh" \
    cmake ninja-build mingw-w64 qt6-base-dev qt6-base-dev-tools googletest xz-utils \
    wine wine64 nsis \
    xvfb xauth xdotool xclip x11-utils python3 python3-xlib imagemagick fonts-ipafont-gothic >&2

if [ -f "$stamp" ]; then
    echo "$prefix"
    exit 0
fi

archive="${1:-${CIPHERLOOM_QT_MINGW_ARCHIVE:-}}"
if [ "$archive" = --from-source ]; then
    archive=""
elif [ -z "$archive" ] && [ -f "$repo/../shared/windows/$name.tar.xz" ]; then
    archive="$repo/../shared/windows/$name.tar.xz"
fi

mkdir -p "$cache"
# Work beside the cache so the final move is a rename and a half-done copy is never taken as done.
work="$(mktemp -d "$cache/.$name.XXXXXX")"
trap 'rm -rf "$work"' EXIT

if [ -n "$archive" ]; then
    echo "Unpacking $archive" >&2
    tar xJf "$archive" -C "$work"
    [ -d "$work/$name" ] || { echo "$archive holds no $name/" >&2; exit 1; }
else
    echo "Building Qt $qt_version for MinGW-w64 from Debian's qt6-base source" >&2
    # apt-get source needs a deb-src line for bookworm main; add one only when there is none.
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    if ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm' \
            'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' |
            $sudo tee /etc/apt/sources.list.d/cipherloom-deb-src.sources >/dev/null
        $sudo apt-get update -qq
    fi
    (cd "$work" && apt-get source --download-only qt6-base >&2)
    tar xf "$work"/qt6-base_"${qt_version}"+dfsg.orig.tar.xz -C "$work"
    src="$work/qtbase-everywhere-src-$qt_version"
    # Debian's source lacks wintab.h, which the Windows platform plugin includes for tablet events.
    cmake -G Ninja -S "$src" -B "$work/build" \
        -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-posix.cmake" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DCMAKE_INSTALL_PREFIX="$work/$name" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
        -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF \
        -DINPUT_opengl=no -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF \
        -DFEATURE_vulkan=OFF -DFEATURE_pkg_config=OFF -DFEATURE_testlib=ON \
        -DFEATURE_tabletevent=OFF >&2
    cmake --build "$work/build" --parallel "$(nproc)" >&2
    cmake --install "$work/build" >&2
    find "$work/$name" -name '*.dll' -exec x86_64-w64-mingw32-strip --strip-unneeded {} + >&2
    cp "$repo/cmake/mingw-w64-posix.cmake" "$work/$name/mingw-w64-toolchain.cmake"
fi

touch "$work/$name/.cipherloom-complete"
rm -rf "$prefix"
mv "$work/$name" "$prefix"
echo "$prefix"
