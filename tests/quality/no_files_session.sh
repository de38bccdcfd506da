#!/usr/bin/env bash
# The program writes no file and never prints a password: one Generate-and-exit session of the
# real binary with an empty HOME and empty XDG directories, which must still be empty afterwards.
# It runs as under a desktop, on a session bus of its own (tests/e2e/session.sh): without one
# libdbus would autolaunch a bus through dbus-launch (dbus-x11) and write ~/.dbus on the program's
# behalf. The bus and the services it starts (the accessibility bus of at-spi2-core) get
# directories of their own, which session.sh removes with everything they leave.
# Usage (with an X display, e.g. under tests/e2e/session.sh --x-server): no_files_session.sh BINARY
set -euo pipefail

bin=$1
readonly timeout_s=10
readonly title='^Cipherloom$'
root=$(mktemp -d)
app_pid=""
session_pid=""

cleanup() {
    if [ -n "$app_pid" ]; then
        kill "$app_pid" 2>/dev/null || true
    fi
    # session.sh stops its bus and what it started once the program has ended.
    if [ -n "$session_pid" ]; then
        wait "$session_pid" 2>/dev/null || true
    fi
    remove_tree "$root"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    [ -s "$root/stderr" ] && head -n 60 "$root/stderr" | sed 's/^/  program stderr: /' >&2
    [ -s "$root/bus/log" ] && head -n 20 "$root/bus/log" | sed 's/^/  session bus: /' >&2
    exit 1
}

e2e=$(cd "$(dirname "$0")/../e2e" && pwd)
# shellcheck source=tests/e2e/common.sh
source "$e2e/common.sh"

clipboard() { xclip -o -selection clipboard 2>/dev/null || true; }
clipboard_is_eight_digits() { [[ "$(clipboard)" =~ ^[0-9]{8}$ ]]; }
app_gone() { ! kill -0 "$app_pid" 2>/dev/null; }

dirs=(home config cache data state runtime)
for d in "${dirs[@]}"; do
    mkdir -m 700 "$root/$d"
done
mkdir -m 700 "$root/bus"

# Only the program sees the empty directories; xdotool and xclip keep the caller's. The inner
# shell reports the program's process id, so that the program itself can be stopped.
# shellcheck disable=SC2016 # the inner shell expands $1, $$ and $@
"$e2e/session.sh" \
    sh -c 'out=$1 && shift && echo $$ >"$out/pid" && exec "$@" >"$out/stdout" 2>"$out/stderr"' \
    sh "$root" \
    env -u QT_QPA_PLATFORM \
    HOME="$root/home" \
    XDG_CONFIG_HOME="$root/config" \
    XDG_CACHE_HOME="$root/cache" \
    XDG_DATA_HOME="$root/data" \
    XDG_STATE_HOME="$root/state" \
    XDG_RUNTIME_DIR="$root/runtime" \
    "$bin" 2>"$root/bus/log" &
session_pid=$!
pid_written() { [ -s "$root/pid" ]; }
wait_until pid_written || fail "the program did not start"
app_pid=$(<"$root/pid")

wid=$(timeout "$timeout_s" xdotool search --sync --onlyvisible --name "$title" | head -n 1) ||
    fail "the main window did not appear"
xdotool windowfocus --sync "$wid"
xdotool key --clearmodifiers Return
wait_until clipboard_is_eight_digits || fail "no 8-digit password on the clipboard"
password=$(clipboard)
xdotool key --clearmodifiers alt+x
wait_until app_gone || fail "the program did not end"
app_pid=""
# session.sh ends with the program's exit status.
status=0
wait "$session_pid" || status=$?
session_pid=""
[ "$status" -eq 0 ] || fail "the program ended with status $status"

written=$(cd "$root" && find "${dirs[@]}" -mindepth 1)
[ -z "$written" ] || fail "the program wrote: $(tr '\n' ' ' <<<"$written")"
if grep -qF "$password" "$root/stdout" "$root/stderr"; then
    fail "the password appeared on stdout or stderr"
fi
echo "PASS: no file written in ${#dirs[@]} directories; password on neither stdout nor stderr" \
    "($(wc -c <"$root/stdout") + $(wc -c <"$root/stderr") bytes of output)"
