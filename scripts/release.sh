#!/usr/bin/env bash
# Builds the release of the checked-out commit into dist/ (make release): the .deb and Linux
# tarball, the Windows zip and installer, the source, Qt's Corresponding Source in qt-source/, the
# SBOM, SIGNING.txt and SHA256SUMS; the same commit gives the same bytes (docs/packaging.md).
# Environment: CIPHERLOOM_DIST (default dist/), JOBS (default 2); CIPHERLOOM_SIGN_PKCS12,
# CIPHERLOOM_SIGN_PASSWORD_FILE and CIPHERLOOM_SIGN_TIMESTAMP_URL sign the Windows programs (see
# scripts/authenticode-sign.sh); CIPHERLOOM_ALLOW_MISSING_SOURCE=1 goes on when a Debian source
# file cannot be downloaded, writing qt-source/MISSING.txt instead (never for publication).
set -euo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
cd "$repo"
jobs="${JOBS:-2}"
dist="$(realpath -m "${CIPHERLOOM_DIST:-$repo/dist}")"

say() { printf 'release: %s\n' "$*" >&2; }
die() {
    say "$*"
    exit 1
}

# What else could reach the files: the packager's umask, time zone and language.
umask 022
export TZ=UTC LC_ALL=C.UTF-8
unset LANGUAGE

