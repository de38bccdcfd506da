#!/usr/bin/env bash
# Valgrind memcheck over the window and runtime tests on the offscreen platform. Fails on any
# memory error and on definite or indirect leaks. Suppressions go in tests/quality/valgrind.supp,
# each with its reason; none is needed today. Logs go to BUILD_DIR/valgrind/.
# Usage: scripts/valgrind-windows.sh [BUILD_DIR]   (default build/default, built beforehand)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$(realpath "${1:-build/default}")
logs="$build_dir/valgrind"
mkdir -p "$logs"
die() {
    echo "$*" >&2
    exit 1
}

command -v valgrind >/dev/null || die "valgrind is not installed (Debian package valgrind)"
mapfile -t tests < <(find "$build_dir/tests/windows" "$build_dir/tests/runtime" -maxdepth 1 \
    -type f -executable -name '*_test' 2>/dev/null | sort)
[ ${#tests[@]} -gt 0 ] ||
    die "no window or runtime test binaries under $build_dir/tests: build them first"

failed=0
for test in "${tests[@]}"; do
    name=$(basename "$test")
    log="$logs/$name.log"
    start=$SECONDS
    status=0
    QT_QPA_PLATFORM=offscreen valgrind --tool=memcheck --error-exitcode=99 \
        --leak-check=full --show-leak-kinds=definite,indirect \
        --errors-for-leak-kinds=definite,indirect --track-origins=yes --num-callers=40 \
        --suppressions="$root/tests/quality/valgrind.supp" --gen-suppressions=all \
        --log-file="$log" "$test" >"$logs/$name.out" 2>&1 || status=$?
    # sed, not grep: a log without a leak summary ("All heap blocks were freed") is no failure.
    summary=$(sed -n 's/^==[0-9]*== \(.*ERROR SUMMARY.*\)/\1/p' "$log" | tail -n 1)
    lost=$(sed -n 's/^==[0-9]*== *\(.*definitely lost:.*\)/\1/p' "$log" | tail -n 1)
    echo "$name ($((SECONDS - start)) s): ${summary:-no summary} | ${lost:-no leaks reported}"
    if [ "$status" -eq 99 ]; then
        echo "  memcheck errors: see $log" >&2
    elif [ "$status" -ne 0 ]; then
        echo "  the test itself failed (status $status): see $logs/$name.out" >&2
    fi
    [ "$status" -eq 0 ] || failed=$((failed + 1))
done
echo "valgrind: $((${#tests[@]} - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
