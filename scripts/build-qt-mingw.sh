#!/usr/bin/env bash
# Provides Qt 6.4.2 for 64-bit Windows, cross-built with MinGW-w64 from Debian's qt6-base source,
# in a cache outside the build tree (CIPHERLOOM_TOOLCHAIN_DIR, default ~/.cache/cipherloom), and
# prints its path.   scripts/build-qt-mingw.sh [--shared] [ARCHIVE | --from-source]
# Static by default; --shared is the DLL build the benchmarks compare against. A prebuilt ARCHIVE
# (or CIPHERLOOM_QT_MINGW_ARCHIVE, or ../shared/windows/) is used only when its SHA-256 is pinned
# below and its PROVENANCE names the same source and options (docs/packaging.md).
set -euo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=scripts/qt-source.sh
source "$repo/scripts/qt-source.sh"

qt_version=6.4.2
cache="${CIPHERLOOM_TOOLCHAIN_DIR:-$HOME/.cache/cipherloom}"

shared=""
if [ "${1:-}" = --shared ]; then
    shared=1
    shift
fi

# Recorded in PROVENANCE as given, so they hold no paths. tabletevent is off because Debian's
# source lacks wintab.h, which the Windows platform plugin includes for tablet events.
if [ -n "$shared" ]; then
    name="qt-${qt_version}-mingw-w64"
    # Prebuilt archives known to be this script's own from-source result.
    archive_sha256s=(f19f1e0d5140f339c028bf428f98773e91a39ea448387d6ff35a18c789c96c76)
    configure_options=(-DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON)
else
    name="qt-${qt_version}-mingw-w64-static"
    archive_sha256s=()
    # The MinGW runtime inside, size over speed, a section per function, and none of the
    # features the program never uses (docs/packaging.md says why each may go or must stay).
    configure_options=(
        -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DFEATURE_static_runtime=ON
        -DFEATURE_optimize_size=ON -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF
        "-DCMAKE_C_FLAGS=-ffunction-sections -fdata-sections"
        "-DCMAKE_CXX_FLAGS=-ffunction-sections -fdata-sections"
        -DFEATURE_mimetype_database=OFF -DFEATURE_movie=OFF -DFEATURE_pdf=OFF
        -DFEATURE_textodfwriter=OFF -DFEATURE_textmarkdownreader=OFF
        -DFEATURE_textmarkdownwriter=OFF -DFEATURE_jalalicalendar=OFF
        -DFEATURE_islamiccivilcalendar=OFF -DFEATURE_style_stylesheet=OFF
        -DFEATURE_graphicsview=OFF -DFEATURE_graphicseffect=OFF -DFEATURE_completer=OFF
        -DFEATURE_filedialog=OFF -DFEATURE_colordialog=OFF
        -DFEATURE_fontdialog=OFF -DFEATURE_errormessage=OFF -DFEATURE_progressdialog=OFF
        -DFEATURE_wizard=OFF -DFEATURE_calendarwidget=OFF -DFEATURE_datetimeedit=OFF
        -DFEATURE_mdiarea=OFF -DFEATURE_dockwidget=OFF
    )
fi
prefix="$cache/$name"
stamp="$prefix/.cipherloom-complete"

configure_options+=(
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF
    -DINPUT_opengl=no -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF
    -DFEATURE_vulkan=OFF -DFEATURE_pkg_config=OFF -DFEATURE_testlib=ON
    -DFEATURE_tabletevent=OFF
)
strip_command=(x86_64-w64-mingw32-strip --strip-unneeded)
# The Debian packages whose versions PROVENANCE records, by the key it records them under.
recorded_packages=(
    gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
    binutils-mingw-w64-x86-64 host-qt6-base-dev-tools:qt6-base-dev-tools cmake
)

refuse() {
    echo "$(basename "$0"): refusing $1: $2" >&2
    exit 1
}

archive="${1:-${CIPHERLOOM_QT_MINGW_ARCHIVE:-}}"
if [ "$archive" = --from-source ]; then
    archive=""
elif [ -z "$archive" ] && [ -f "$repo/../shared/windows/$name.tar.xz" ]; then
    archive="$repo/../shared/windows/$name.tar.xz"
    # Found, not asked for: one this script does not pin is built from source instead.
    sha256="$(sha256sum "$archive" | cut -d ' ' -f 1)"
    if [[ " ${archive_sha256s[*]} " != *" $sha256 "* ]]; then
        echo "Not using $archive: its SHA-256 $sha256 is not one this script pins" >&2
        archive=""
    fi
fi

# The source and the options a toolchain must have been built from.
check_provenance() {
    qt_source_check_provenance "$1" || return 1
    local recorded
    recorded="$(sed -n 's/^configure: //p' "$1")"
    if [ "$recorded" != "${configure_options[*]}" ]; then
        echo "its PROVENANCE names other configure options: $recorded" >&2
        return 1
    fi
}

# A toolchain of unknown or other origin goes at once: the cross build would otherwise find it.
reuse=""
if [ -f "$stamp" ]; then
    if why="$(check_provenance "$prefix/PROVENANCE" 2>&1)"; then
        reuse=1
    else
        echo "Replacing $prefix: $why" >&2
        rm -rf "$prefix"
    fi
elif [ -e "$prefix" ]; then
    echo "Replacing $prefix: it was never completed" >&2
    rm -rf "$prefix"