# --- The commit: a tree with changes that are not committed is refused (dist/ is no source) ---
outputs=(":(exclude)dist")
case "$dist" in "$repo"/*) outputs+=(":(exclude)${dist#"$repo"/}") ;; esac
changes="$(git status --porcelain --untracked-files=all -- . "${outputs[@]}")"
if [ -n "$changes" ]; then
    die "the tree has changes that are not committed; commit or stash them first:"$'\n'"$changes"
fi
commit="$(git rev-parse HEAD)"
SOURCE_DATE_EPOCH="$(git log -1 --format=%ct)"
export SOURCE_DATE_EPOCH
say "commit $commit, dated $(date -u -d "@$SOURCE_DATE_EPOCH" +%FT%TZ)"

# --- Signing: a wrong key or password stops here, before anything is built ---------------------
signer=""
if [ -n "${CIPHERLOOM_SIGN_PKCS12:-}" ]; then
    p12="$CIPHERLOOM_SIGN_PKCS12"
    password="${CIPHERLOOM_SIGN_PASSWORD_FILE:-}"
    [ -f "$p12" ] || die "CIPHERLOOM_SIGN_PKCS12 names $p12, which is no file"
    if [ -z "$password" ] || [ ! -r "$password" ]; then
        die "CIPHERLOOM_SIGN_PASSWORD_FILE must name a readable file whose first line is the" \
            "password of $p12"
    fi
    # Certificates from a CA may come in PKCS#12 files with OpenSSL 3's legacy ciphers.
    certificate=""
    for legacy in "" -legacy; do
        certificate="$(openssl pkcs12 $legacy -in "$p12" -passin "file:$password" -nokeys \
            -clcerts 2>/dev/null)" && break
    done
    [ -n "$certificate" ] ||
        die "cannot open $p12 with the password in $password: wrong password, or no PKCS#12 file"
    signer="$(openssl x509 -noout -subject -fingerprint -sha256 -nameopt RFC2253 \
        <<<"$certificate")"
    CIPHERLOOM_SIGN_PKCS12="$(realpath "$p12")"
    CIPHERLOOM_SIGN_PASSWORD_FILE="$(realpath "$password")"
    export CIPHERLOOM_SIGN_PKCS12 CIPHERLOOM_SIGN_PASSWORD_FILE
    say "signing the Windows programs as ${signer%%$'\n'*}"
else
    unset CIPHERLOOM_SIGN_PASSWORD_FILE CIPHERLOOM_SIGN_TIMESTAMP_URL
    say "no CIPHERLOOM_SIGN_PKCS12: the Windows programs are NOT signed (SmartScreen warns)"
fi

"$repo/scripts/install-deps.sh" devscripts osslsigncode python3-jsonschema python3-debian \
    python3-license-expression strip-nondeterminism xz-utils
qt_prefix="$("$repo/scripts/build-qt-mingw.sh")"

mkdir -p "$(dirname "$dist")"
stage="$(mktemp -d "$(dirname "$dist")/.dist.XXXXXX")"
chmod 755 "$stage"
trap 'rm -rf "$stage"' EXIT

# Fresh build trees: rcc's resources of an earlier commit carry that commit's time.
rm -rf build/release-linux build/release-windows

# --- Linux: Debian's default compilers and the flags dpkg-buildflags gives every package -------
(
    unset CC CXX
    eval "$(env -i PATH="$PATH" HOME=/nonexistent DEB_BUILD_MAINT_OPTIONS=hardening=+all \
        dpkg-buildflags --export=sh)"
    # CMake takes no CPPFLAGS: they join the compiler flags, as debhelper does.
    export CFLAGS="$CFLAGS $CPPFLAGS" CXXFLAGS="$CXXFLAGS $CPPFLAGS"
    nice -n 10 cmake --preset release-linux >/dev/null
    nice -n 10 cmake --build --preset release-linux --target cipherloom --parallel "$jobs"
    cd build/release-linux
    nice -n 10 cpack -G "DEB;TGZ" -B packages >/dev/null
)
# The version and home page of project(), as the configure wrote them.
# shellcheck source=/dev/null
source build/release-linux/release.env
version="$CIPHERLOOM_VERSION"
say "Cipherloom $version"
linux=build/release-linux/packages
cp "$linux"/cipherloom_"$version"-*.deb "$stage/"
# CPack's tarball, packed again sorted, root's, at the commit's time (no entry for the top folder).
mkdir build/release-linux/tarball
tar -xzf "$linux/cipherloom-$version-Linux.tar.gz" -C build/release-linux/tarball
(cd build/release-linux/tarball && tar -cf - --sort=name --format=gnu \
    --mtime="@$SOURCE_DATE_EPOCH" --owner=root:0 --group=root:0 --mode=u=rwX,go=rX \
    "cipherloom-$version-Linux"/*) | gzip -9 -n >"$stage/cipherloom-$version-Linux.tar.gz"
ctest --test-dir build/release-linux -R '^packaging\.' --output-on-failure >&2

# --- Windows: the cross compiler takes its flags from the toolchain file only ------------------
(
    unset CC CXX CFLAGS CXXFLAGS CPPFLAGS LDFLAGS
    nice -n 10 cmake --preset release-windows >/dev/null
    nice -n 10 cmake --build --preset release-windows --parallel "$jobs"
    cd build/release-windows
    nice -n 10 cpack -G ZIP -B packages >/dev/null
    nice -n 10 cpack -G NSIS -B packages >/dev/null
)
zip="Cipherloom-$version-win64.zip"
setup="Cipherloom-$version-win64-setup.exe"
cp "build/release-windows/packages/$zip" "build/release-windows/packages/$setup" "$stage/"
# CPack's zip keeps the file system's order and local times.
strip-nondeterminism --type zip --timestamp "$SOURCE_DATE_EPOCH" "$stage/$zip"
if [ -n "$signer" ]; then
    probe="$(mktemp -d)"
    /usr/bin/python3 -m zipfile -e "$stage/$zip" "$probe"
    for file in "$probe"/*/cipherloom.exe "$stage/$setup"; do
        osslsigncode extract-signature -in "$file" -out "$probe/signature" >/dev/null ||
            die "$(basename "$file") came out unsigned"
        rm -f "$probe/signature"
    done
    rm -rf "$probe"
fi

