#!/usr/bin/env bash
# The program writes no file and never prints a password: one Generate-and-exit session of the
# real binary with an empty HOME and empty XDG directories, which must still be empty afterwards.
# It runs on a session bus of its own (tests/e2e/session.sh), as under a desktop; the bus and its
# services get directories of their own. See docs/quality.md.
# Usage (with an X display, e.g. under tests/e2e/session.sh --x-server): no_files_session.sh BINARY
set -euo pipefail

# shellcheck source=tests/e2e/common.sh
source "$(dirname "$0")/../e2e/common.sh"
begin "$1" no_files
session_pid=""
cleanup() {
    stop_pids ${app_pid:+"$app_pid"}
    # session.sh stops its bus and what the bus started once the program has ended.
    [ -z "$session_pid" ] || wait "$session_pid" || true
    remove_tree "$workdir"
}
trap cleanup EXIT

dirs=(home config cache data state runtime)
for d in "${dirs[@]}"; do
    mkdir -m 700 "$workdir/$d"
done

# Only the program sees the empty directories; xdotool and xclip keep the caller's. The inner
# shell reports the program's process id, so that the program itself can be stopped.
# shellcheck disable=SC2016 # the inner shell expands $1, $$ and $@
"$e2e_dir/session.sh" \
    sh -c 'out=$1 && shift && echo $$ >"$out/pid" && exec "$@" >"$out/stdout" 2>"$out/stderr.log"' \
    sh "$workdir" env -u QT_QPA_PLATFORM HOME="$workdir/home" XDG_RUNTIME_DIR="$workdir/runtime" \
    XDG_CONFIG_HOME="$workdir/config" XDG_CACHE_HOME="$workdir/cache" \
    XDG_DATA_HOME="$workdir/data" XDG_STATE_HOME="$workdir/state" "$bin" 2>"$workdir/bus.log" &
session_pid=$!
pid_written() { [ -s "$workdir/pid" ]; }
wait_until pid_written || fail "the program did not start"
app_pid=$(<"$workdir/pid")

focus_main_window
generate
password=$(clipboard)
press alt+x
wait_until app_gone || fail "the program did not end"
app_pid=""
# session.sh ends with the program's exit status.
status=0
wait "$session_pid" || status=$?
session_pid=""
[ "$status" -eq 0 ] || fail "the program ended with status $status"

written=$(cd "$workdir" && find "${dirs[@]}" -mindepth 1)
[ -z "$written" ] || fail "the program wrote: $(tr '\n' ' ' <<<"$written")"
if grep -qF "$password" "$workdir/stdout" "$workdir/stderr.log"; then
    fail "the password appeared on stdout or stderr"
fi
echo "PASS: no file written in ${#dirs[@]} directories; password on neither stdout nor stderr" \
    "($(wc -c <"$workdir/stdout") + $(wc -c <"$workdir/stderr.log") bytes of output)"
