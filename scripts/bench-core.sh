#!/usr/bin/env bash
# The generator's speed beside pwgen on this machine: the Google Benchmark binary (time per
# 32-character password for every row, 100 000 passwords of letters, digits and symbols) and
# `pwgen -s -1 32 100000`, then the ratio of passwords per second (goal: at least 10x pwgen).
# Usage: scripts/bench-core.sh [BUILD_DIR]   (default build/default; RUNS=5 pwgen runs)
set -euo pipefail

build_dir=${1:-build/default}
runs=${RUNS:-5}
readonly batch=100000
bench="$build_dir/bench/cipherloom_bench_core"
[ -x "$bench" ] || {
    echo "no $bench: build it first (cmake --build --preset default --target cipherloom_bench_core)" >&2
    exit 1
}
command -v pwgen >/dev/null || {
    echo "pwgen is not installed (Debian package pwgen)" >&2
    exit 1
}

json=$(mktemp)
trap 'rm -f "$json"' EXIT
"$bench" --benchmark_out="$json" --benchmark_out_format=json

# passwords_per_second of the 100 000-password run.
ours=$(awk '/"name": "HundredThousandPasswords/ {found = 1}
            found && /"passwords_per_second"/ {gsub(/[^0-9.e+]/, "", $2); print $2; exit}' "$json")

# Seconds for one pwgen batch, median of RUNS; its output goes nowhere, like ours.
pwgen_seconds() {
    local times=() start end
    for ((i = 0; i < runs; i++)); do
        start=$(date +%s%N)
        pwgen "$@" >/dev/null
        end=$(date +%s%N)
        times+=("$((end - start))")
    done
    printf '%s\n' "${times[@]}" | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)] / 1e9}'
}
plain=$(pwgen_seconds -s -1 32 "$batch")
symbols=$(pwgen_seconds -s -y -1 32 "$batch")

echo
awk -v ours="$ours" -v plain="$plain" -v symbols="$symbols" -v n="$batch" -v runs="$runs" 'BEGIN {
    printf "%d passwords of 32 characters, letters + digits + symbols\n", n
    printf "  cipherloom (in process)       %12.0f passwords/s\n", ours
    printf "  pwgen -s -1 32 %d          %12.0f passwords/s  (%.2f s, median of %d; letters + digits)\n", n, n / plain, plain, runs
    printf "  pwgen -s -y -1 32 %d       %12.0f passwords/s  (%.2f s, median of %d; with symbols)\n", n, n / symbols, symbols, runs
    printf "ratio to pwgen -s:    %.1fx   (goal: at least 10x)\n", ours / (n / plain)
    printf "ratio to pwgen -s -y: %.1fx\n", ours / (n / symbols)
}'
