#!/usr/bin/env bash
# Drives the real program on a headless sway with wtype and reads the Wayland clipboard with
# wl-paste. Starts and stops its own compositor; exits 77 (skipped) when sway is not installed.
# Usage: wayland.sh BINARY SCENARIO [LATE_WAKEUP_LIBRARY]
# The library is preloaded into the program to give every run a busy machine's thread timing.
set -euo pipefail

bin=$1
scenario=$2
late_wakeup=${3:-}
readonly skip_status=77
readonly timeout_s=20
# Exit must come well within this; a hang in teardown never does.
readonly close_bound_ms=5000
readonly close_rounds=3
# How long Return is held: enough for another program's copy to land and a repeat to follow.
readonly hold_ms=5000
readonly app_id=io.github.cipherloom.Cipherloom
python=/usr/bin/python3
[ -x "$python" ] || python=python3

command -v sway >/dev/null || {
    echo "SKIP: sway is not installed"
    exit "$skip_status"
}

workdir=$(mktemp -d)
sway_pid=""
keyboard_pid=""
hold_pid=""
app_pid=""
copy_pids=()

stop_pid() {
    [ -n "$1" ] || return 0
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

cleanup() {
    stop_pid "$app_pid"
    for pid in "${copy_pids[@]}"; do stop_pid "$pid"; done
    stop_pid "$hold_pid"
    stop_pid "$keyboard_pid"
    stop_pid "$sway_pid"
    remove_tree "$workdir"
}
trap cleanup EXIT

fail() {
    echo "FAIL [$scenario]: $*" >&2
    for log in sway app; do
        [ -s "$workdir/$log.log" ] && tail -n 20 "$workdir/$log.log" | sed "s/^/  $log: /" >&2
    done
    exit 1
}

# shellcheck source=tests/e2e/common.sh
source "$(dirname "$0")/common.sh"

# sway refuses to start as root, so root runs it as nobody; the clients stay root and reach its
# sockets by absolute path.
start_sway() {
    local runtime=$workdir/sway-runtime
    mkdir -m 700 "$runtime"
    printf 'xwayland disable\n' >"$workdir/sway.conf"
    local -a as_user=()
    if [ "$(id -u)" -eq 0 ]; then
        chmod 711 "$workdir"
        chmod 644 "$workdir/sway.conf"
        chown "$(id -u nobody):$(id -g nobody)" "$runtime"
        as_user=(setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups)
    fi
    env -u WAYLAND_DISPLAY -u DISPLAY HOME="$runtime" XDG_RUNTIME_DIR="$runtime" \
        WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        "${as_user[@]}" sway -c "$workdir/sway.conf" >"$workdir/sway.log" 2>&1 &
    sway_pid=$!
    sockets_ready() {
        compgen -G "$runtime/sway-ipc.*.sock" >/dev/null &&
            compgen -G "$runtime/wayland-*.lock" >/dev/null
    }
    wait_until sockets_ready || fail "sway did not start"
    local lock
    lock=$(compgen -G "$runtime/wayland-*.lock" | head -n 1)
    export WAYLAND_DISPLAY=${lock%.lock}
    SWAYSOCK=$(compgen -G "$runtime/sway-ipc.*.sock" | head -n 1)
    export SWAYSOCK
    mkdir -m 700 "$workdir/client-runtime"
    export XDG_RUNTIME_DIR=$workdir/client-runtime
    unset DISPLAY
    wait_until test -S "$WAYLAND_DISPLAY" || fail "no Wayland socket"

    # The headless seat has no keyboard; a virtual one held for the whole run keeps the program's
    # keyboard in place, so the keys typed later are not lost while it binds a new one.
    wtype -s $((timeout_s * 10 * 1000)) >/dev/null 2>&1 &
    keyboard_pid=$!
    has_keyboard() { swaymsg -t get_inputs 2>/dev/null | grep -q '"type": "keyboard"'; }
    wait_until has_keyboard || fail "no virtual keyboard"
}

# Prints "app_id focused" of the program's window, nothing while it has none.
window_info() {
    swaymsg -t get_tree 2>/dev/null | "$python" -c '
import json, sys
def walk(node):
    yield node
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        yield from walk(child)
for node in walk(json.load(sys.stdin)):
    if node.get("pid") == int(sys.argv[1]):
        print(node.get("app_id"), node.get("focused"))
' "$app_pid"
}

window_focused() { [[ "$(window_info)" == *" True" ]]; }

# A message box is a second window of the program's.
message_box_shown() { [ "$(window_info | wc -l)" -eq 2 ]; }
main_window_alone() {
    local info
    info=$(window_info)
    [ "$(wc -l <<<"$info")" -eq 1 ] && [[ "$info" == *" True" ]]
}

start_app() {
    QT_QPA_PLATFORM=wayland LD_PRELOAD=$late_wakeup "$bin" >"$workdir/app.log" 2>&1 &
    app_pid=$!
    wait_until window_focused || fail "the main window did not appear with the focus"
    local id
    id=$(window_info | cut -d' ' -f1)
    [ "$id" = "$app_id" ] || fail "app id is '$id', not '$app_id'"
}

clipboard() { wl-paste --no-newline 2>/dev/null || true; }
clipboard_is() { [ "$(clipboard)" = "$1" ]; }
clipboard_is_eight_digits() { [[ "$(clipboard)" =~ ^[0-9]{8}$ ]]; }

generate() {
    wtype -k Return
    wait_until clipboard_is_eight_digits || fail "no 8-digit password on the clipboard: '$(clipboard)'"
}

other_program_copies() {
    wl-copy --foreground -- "$1" &
    copy_pids+=($!)
    wait_until clipboard_is "$1" || fail "could not place '$1' on the clipboard"
}

# Waits for the program to end with status 0; exit_ms says how long it took from start_ns.
exit_ms=0
wait_for_exit() {
    local start_ns=$1
    wait_until app_gone || fail "the program did not end within ${timeout_s} s"
    exit_ms=$((($(date +%s%N) - start_ns) / 1000000))
    local status=0
    wait "$app_pid" || status=$?
    app_pid=""
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
}

start_sway
case "$scenario" in
close_request_after_generate_ends_promptly)
    # The exit hang was a race; each round gives it another chance to show.
    for round in $(seq "$close_rounds"); do
        start_app
        generate
        password=$(clipboard)
        start_ns=$(date +%s%N)
        swaymsg "[pid=$app_pid] kill" >/dev/null
        wait_for_exit "$start_ns"
        echo "round $round: close request to exit: ${exit_ms} ms"
        ((exit_ms < close_bound_ms)) || fail "closing took ${exit_ms} ms"
        if clipboard_is "$password"; then fail "the password is still on the clipboard"; fi
    done
    ;;

