#!/usr/bin/env bash
# scripts/build-qt-mingw.sh takes no Qt it cannot vouch for: archives that are not pinned are
# refused with a reason, and a cached toolchain of unknown or other origin is removed. Every case
# stops before the script installs or builds anything, so this needs no network and no Qt build.
# Usage: qt_toolchain_archive.sh SOURCE_DIR. Exit 77 when the shared prebuilt archive is absent
# (the cases that need no archive still run first).
set -euo pipefail

repo=$1
script="$repo/scripts/build-qt-mingw.sh"
shared_archive="$repo/../shared/windows/qt-6.4.2-mingw-w64-static.tar.xz"
# shellcheck source=scripts/qt-source.sh
source "$repo/scripts/qt-source.sh"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cache="$tmp/cache"
prefix="$cache/qt-6.4.2-mingw-w64-static"
failures=0

fail() {
    echo "FAIL [$case_name]: $*" >&2
    sed 's/^/  script stderr: /' "$tmp/stderr" >&2
    failures=$((failures + 1))
}

# Runs a command line with the scratch cache and no archive inherited from the caller; sets status,
# leaves stdout and stderr in $tmp.
run_script() {
    status=0
    env -u CIPHERLOOM_QT_MINGW_ARCHIVE CIPHERLOOM_TOOLCHAIN_DIR="$cache" "$@" \
        >"$tmp/stdout" 2>"$tmp/stderr" || status=$?
}

# A refusal: non-zero, nothing on stdout, one line saying which archive and why, nothing left in
# the cache that the cross build would find.
expect_refused() {
    local archive=$1 reason=$2
    [ "$status" -ne 0 ] || fail "exit status 0"
    [ ! -s "$tmp/stdout" ] || fail "printed a prefix: $(cat "$tmp/stdout")"
    grep -qF "refusing $archive: $reason" "$tmp/stderr" || fail "no line 'refusing $archive: $reason'"
    [ "$(grep -c refusing "$tmp/stderr")" -eq 1 ] || fail "the refusal is not one line"
    [ ! -e "$prefix" ] || fail "$prefix is still there"
}

provenance() {
    printf '%s\n' "source-package: $qt_source_package" "source-version: $1" \
        "dsc-sha256: $qt_source_dsc_sha256"
}

# A cached toolchain, complete with what the cross build looks for, of unknown or other origin:
# replaced_cache CASE PROVENANCE WHAT_IS_SAID COMMAND... (an empty PROVENANCE writes none).
replaced_cache() {
    case_name=$1
    rm -rf "$cache"
    mkdir -p "$prefix/lib/cmake/Qt6"
    touch "$prefix/lib/cmake/Qt6/Qt6Config.cmake" "$prefix/.cipherloom-complete"
    [ -z "$2" ] || printf '%b\n' "$2" >"$prefix/PROVENANCE"
    run_script "${@:4}"
    grep -qF "Replacing $prefix: $3" "$tmp/stderr" || fail "did not say it replaces $prefix"
    expect_refused "$tmp/unpinned.tar.xz" "$unpinned_reason"
}

# Well-formed and naming the right source, but not a pinned archive.
mkdir -p "$tmp/fake/qt-6.4.2-mingw-w64-static/lib/cmake/Qt6"
provenance "$qt_source_version" >"$tmp/fake/qt-6.4.2-mingw-w64-static/PROVENANCE"
tar cJf "$tmp/unpinned.tar.xz" -C "$tmp/fake" qt-6.4.2-mingw-w64-static
unpinned_reason="its SHA-256 $(sha256sum "$tmp/unpinned.tar.xz" | cut -d ' ' -f 1) is not one this script pins"

case_name=unpinned_archive_is_refused
rm -rf "$cache"
run_script "$script" "$tmp/unpinned.tar.xz"
expect_refused "$tmp/unpinned.tar.xz" "$unpinned_reason"
[ "$(wc -l <"$tmp/stderr")" -eq 1 ] || fail "more than the refusal on stderr"

replaced_cache cache_without_provenance_is_removed "" "it has no PROVENANCE" \
    "$script" "$tmp/unpinned.tar.xz"
replaced_cache cache_from_another_source_is_removed "$(provenance 6.4.2+dfsg-9)" \
    "its PROVENANCE names $qt_source_package 6.4.2+dfsg-9" \
    env CIPHERLOOM_QT_MINGW_ARCHIVE="$tmp/unpinned.tar.xz" "$script"
replaced_cache cache_built_with_other_options_is_removed \
    "$(provenance "$qt_source_version")\nconfigure: -DBUILD_SHARED_LIBS=ON" \
    "its PROVENANCE names other configure options" "$script" "$tmp/unpinned.tar.xz"

if [ -f "$shared_archive" ]; then
    case_name=shared_archive_with_one_byte_changed_is_refused
    rm -rf "$cache"
    cp "$shared_archive" "$tmp/changed.tar.xz"
    chmod u+w "$tmp/changed.tar.xz"
    middle=$(($(stat -c %s "$tmp/changed.tar.xz") / 2))
    byte=$(od -An -tu1 -j "$middle" -N 1 "$tmp/changed.tar.xz" | tr -d ' ')
    printf '%b' "\\$(printf '%03o' $(((byte + 1) % 256)))" |
        dd of="$tmp/changed.tar.xz" bs=1 seek="$middle" conv=notrunc status=none
    run_script "$script" "$tmp/changed.tar.xz"
    expect_refused "$tmp/changed.tar.xz" "its SHA-256 $(sha256sum "$tmp/changed.tar.xz" | cut -d ' ' -f 1) is not one this script pins"
fi

[ "$failures" -eq 0 ] || exit 1
if [ ! -f "$shared_archive" ]; then
    echo "skip: no $shared_archive to change a byte of; the other cases passed"
    exit 77
fi
echo "ok"
