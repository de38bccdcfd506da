#!/usr/bin/env bash
# The program writes no file and never prints a password: one Generate-and-exit session of the
# real binary with an empty HOME and empty XDG directories, which must still be empty afterwards.
# Usage (under xvfb-run): no_files_session.sh BINARY
set -euo pipefail

bin=$1
readonly timeout_s=10
readonly title='^Cipherloom$'
root=$(mktemp -d)
app_pid=""

cleanup() {
    if [ -n "$app_pid" ]; then
        kill "$app_pid" 2>/dev/null || true
    fi
    rm -rf "$root"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    [ -s "$root/stderr" ] && head -n 60 "$root/stderr" | sed 's/^/  program stderr: /' >&2
    exit 1
}

wait_until() {
    local deadline=$((SECONDS + timeout_s))
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.05
    done
}

clipboard() { xclip -o -selection clipboard 2>/dev/null || true; }
clipboard_is_eight_digits() { [[ "$(clipboard)" =~ ^[0-9]{8}$ ]]; }
app_gone() { ! kill -0 "$app_pid" 2>/dev/null; }

dirs=(home config cache data state runtime)
for d in "${dirs[@]}"; do
    mkdir -m 700 "$root/$d"
done

# Only the program sees the empty directories; xdotool and xclip keep the caller's.
env -u QT_QPA_PLATFORM \
    HOME="$root/home" \
    XDG_CONFIG_HOME="$root/config" \
    XDG_CACHE_HOME="$root/cache" \
    XDG_DATA_HOME="$root/data" \
    XDG_STATE_HOME="$root/state" \
    XDG_RUNTIME_DIR="$root/runtime" \
    "$bin" >"$root/stdout" 2>"$root/stderr" &
app_pid=$!

wid=$(timeout "$timeout_s" xdotool search --sync --onlyvisible --name "$title" | head -n 1) ||
    fail "the main window did not appear"
xdotool windowfocus --sync "$wid"
xdotool key --clearmodifiers Return
wait_until clipboard_is_eight_digits || fail "no 8-digit password on the clipboard"
password=$(clipboard)
xdotool key --clearmodifiers alt+x
wait_until app_gone || fail "the program did not end"
status=0
wait "$app_pid" || status=$?
app_pid=""
[ "$status" -eq 0 ] || fail "the program ended with status $status"

written=$(cd "$root" && find "${dirs[@]}" -mindepth 1)
[ -z "$written" ] || fail "the program wrote: $(tr '\n' ' ' <<<"$written")"
if grep -qF "$password" "$root/stdout" "$root/stderr"; then
    fail "the password appeared on stdout or stderr"
fi
echo "PASS: no file written in ${#dirs[@]} directories; password on neither stdout nor stderr" \
    "($(wc -c <"$root/stdout") + $(wc -c <"$root/stderr") bytes of output)"