exit_key_clears_what_another_program_copied)
    start_app
    generate
    other_program_copies "copied later"
    start_ns=$(date +%s%N)
    wtype -M alt -k x -m alt
    wait_for_exit "$start_ns"
    echo "Alt+X to exit: ${exit_ms} ms"
    ((exit_ms < close_bound_ms)) || fail "exit took ${exit_ms} ms"
    clipboard_is "" || fail "clipboard still holds '$(clipboard)'"
    ;;

generate_after_another_copy_without_input_shows_failure)
    start_app
    generate
    # Holding Return repeats Generate inside the program, with no new input event: once another
    # program has copied, the compositor refuses those claims as older than its selection.
    first=$(clipboard)
    wtype -P Return -s "$hold_ms" -p Return &
    hold_pid=$!
    clipboard_replaced() { ! clipboard_is "$first" && clipboard_is_eight_digits; }
    wait_until clipboard_replaced || fail "holding Return did not generate"
    other_program_copies "copied later"
    wait_until message_box_shown || fail "no failure message after a refused claim"
    wait "$hold_pid" || fail "wtype could not hold Return"
    hold_pid=""
    clipboard_is "copied later" || fail "clipboard holds '$(clipboard)'"
    # Once the message is closed, a key press of its own gives Generate a new serial again.
    wtype -k Return
    wait_until main_window_alone || fail "the message did not close"
    generate
    ;;

*)
    echo "unknown scenario: $scenario" >&2
    exit 2
    ;;
esac
echo "PASS [$scenario]"
