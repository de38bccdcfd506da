#!/usr/bin/env bash
# Drives the real program on a headless sway with wtype and reads the Wayland clipboard with
# wl-paste. Starts and stops its own compositor; exits 77 (skipped) when sway is not installed.
# Usage: wayland.sh BINARY SCENARIO [LATE_WAKEUP_LIBRARY]
# The library is preloaded into the program to give every run a busy machine's thread timing.
set -euo pipefail

late_wakeup=${3:-}
command -v sway >/dev/null || {
    echo "SKIP: sway is not installed"
    exit 77
}
# shellcheck source=tests/e2e/common.sh
source "$(dirname "$0")/common.sh"
begin "$1" "$2"
timeout_s=20
# Exit must come well within this; a hang in teardown never does.
close_bound_ms=5000
# How long Return is held: enough for another program's copy to land and a repeat to follow.
hold_ms=5000
app_id=io.github.cipherloom.Cipherloom

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
        chown nobody: "$runtime"
        as_user=(setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups)
    fi
    env -u WAYLAND_DISPLAY -u DISPLAY HOME="$runtime" XDG_RUNTIME_DIR="$runtime" \
        WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        "${as_user[@]}" sway -c "$workdir/sway.conf" >"$workdir/sway.log" 2>&1 &
    pids+=($!)
    sockets_ready() {
        SWAYSOCK=$(compgen -G "$runtime/sway-ipc.*.sock" | head -n 1) &&
            WAYLAND_DISPLAY=$(compgen -G "$runtime/wayland-*.lock" | head -n 1)
    }
    wait_until sockets_ready || fail "sway did not start"
    export SWAYSOCK WAYLAND_DISPLAY=${WAYLAND_DISPLAY%.lock} XDG_RUNTIME_DIR=$workdir/client-runtime
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    unset DISPLAY
    wait_until test -S "$WAYLAND_DISPLAY" || fail "no Wayland socket"

    # The headless seat has no keyboard; a virtual one held for the whole run keeps the program's
    # keyboard in place, so the keys typed later are not lost while it binds a new one.
    wtype -s $((timeout_s * 10 * 1000)) >/dev/null 2>&1 &
    pids+=($!)
    has_keyboard() { swaymsg -t get_inputs 2>/dev/null | grep -q '"type": "keyboard"'; }
    wait_until has_keyboard || fail "no virtual keyboard"
}

# "app_id focused" of each window of the program's: a message box is a second one.
window_info() { swaymsg -t get_tree 2>/dev/null | desktop sway-window "$app_pid"; }
window_focused() { [[ "$(window_info)" == *" True" ]]; }
window_count() { window_info | wc -l; }
main_window_alone() { [ "$(window_info)" = "$app_id True" ]; }

start_app() {
    QT_QPA_PLATFORM=wayland LD_PRELOAD=$late_wakeup "$bin" >"$workdir/app.log" 2>&1 &
    app_pid=$!
    wait_until window_focused || fail "the main window did not appear with the focus"
    local id
    id=$(window_info | cut -d' ' -f1)
    [ "$id" = "$app_id" ] || fail "app id is '$id', not '$app_id'"
}

press() {
    if [[ $1 == alt+* ]]; then wtype -M alt -k "${1#alt+}" -m alt; else wtype -k "$1"; fi
}
clipboard() { wl-paste --no-newline 2>/dev/null || true; }
copy_in_background() {
    wl-copy --foreground -- "$1" &
    pids+=($!)
}

start_sway
case "$label" in
close_request_after_generate_ends_promptly)
    # The exit hang was a race; each round gives it another chance to show.
    for round in 1 2 3; do
        start_app
        generate
        password=$(clipboard)
        end_with swaymsg "[pid=$app_pid] kill"
        ((exit_ms < close_bound_ms)) || fail "closing in round $round took ${exit_ms} ms"
        ! clipboard_is "$password" || fail "the password is still on the clipboard"
    done
    ;;

exit_key_clears_what_another_program_copied)
    start_app
    generate
    other_program_copies "copied later"
    end_with press alt+x
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
    pids+=("$hold_pid")
    clipboard_replaced() { ! clipboard_is "$first" && clipboard_is_eight_digits; }
    wait_until clipboard_replaced || fail "holding Return did not generate"
    other_program_copies "copied later"
    wait_until windows_shown -eq 2 || fail "no failure message after a refused claim"
    wait "$hold_pid" || fail "wtype could not hold Return"
    clipboard_is "copied later" || fail "clipboard holds '$(clipboard)'"
    # Once the message is closed, a key press of its own gives Generate a new serial again.
    press Return
    wait_until main_window_alone || fail "the message did not close"
    generate
    ;;

*)
    echo "unknown scenario: $label" >&2
    exit 2
    ;;
esac
echo "PASS [$label]"
