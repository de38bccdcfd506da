#!/usr/bin/env bash
# The real program next to a real X11 clipboard manager, on a machine kept busy: every Generate
# must reach the clipboard, and Exit must not wait for the manager.
# Usage (under xvfb-run): clipboard_managers.sh BINARY MANAGER [ROUNDS]
# MANAGER: copyq, parcellite, xfce4-clipman, diodon, or none. (Debian 12's clipit is only a notice
# that diodon replaces it.)
set -euo pipefail

bin=$1
manager=$2
rounds=${3:-8}
here=$(cd "$(dirname "$0")" && pwd)
python=/usr/bin/python3
[ -x "$python" ] || python=python3

# The manager gets a home and a session bus of its own: nothing it writes or starts on the bus
# (xfconfd, zeitgeist, the desktop portal) reaches the real home, and everything ends with the
# scenario.
[ -n "${CIPHERLOOM_E2E_SESSION:-}" ] || exec "$here/session.sh" "$0" "$@"

readonly timeout_s=20
# Exit is expected within 0.5 s; the bound leaves room for a loaded machine, but not for the
# 5 s a clipboard manager hand-over waits.
readonly exit_bound_ms=1500
readonly title='^Cipherloom$'
workdir=$(mktemp -d)
manager_pid=""
app_pid=""
main_wid=""
load_pids=()
clip_pids=()

cleanup() {
    # The manager among them is given a moment to end by itself (and write what it keeps).
    stop_pids ${app_pid:+"$app_pid"} "${load_pids[@]}" "${clip_pids[@]}" \
        ${manager_pid:+"$manager_pid"}
    remove_tree "$workdir"
}
trap cleanup EXIT

fail() {
    echo "FAIL [$manager]: $*" >&2
    [ -s "$workdir/stderr" ] && sed 's/^/  app stderr: /' "$workdir/stderr" >&2
    exit 1
}

# shellcheck source=tests/e2e/common.sh
source "$here/common.sh"

# Bounded: xclip waits for ever on an owner that never answers.
clipboard() { timeout 5 xclip -o -selection "${1:-clipboard}" 2>/dev/null || true; }
selection_owner() {
    "$python" -c 'import sys
from Xlib import display
d = display.Display()
owner = d.get_selection_owner(d.intern_atom(sys.argv[1]))
print(owner.id if owner else 0)' "$1"
}
owns_clipboard_manager_role() { [ "$(selection_owner CLIPBOARD_MANAGER)" != 0 ]; }
box_shown() { [ "$(xdotool search --onlyvisible --name "$title" 2>/dev/null | wc -l)" -ge 2 ]; }

start_manager() {
    local log=$workdir/manager.log
    case "$manager" in
    copyq) copyq >"$log" 2>&1 & ;;
    parcellite) parcellite --no-icon >"$log" 2>&1 & ;;
    xfce4-clipman) xfce4-clipman >"$log" 2>&1 & ;;
    diodon) diodon >"$log" 2>&1 & ;;
    none) return 0 ;;
    *) echo "unknown manager: $manager" >&2 && exit 2 ;;
    esac
    manager_pid=$!
    case "$manager" in
    copyq) wait_until copyq size >/dev/null 2>&1 || fail "copyq did not start" ;;
    xfce4-clipman) wait_until owns_clipboard_manager_role || fail "clipman took no manager role" ;;
    esac
    kill -0 "$manager_pid" 2>/dev/null || fail "the manager ended: $(cat "$log")"
}

# Text from another program, then proof that the manager has read it: xclip counts the
# requests it serves, and nobody but the manager asks. A manager whose monitor was still
# starting misses a copy (CopyQ even reads it but stores nothing), so the text is copied again.
served_a_request() { grep -q 'request number 2' "$workdir/xclip.log"; }
copyq_keeps() { [ "$(copyq read 0)" = "$1" ]; }
manager_takes() {
    local attempt tries
    for ((attempt = 1; attempt <= 8; attempt++)); do
        : >"$workdir/xclip.log"
        xclip -i -selection clipboard -quiet < <(printf '%s' "$1") >"$workdir/xclip.log" 2>&1 &
        clip_pids+=($!)
        # Polled slowly: each CopyQ query runs a script in its server and would hold it up.
        for ((tries = 0; tries < 8; tries++)); do
            sleep 0.5
            served_a_request || [ "$manager" = none ] || continue
            [ "$manager" != copyq ] || copyq_keeps "$1" || continue
            return 0
        done
        kill "${clip_pids[-1]}" 2>/dev/null || true
    done
    fail "$manager never took '$1': $(cat "$workdir/manager.log")"
}

start_load() {
    local i
    for ((i = 0; i < 2; i++)); do
        sh -c 'while :; do :; done' &
        load_pids+=($!)
    done
}

stop_load() {
    for pid in "${load_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    load_pids=()
}

start_manager
manager_takes "copied before"

# Alt+X, then the program must be gone well before a clipboard manager hand-over would time out.
exit_promptly() {
    local start exit_ms status=0
    start=$(date +%s%N)
    press alt+x
    wait_until app_gone || fail "the program did not end"
    exit_ms=$((($(date +%s%N) - start) / 1000000))
    wait "$app_pid" || status=$?
    app_pid=""
    echo "$manager: exit $1 took ${exit_ms} ms"
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
    ((exit_ms < exit_bound_ms)) || fail "exit $1 took ${exit_ms} ms"
    ! grep -q 'clipboard manager' "$workdir/stderr" || fail "Qt waited for the clipboard manager"
}

start_app

start_load
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
    elif box_shown; then
        echo "round $round: the program said the clipboard could not be set"
        press Return
        wait_until test "$(xdotool search --onlyvisible --name "$title" | wc -l)" -eq 1 || true
        xdotool windowfocus --sync "$main_wid"
    else
        echo "round $round: the clipboard holds '$(clipboard)'"
    fi
done
refused=$(grep -c 'Cannot set X11 selection owner' "$workdir/stderr" || true)
echo "$manager: Generate reached the clipboard in $reached of $rounds rounds under load" \
    "($refused claims refused by the X server on the way)"
((reached == rounds)) || fail "Generate missed the clipboard"

# Text selected in the length field makes the program the owner of PRIMARY.
press alt+l ctrl+a
wait_until test "$(clipboard primary)" = 8 || fail "no text of the field in PRIMARY"

exit_promptly "owning PRIMARY"
stop_load

# Without a password made, text copied from a field is ours as CLIPBOARD at exit.
start_app
press alt+l ctrl+a ctrl+c
wait_until test "$(clipboard)" = 8 || fail "the field's text was not copied"
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
