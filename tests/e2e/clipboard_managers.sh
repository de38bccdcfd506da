#!/usr/bin/env bash
# The real program next to a real X11 clipboard manager, on a machine kept busy: every Generate
# must reach the clipboard, and Exit must not wait for the manager.
# Usage: clipboard_managers.sh BINARY MANAGER [ROUNDS], with MANAGER copyq, parcellite,
# xfce4-clipman, diodon or none (Debian 12's clipit is only a notice that diodon replaces it).
set -euo pipefail

manager=$2
rounds=${3:-8}
# Nothing the manager writes or starts on the bus (xfconfd, zeitgeist, the desktop portal) may
# reach the real home or outlive the scenario.
[ -n "${CIPHERLOOM_E2E_SESSION:-}" ] || exec "$(dirname "$0")/session.sh" --x-server "$0" "$@"
# shellcheck source=tests/e2e/common.sh
source "$(dirname "$0")/common.sh"
begin "$1" "$manager"
timeout_s=20
# Exit is expected within 0.5 s; the bound leaves room for a loaded machine, but not for the
# 5 s a clipboard manager hand-over waits.
exit_bound_ms=1500

case "$manager" in
none) ;;
parcellite) parcellite --no-icon >"$workdir/manager.log" 2>&1 & ;;
copyq | xfce4-clipman | diodon) "$manager" >"$workdir/manager.log" 2>&1 & ;;
*) echo "unknown manager: $manager" >&2 && exit 2 ;;
esac
if [ "$manager" != none ]; then
    manager_pid=$!
    pids+=("$manager_pid")
    owns_manager_role() { [ "$(desktop owner CLIPBOARD_MANAGER)" != 0 ]; }
    case "$manager" in
    copyq) wait_until copyq size >/dev/null 2>&1 || fail "copyq did not start" ;;
    xfce4-clipman) wait_until owns_manager_role || fail "clipman took no manager role" ;;
    esac
    kill -0 "$manager_pid" 2>/dev/null || fail "the manager ended"
fi

# Text from another program, then proof that the manager has read it: xclip counts the requests
# it serves, and nobody but the manager asks. A manager whose monitor was still starting misses a
# copy (CopyQ even reads it but stores nothing), so the text is copied again.
manager_read() {
    grep -q 'request number 2' "$workdir/xclip.out" || [ "$manager" = none ] || return 1
    [ "$manager" != copyq ] || [ "$(copyq read 0)" = "$1" ]
}
manager_takes() {
    local attempt tries
    for ((attempt = 1; attempt <= 8; attempt++)); do
        copy_in_background "$1"
        # Polled slowly: each CopyQ query runs a script in its server and would hold it up.
        for ((tries = 0; tries < 8; tries++)); do
            sleep 0.5
            if manager_read "$1"; then return 0; fi
        done
        kill "${pids[-1]}" 2>/dev/null || true
    done
    fail "$manager never took '$1'"
}
manager_takes "copied before"

exit_promptly() {
    end_with press alt+x
    ((exit_ms < exit_bound_ms)) || fail "exit $1 took ${exit_ms} ms"
    ! grep -q 'clipboard manager' "$workdir/app.log" || fail "Qt waited for the clipboard manager"
}

start_app
load_pids=()
for _ in 1 2; do
    sh -c 'while :; do :; done' &
    load_pids+=($!)
done
pids+=("${load_pids[@]}")
previous=$(clipboard)
new_password() { [[ "$(clipboard)" =~ ^[0-9]{8}$ ]] && [ "$(clipboard)" != "$previous" ]; }
reached=0
passwords=()
for ((round = 1; round <= rounds; round++)); do
    press Return
    if wait_until new_password; then
        reached=$((reached + 1))
        previous=$(clipboard)
        passwords+=("$previous")
    elif windows_shown -ge 2; then
        echo "round $round: the program said the clipboard could not be set"
        close_message_box
    else
        echo "round $round: the clipboard holds '$(clipboard)'"
    fi
done
refused=$(grep -c 'Cannot set X11 selection owner' "$workdir/app.log" || true)
echo "$manager: Generate reached the clipboard in $reached of $rounds rounds under load" \
    "($refused claims refused by the X server on the way)"
((reached == rounds)) || fail "Generate missed the clipboard"

# Text selected in the length field makes the program the owner of PRIMARY.
press alt+l ctrl+a
primary_is() { [ "$(timeout 5 xclip -o -selection primary 2>/dev/null)" = "$1" ]; }
wait_until primary_is 8 || fail "no text of the field in PRIMARY"
exit_promptly "owning PRIMARY"
stop_pids "${load_pids[@]}"

# Without a password made, text copied from a field is ours as CLIPBOARD at exit.
start_app
press alt+l ctrl+a ctrl+c
wait_until clipboard_is 8 || fail "the field's text was not copied"
exit_promptly "owning CLIPBOARD"

# CopyQ honours its own hidden mark: no password may reach its history.
if [ "$manager" = copyq ]; then
    history=$(for ((i = 0; i < $(copyq count); i++)); do copyq read "$i" && echo; done)
    for password in "${passwords[@]}"; do
        ! grep -qx "$password" <<<"$history" || fail "copyq keeps the password $password"
    done
    grep -qx 'copied before' <<<"$history" || fail "copyq history unreadable: $history"
fi
echo "PASS [$manager]"
