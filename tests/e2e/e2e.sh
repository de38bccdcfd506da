#!/usr/bin/env bash
# Drives the real program on an X server with the keyboard and reads the real X clipboard.
# Usage (under xvfb-run): e2e.sh BINARY SCENARIO
set -euo pipefail

bin=$1
scenario=$2
here=$(cd "$(dirname "$0")" && pwd)
# As under a desktop, with a session bus, but one of its own: without one, libdbus would start a
# bus through dbus-launch (dbus-x11) that writes into the real home and outlives the scenario.
[ -n "${CIPHERLOOM_E2E_SESSION:-}" ] || exec "$here/session.sh" "$0" "$@"
# Debian's own interpreter carries python3-xlib; a python3 earlier on PATH may not.
python=/usr/bin/python3
[ -x "$python" ] || python=python3
readonly timeout_s=10
readonly title='^Cipherloom$'
workdir=$(mktemp -d)
app_pid=""
main_wid=""
clip_pids=()

cleanup() {
    stop_pids ${app_pid:+"$app_pid"} "${clip_pids[@]}"
    remove_tree "$workdir"
}
trap cleanup EXIT

fail() {
    echo "FAIL [$scenario]: $*" >&2
    [ -s "$workdir/stderr" ] && sed 's/^/  app stderr: /' "$workdir/stderr" >&2
    exit 1
}

# What a paste would give; empty when nobody owns the clipboard.
clipboard() { xclip -o -selection clipboard "$@" 2>/dev/null || true; }

# Another program copies text: xclip keeps serving it in the background until replaced.
other_program_copies() {
    xclip -i -selection clipboard -quiet < <(printf '%s' "$1") >/dev/null 2>&1 &
    clip_pids+=($!)
    wait_until clipboard_is "$1" || fail "could not place '$1' on the clipboard"
}

clipboard_is() { [ "$(clipboard)" = "$1" ]; }
clipboard_is_eight_digits() { [[ "$(clipboard)" =~ ^[0-9]{8}$ ]]; }
windows_titled_cipherloom() { xdotool search --onlyvisible --name "$title" 2>/dev/null | wc -l; }
two_windows() { [ "$(windows_titled_cipherloom)" -ge 2 ]; }

# shellcheck source=tests/e2e/common.sh
source "$here/common.sh"


generate() {
    press Return
    wait_until clipboard_is_eight_digits || fail "no 8-digit password on the clipboard: '$(clipboard)'"
}

# Waits for the program to end; exit_ms says how long it took.
exit_ms=0
wait_for_exit() {
    local start end
    start=$(date +%s%N)
    wait_until app_gone || fail "the program did not end"
    end=$(date +%s%N)
    local status=0
    wait "$app_pid" || status=$?
    app_pid=""
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
    exit_ms=$(((end - start) / 1000000))
}

case "$scenario" in
clipboard_offers_password_manager_hint)
    start_app
    generate
    targets=$(clipboard -t TARGETS)
    grep -qx 'x-kde-passwordManagerHint' <<<"$targets" || fail "no hint among targets: $targets"
    [ "$(clipboard -t x-kde-passwordManagerHint)" = "secret" ] || fail "hint is not 'secret'"
    grep -qx 'text/plain' <<<"$targets" || fail "no plain text among targets: $targets"
    ;;

exit_after_start_leaves_clipboard_alone)
    other_program_copies "from another program"
    start_app
    press alt+x
    wait_for_exit
    clipboard_is "from another program" || fail "clipboard changed to '$(clipboard)'"
    ;;

exit_after_generate_clears_what_another_program_copied)
    start_app
    generate
    other_program_copies "copied later"
    xdotool windowfocus --sync "$main_wid"
    press alt+x
    wait_for_exit
    echo "exit took ${exit_ms} ms"
    clipboard_is "" || fail "clipboard still holds '$(clipboard)'"
    # A clipboard manager hand-over would stall exit for seconds; anything near that is a fault.
    ((exit_ms < 2000)) || fail "exit took ${exit_ms} ms"
    ;;

close_box_after_generate_clears_the_clipboard)
    start_app
    generate
    other_program_copies "copied later"
    "$python" "$here/close_window.py" "$main_wid"
    wait_for_exit
    echo "close took ${exit_ms} ms"
    clipboard_is "" || fail "clipboard still holds '$(clipboard)'"
    ;;

bad_length_shows_message_and_changes_nothing)
    other_program_copies "kept"
    start_app
    press ctrl+a BackSpace
    xdotool type --delay 20 33
    press Return
    wait_until two_windows || fail "no message box titled Cipherloom appeared"
    box=$(xdotool search --onlyvisible --name "$title" | grep -vx "$main_wid" | head -n 1)
    xdotool windowfocus --sync "$box"
    press Return
    wait_until test "$(windows_titled_cipherloom)" -eq 1 || fail "the message box did not close"
    clipboard_is "kept" || fail "a refused request changed the clipboard to '$(clipboard)'"
    # The password label stayed empty, so Exit must leave the clipboard alone too.
    xdotool windowfocus --sync "$main_wid"
    press alt+x
    wait_for_exit
    clipboard_is "kept" || fail "exit after a refused request changed the clipboard"
    ;;

*)
    echo "unknown scenario: $scenario" >&2
    exit 2
    ;;
esac
echo "PASS [$scenario]"
