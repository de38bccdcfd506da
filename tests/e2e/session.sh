#!/usr/bin/env bash
# Runs a command as in a desktop session of its own: an empty home, XDG and runtime directories,
# and a session bus that starts its services with them; with --x-server also an X server (Xvfb).
# Afterwards it stops, by process id, what the bus started and removes the directories with
# whatever was mounted there. Exits with the command's status; the cleanup never changes it.
# Usage: session.sh [--x-server] COMMAND [ARG...]
# shellcheck disable=SC2317 # the functions below run from traps and from wait_until
set -euo pipefail

# shellcheck source=tests/e2e/common.sh
source "$(dirname "$0")/common.sh"
root=$(mktemp -d)
x_pid=""
bus_pid=""
command_pid=""

cleanup() {
    stop_pids ${command_pid:+"$command_pid"}
    # The bus's services are known by their ancestry only while it runs: collect them first.
    # shellcheck disable=SC2046 # one id per word
    [ -z "$bus_pid" ] || stop_pids $(descendants_of "$bus_pid") "$bus_pid"
    stop_pids ${x_pid:+"$x_pid"}
    remove_tree "$root"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

x_ready_or_gone() { [ -s "$root/display" ] || ! alive "$x_pid"; }
# On the first display without a lock file; should another session take it first, its lock
# makes this server give up, and the next display is tried. -noreset: a server that resets when
# its last client leaves refuses whoever connects meanwhile.
start_x_server() {
    local n
    for ((n = 200; n < 300; n++)); do
        [ ! -e "/tmp/.X$n-lock" ] || continue
        Xvfb ":$n" -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp \
            3>"$root/display" 2>"$root/x.log" &
        x_pid=$!
        wait_until x_ready_or_gone || break
        if [ -s "$root/display" ]; then
            export DISPLAY=:$n
            unset XAUTHORITY WAYLAND_DISPLAY
            return 0
        fi
        wait "$x_pid" 2>/dev/null || true
        x_pid=""
    done
    echo "session.sh: Xvfb did not start: $(cat "$root/x.log")" >&2
    exit 1
}
if [ "${1:-}" = --x-server ]; then
    shift
    start_x_server
fi

for d in home config data cache state run; do
    mkdir -m 700 "$root/$d"
done
export HOME=$root/home XDG_CONFIG_HOME=$root/config XDG_DATA_HOME=$root/data \
    XDG_CACHE_HOME=$root/cache XDG_STATE_HOME=$root/state XDG_RUNTIME_DIR=$root/run
unset DBUS_SESSION_BUS_PID DBUS_SESSION_BUS_WINDOWID AT_SPI_BUS_ADDRESS

dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$root/bus-address" &
bus_pid=$!
address_written() { [ -s "$root/bus-address" ]; }
wait_until address_written || {
    echo "session.sh: the session bus did not start" >&2
    exit 1
}
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$root/bus-address")
export DBUS_SESSION_BUS_ADDRESS CIPHERLOOM_E2E_SESSION=1

status=0
"$@" &
command_pid=$!
wait "$command_pid" || status=$?
command_pid=""
exit "$status"
