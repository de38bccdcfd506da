#!/usr/bin/env bash
# Starts the built program from a build directory.
set -euo pipefail
build_dir=${1:-build/default}
exec "$build_dir/app/cipherloom"