# --- Sources ----------------------------------------------------------------------------------
git -c core.autocrlf=false -c tar.umask=022 archive --format=tar \
    --prefix="cipherloom-$version/" "$commit" | gzip -9 -n >"$stage/cipherloom-$version.tar.gz"

# The LGPL's Corresponding Source of the Qt in the Windows packages, downloads cached and checked.
sources="${CIPHERLOOM_TOOLCHAIN_DIR:-$HOME/.cache/cipherloom}/sources"
qt_source="$stage/qt-source"
mkdir -p "$qt_source"
missing=()
# shellcheck source=scripts/qt-source.sh
source "$repo/scripts/qt-source.sh"
# Each file that matches its pin goes into qt-source/; the others are noted as missing.
for pair in "qt6-base qt_source" "qt6-translations qt_translations"; do
    read -r package functions <<<"$pair"
    "${functions}_fetch" "$sources/$package" >&2 || true
    while read -r sum name; do
        if (cd "$sources/$package" && sha256sum -c --status <<<"$sum  $name") 2>/dev/null; then
            cp "$sources/$package/$name" "$qt_source/"
        else
            missing+=("$name  $sum")
        fi
    done < <("${functions}_checksums")
done
cp scripts/build-qt-mingw.sh scripts/qt-source.sh "$qt_source/"
for record in mingw-w64-toolchain.cmake PROVENANCE config.summary; do
    [ ! -f "$qt_prefix/$record" ] || cp "$qt_prefix/$record" "$qt_source/"
done
if [ ${#missing[@]} -gt 0 ]; then
    [ "${CIPHERLOOM_ALLOW_MISSING_SOURCE:-}" = 1 ] ||
        die "cannot download these Debian source files (deb-src of bookworm):" \
            "${missing[*]}; the Windows packages cannot be published without them"
    printf '%s\n' "Not downloaded when this release was built (file, pinned SHA-256):" \
        "${missing[@]}" >"$qt_source/MISSING.txt"
    say "WARNING: qt-source/ lacks ${#missing[@]} file(s), see MISSING.txt: NOT FOR PUBLICATION"
fi

# --- SBOM, signatures, sums -------------------------------------------------------------------
if [ -n "$signer" ]; then
    printf '%s\n' "The Windows programs of this release are signed with Authenticode (SHA-256):" \
        "cipherloom.exe in $zip, $setup and the uninstaller it installs." "$signer" \
        "Time stamp: ${CIPHERLOOM_SIGN_TIMESTAMP_URL:-none}" >"$stage/SIGNING.txt"
else
    printf '%s\n' "The Windows programs of this release are NOT signed: cipherloom.exe in $zip," \
        "$setup and its uninstaller. Windows SmartScreen warns before it starts them;" \
        "check them against SHA256SUMS instead." >"$stage/SIGNING.txt"
fi
/usr/bin/python3 "$repo/scripts/make-sbom.py" --dist "$stage" --version "$version" \
    --commit "$commit" --homepage "$CIPHERLOOM_HOMEPAGE" \
    --windows-inventory build/release-windows/third-party/inventory.json \
    --signed "$([ -n "$signer" ] && echo yes || echo no)" \
    --output "$stage/cipherloom-$version.cdx.json"
/usr/bin/python3 "$repo/tests/packaging/sbom_check.py" --dist "$stage" \
    "$stage/cipherloom-$version.cdx.json" >&2

files="$(cd "$stage" && find . -type f -printf '%P\n' | sort)"
(cd "$stage" && xargs -d '\n' sha256sum <<<"$files" >SHA256SUMS &&
    sha256sum --check --quiet SHA256SUMS)

rm -rf "$dist"
mv "$stage" "$dist"
trap - EXIT
say "$dist holds the release of $commit:"
(cd "$dist" && find . -maxdepth 1 -type f -printf '%f\t%s bytes\n' | sort) >&2
[ -n "$signer" ] || say "NOT SIGNED: SmartScreen warns before the Windows programs start"
