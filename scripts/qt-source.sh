#!/usr/bin/env bash
# Debian's qt6-base 6.4.2+dfsg-10, the Qt source of the Windows build, pinned by the SHA-256 of its
# three files: scripts/qt-source.sh fetch DIR puts the verified files into DIR (kept if there).
set -euo pipefail

package=qt6-base
version=6.4.2+dfsg-10
checksums() {
    printf '%s  %s\n' \
        1b4b5c8610a553d4211fa81e268b1a3b0a6339ae5444fdb7e60d7616da651970 "${package}_$version.dsc" \
        4f14b89a9463a540fd84a6718b8519a2297119b454ef547721015a9e9019ae9e \
        "${package}_${version%-*}.orig.tar.xz" \
        d1a2621b1acb1606db7274ccdb96654564cea04af836c5b86da94e150714d16c \
        "${package}_$version.debian.tar.xz"
}

if [ "${1:-}" != fetch ] || [ $# -ne 2 ]; then
    echo "usage: $0 fetch DIR" >&2
    exit 2
fi
dir=$2
mkdir -p "$dir"
cd "$dir"
checksums | sha256sum --check --quiet --status 2>/dev/null && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
if ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm' \
        'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' |
        $sudo tee /etc/apt/sources.list.d/cipherloom-deb-src.sources >/dev/null
    $sudo apt-get update -qq
fi
apt-get source --download-only "$package=$version" >&2
checksums | sha256sum --check --quiet >&2
