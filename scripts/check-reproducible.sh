#!/usr/bin/env bash
# scripts/check-reproducible.sh [WORK]  (default build/reproducibility): releases HEAD from two
# fresh clones and fails, showing diffoscope's report, unless both dist/ folders are the same bit
# for bit. The second runs later, deeper, with another umask, time zone and language, and on
# /dev/shm when it has room. The first clone stays in WORK/a (make signing-check runs there).
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
work="$(realpath -m "${1:-$repo/build/reproducibility}")"
commit="$(git -C "$repo" rev-parse HEAD)"
jobs="${JOBS:-2}"

rm -rf "$work"
mkdir -p "$work"
second_parent="$work"
shm_kb="$(df -Pk /dev/shm 2>/dev/null | awk 'NR == 2 { print $4 }')"
if [ "${shm_kb:-0}" -gt $((4 * 1024 * 1024)) ]; then
    second_parent="$(mktemp -d /dev/shm/cipherloom-reproducibility.XXXXXX)"
    trap 'rm -rf "$second_parent"' EXIT
fi
first="$work/a"
second="$second_parent/b/a-second-clone-in-a-deeper-folder"

build() {
    local dir=$1 mask=$2
    shift 2
    (
        umask "$mask"
        git clone --quiet --no-local "$repo" "$dir"
        git -C "$dir" checkout --quiet --detach "$commit"
        cd "$dir"
        start=$(date +%s)
        env "$@" make release JOBS="$jobs"
        echo "make release in $dir: $(($(date +%s) - start)) s" >&2
    )
}
build "$first" 022 TZ=UTC LANG=C.UTF-8
build "$second" 002 TZ=Asia/Tokyo LANG=ja_JP.UTF-8

if diff -r -q "$first/dist" "$second/dist" >/dev/null; then
    echo "Reproducible: the two releases of $commit are the same, file for file:"
    (cd "$first/dist" && find . -type f -printf '%P\n' | sort | xargs -d '\n' sha256sum)
    exit 0
fi
echo "NOT reproducible: the two releases of $commit differ:" >&2
diff -r -q "$first/dist" "$second/dist" >&2 || true
command -v diffoscope >/dev/null || "$repo/scripts/install-deps.sh" diffoscope-minimal >&2
diffoscope --text - --max-text-report-size 200000 --exclude-directory-metadata=yes \
    "$first/dist" "$second/dist" >&2 || true
exit 1
