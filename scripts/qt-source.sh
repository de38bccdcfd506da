#!/usr/bin/env bash
# The one Qt source the Windows build uses, Debian's qt6-base 6.4.2+dfsg-10, and the source of the
# Japanese texts it ships, qt6-translations 6.4.2-1, each pinned by the SHA-256 of its three files.
#
#   scripts/qt-source.sh fetch DIR | fetch-translations DIR   the verified files into DIR
#   scripts/qt-source.sh unpack DIR SRC         dpkg-source -x of DIR's .dsc into SRC (patched)
#   scripts/qt-source.sh check-provenance FILE  exit 0 when a toolchain's PROVENANCE names it
#
# Other scripts may source this file for the qt_source_* variables and functions.
set -euo pipefail

qt_source_package=qt6-base
qt_source_version=6.4.2+dfsg-10
qt_source_dsc="${qt_source_package}_${qt_source_version}.dsc"
qt_source_orig="${qt_source_package}_${qt_source_version%-*}.orig.tar.xz"
qt_source_debian="${qt_source_package}_${qt_source_version}.debian.tar.xz"
qt_source_dsc_sha256=1b4b5c8610a553d4211fa81e268b1a3b0a6339ae5444fdb7e60d7616da651970

# sha256sum -c input for each source package's files, relative to their directory.
qt_source_checksums() {
    printf '%s  %s\n' "$qt_source_dsc_sha256" "$qt_source_dsc" \
        4f14b89a9463a540fd84a6718b8519a2297119b454ef547721015a9e9019ae9e "$qt_source_orig" \
        d1a2621b1acb1606db7274ccdb96654564cea04af836c5b86da94e150714d16c "$qt_source_debian"
}
qt_translations_package=qt6-translations
qt_translations_version=6.4.2-1
qt_translations_checksums() {
    printf '%s  %s\n' \
        e31780b5179c3fa3ede0cc8adc2f65e7d15b4318ad1f05875be93de46d3d3c42 \
        "${qt_translations_package}_${qt_translations_version}.dsc" \
        bbe0291502c2604b72fef730e1935bd22f8b921d8c473250f298a723b2a9c496 \
        "${qt_translations_package}_${qt_translations_version%-*}.orig.tar.xz" \
        1f7fcb08934bfcdf44e65dc987a396e32290780817a4e8dd672142e20f4fd327 \
        "${qt_translations_package}_${qt_translations_version}.debian.tar.xz"
}

qt_source_fetch() {
    debian_source_fetch "$1" "$qt_source_package" "$qt_source_version" qt_source_checksums
}
qt_translations_fetch() {
    debian_source_fetch "$1" "$qt_translations_package" "$qt_translations_version" \
        qt_translations_checksums
}

# debian_source_fetch DIR PACKAGE VERSION CHECKSUMS: the source package's files into DIR, checked
# against what the function CHECKSUMS prints; nothing is fetched when DIR holds them already.
debian_source_fetch() {
    local dir="$1" package="$2" version="$3" checksums="$4" sudo=""
    mkdir -p "$dir"
    if (cd "$dir" && "$checksums" | sha256sum --check --quiet --status 2>/dev/null); then
        return 0
    fi
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    # apt-get source needs a deb-src line for bookworm main; add one only when there is none.
    if ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm' \
            'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' |
            $sudo tee /etc/apt/sources.list.d/cipherloom-deb-src.sources >/dev/null
        $sudo apt-get update -qq
    fi
    # A deb-src line whose index was never downloaded knows no source packages yet: update once.
    if ! (cd "$dir" && apt-get source --download-only "$package=$version"); then
        $sudo apt-get update -qq
        (cd "$dir" && apt-get source --download-only "$package=$version")
    fi
    # apt checked them against the archive's signed index; the pins also hold if that index changes.
    if ! (cd "$dir" && "$checksums" | sha256sum --check --quiet); then
        echo "$dir: $package $version is not the source this script pins" >&2
        return 1
    fi
}

# dpkg-source checks the other two files against the .dsc and applies debian/patches/series.
qt_source_unpack() {
    if ! (cd "$1" && qt_source_checksums | sha256sum --check --quiet --status 2>/dev/null); then
        echo "$1: no verified $qt_source_dsc there; run fetch first" >&2
        return 1
    fi
    dpkg-source --require-strong-checksums -x "$1/$qt_source_dsc" "$2"
}

# Exit 0 when a toolchain's PROVENANCE file names this source; else say on stderr what it names.
qt_source_check_provenance() {
    local file="$1" package version dsc
    if [ ! -f "$file" ]; then
        echo "it has no PROVENANCE" >&2
        return 1
    fi
    package="$(sed -n 's/^source-package: //p' "$file")"
    version="$(sed -n 's/^source-version: //p' "$file")"
    dsc="$(sed -n 's/^dsc-sha256: //p' "$file")"
    if [ "$package" != "$qt_source_package" ] || [ "$version" != "$qt_source_version" ] ||
        [ "$dsc" != "$qt_source_dsc_sha256" ]; then
        echo "its PROVENANCE names ${package:-no package} ${version:-no version}" \
            "(.dsc SHA-256 ${dsc:-none}), not $qt_source_package $qt_source_version" \
            "(.dsc SHA-256 $qt_source_dsc_sha256)" >&2
        return 1
    fi
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    case "${1:-} $#" in
        "fetch 2") qt_source_fetch "$2" >&2 ;;
        "fetch-translations 2") qt_translations_fetch "$2" >&2 ;;
        "unpack 3") qt_source_unpack "$2" "$3" >&2 ;;
        "check-provenance 2")
            why="$(qt_source_check_provenance "$2" 2>&1)" || {
                echo "$2: $why" >&2
                exit 1
            }
            ;;
        *)
            echo "usage: $0 fetch DIR | unpack DIR SRC | check-provenance FILE" \
                "| fetch-translations DIR" >&2
            exit 2
            ;;
    esac
fi