fi

# Checked before anything is installed, so a wrong archive costs nothing.
if [ -z "$reuse" ] && [ -n "$archive" ]; then
    [ -f "$archive" ] || refuse "$archive" "no such file"
    archive_sha256="$(sha256sum "$archive" | cut -d ' ' -f 1)"
    pinned=""
    for sha256 in "${archive_sha256s[@]}"; do
        if [ "$archive_sha256" = "$sha256" ]; then pinned=1; fi
    done
    [ -n "$pinned" ] || refuse "$archive" "its SHA-256 $archive_sha256 is not one this script pins"
fi

# The packages the Windows build and its Wine tests need, and the Qt translations it ships.
"$repo/scripts/install-deps.sh" \
    cmake ninja-build mingw-w64 qt6-base-dev qt6-base-dev-tools qt6-translations-l10n \
    googletest xz-utils dpkg-dev \
    wine wine64 nsis \
    xvfb xauth xdotool xclip x11-utils python3 python3-xlib python3-pefile imagemagick \
    python3-debian python3-license-expression \
    fonts-ipafont-gothic >&2

if [ -n "$reuse" ]; then
    echo "$prefix"
    exit 0
fi

mkdir -p "$cache"
# Work beside the cache so the final move is a rename and a half-done copy is never taken as done.
work="$(mktemp -d "$cache/.$name.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# Qt's licence texts, and every third-party attribution record outside tests and examples with the
# licence files it names, at their paths in the source.
copy_licenses() {
    local src="$1" dest="$2" json dir file
    mkdir -p "$dest/LICENSES"
    cp "$src"/LICENSES/* "$dest/LICENSES/"
    while IFS= read -r json; do
        dir="$(dirname "$json")"
        mkdir -p "$dest/attribution/$dir"
        cp "$src/$json" "$dest/attribution/$dir/"
        # "LicenseFile": "F" or "LicenseFiles": ["F", ...], relative to the record's folder; some
        # records name none.
        while IFS= read -r file; do
            file="$(realpath -m --relative-to="$src" "$src/$dir/$file")"
            mkdir -p "$dest/attribution/$(dirname "$file")"
            cp "$src/$file" "$dest/attribution/$file"
        done < <(grep -oE '"LicenseFiles?" *: *(\[[^]]*\]|"[^"]*")' "$src/$json" |
            sed -E 's/^[^:]*: *//' | grep -oE '"[^"]+"' | tr -d '"')
    done < <(cd "$src" && find . -name qt_attribution.json -printf '%P\n' |
        grep -vE '^(tests|examples)/' | sort)
}

write_provenance() {
    local src="$1" files="$2" entry key package
    echo "source-package: $qt_source_package"
    echo "source-version: $qt_source_version"
    echo "unpacked-with: dpkg-source -x $qt_source_dsc"
    echo "dsc-sha256: $(sha256sum "$files/$qt_source_dsc" | cut -d ' ' -f 1)"
    echo "orig-sha256: $(sha256sum "$files/$qt_source_orig" | cut -d ' ' -f 1)"
    echo "debian-sha256: $(sha256sum "$files/$qt_source_debian" | cut -d ' ' -f 1)"
    # What dpkg-source applied, in order, rather than what the series file lists.
    echo "patches-applied: $(tr '\n' ' ' <"$src/.pc/applied-patches")"
    echo "configure: ${configure_options[*]}"
    echo "toolchain-file: mingw-w64-toolchain.cmake"
    echo "compiler: $(x86_64-w64-mingw32-g++-posix --version | sed -n 1p)"
    for entry in "${recorded_packages[@]}"; do
        key="${entry%%:*}"
        package="${entry#*:}"
        echo "$key: $(dpkg-query -W -f='${Version}' "$package")"
    done
    echo "dlls-stripped-with: ${strip_command[*]}"
}

if [ -n "$archive" ]; then
    echo "Unpacking $archive" >&2
    tar xJf "$archive" -C "$work"
    [ -d "$work/$name" ] || refuse "$archive" "it holds no $name/"
    why="$(check_provenance "$work/$name/PROVENANCE" 2>&1)" || refuse "$archive" "$why"
else
    echo "Building Qt $qt_version for MinGW-w64 from Debian's $qt_source_package" \
        "$qt_source_version with its patches" >&2
    qt_source_fetch "$work/source" >&2
    qt_source_unpack "$work/source" "$work/src" >&2
    cmake -G Ninja -S "$work/src" -B "$work/build" \
        -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-posix.cmake" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DCMAKE_INSTALL_PREFIX="$work/$name" "${configure_options[@]}" >&2
    cmake --build "$work/build" --parallel "$(nproc)" >&2
    cmake --install "$work/build" >&2
    find "$work/$name" -name '*.dll' -exec "${strip_command[@]}" {} + >&2
    cp "$repo/cmake/mingw-w64-posix.cmake" "$work/$name/mingw-w64-toolchain.cmake"
    cp "$work/build/config.summary" "$work/$name/"
    copy_licenses "$work/src" "$work/$name/licenses"
    write_provenance "$work/src" "$work/source" >"$work/$name/PROVENANCE"
fi

touch "$work/$name/.cipherloom-complete"
rm -rf "$prefix"
mv "$work/$name" "$prefix"
echo "$prefix"
