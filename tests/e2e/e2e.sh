#!/usr/bin/env bash
# Drives the real program on an X server with the keyboard and reads the real X clipboard.
# Usage: e2e.sh BINARY SCENARIO, in a session of its own (session.sh --x-server; else it starts one:
# without a bus, libdbus would start one through dbus-launch that outlives the scenario).
set -euo pipefail

[ -n "${CIPHERLOOM_E2E_SESSION:-}" ] || exec "$(dirname "$0")/session.sh" --x-server "$0" "$@"
# shellcheck source=tests/e2e/common.sh
source "$(dirname "$0")/common.sh"
begin "$@"

case "$label" in
clipboard_offers_password_manager_hint)
    start_app
    generate
    clipboard_as() { timeout 5 xclip -o -selection clipboard -t "$1" 2>/dev/null || true; }
    targets=$(clipboard_as TARGETS)
    grep -qx 'x-kde-passwordManagerHint' <<<"$targets" || fail "no hint among targets: $targets"
    [ "$(clipboard_as x-kde-passwordManagerHint)" = "secret" ] || fail "hint is not 'secret'"
    grep -qx 'text/plain' <<<"$targets" || fail "no plain text among targets: $targets"
    ;;

exit_after_start_leaves_clipboard_alone)
    other_program_copies "from another program"
    start_app
    end_with press alt+x
    clipboard_is "from another program" || fail "clipboard changed to '$(clipboard)'"
    ;;

exit_after_generate_clears_what_another_program_copied | \
    close_box_after_generate_clears_the_clipboard)
    start_app
    generate
    other_program_copies "copied later"
    if [[ $label == exit_* ]]; then
        xdotool windowfocus --sync "$main_wid"
        end_with press alt+x
        # A clipboard manager hand-over would stall exit for seconds; anything near that is a fault.
        ((exit_ms < 2000)) || fail "exit took ${exit_ms} ms"
    else
        end_with desktop close "$main_wid"
    fi
    clipboard_is "" || fail "clipboard still holds '$(clipboard)'"
    ;;

bad_length_shows_message_and_changes_nothing)
    other_program_copies "kept"
    start_app
    press ctrl+a BackSpace
    xdotool type --delay 20 33
    press Return
    wait_until windows_shown -ge 2 || fail "no message box titled Cipherloom appeared"
    close_message_box
    clipboard_is "kept" || fail "a refused request changed the clipboard to '$(clipboard)'"
    # The password label stayed empty, so Exit must leave the clipboard alone too.
    end_with press alt+x
    clipboard_is "kept" || fail "exit after a refused request changed the clipboard"
    ;;

*)
    echo "unknown scenario: $label" >&2
    exit 2
    ;;
esac
echo "PASS [$label]"
