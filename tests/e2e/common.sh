# shellcheck shell=bash
# Shared by the end-to-end scripts; sourced, not run. Written for the X11 scenarios; wayland.sh
# replaces the few functions that talk to the window system.
e2e_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# Debian's own interpreter carries python3-xlib and pyatspi; a python3 earlier on PATH may not.
python=/usr/bin/python3
[ -x "$python" ] || python=python3
timeout_s=10
title='^Cipherloom$'

# Polls a command every 50 ms until it succeeds or $timeout_s seconds have passed.
wait_until() {
    local deadline=$((SECONDS + timeout_s))
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.05
    done
}

# Running and not a zombie.
alive() {
    local line
    { read -r line <"/proc/$1/stat"; } 2>/dev/null || return 1
    line=${line##*) }
    [ "${line%% *}" != Z ]
}

# Every descendant of a process, from the kernel's list of each thread's children.
descendants_of() {
    local child
    # shellcheck disable=SC2013 # one process id per word
    for child in $(cat /proc/"$1"/task/*/children 2>/dev/null); do
        echo "$child"
        descendants_of "$child"
    done
}

# Ends processes by id: asks first and gives them 2 s (a document portal unmounts its file system
# on the way out), then ends the rest for good. Never fails.
none_alive() {
    local pid
    for pid; do ! alive "$pid" || return 1; done
}
stop_pids() {
    [ $# -gt 0 ] || return 0
    kill "$@" 2>/dev/null || true
    local timeout_s=2 pid
    wait_until none_alive "$@" && return 0
    for pid; do ! alive "$pid" || kill -KILL "$pid" 2>/dev/null || true; done
}

# Removes a directory whatever was left in it: a file system still mounted below it (a document
# portal's in $XDG_RUNTIME_DIR/doc, gvfs's) is detached first. Never fails, so a cleanup cannot
# turn a pass into a failure.
remove_tree() {
    local dir mount
    dir=$(realpath -e "$1" 2>/dev/null) || return 0
    while read -r mount; do
        fusermount3 -u -z "$mount" 2>/dev/null || fusermount -u -z "$mount" 2>/dev/null ||
            umount -l "$mount" 2>/dev/null || echo "cleanup: cannot unmount $mount" >&2
    done < <(awk -v top="$dir/" 'index($5, top) == 1 { print $5 }' /proc/self/mountinfo | sort -r)
    rm -rf "$dir" 2>/dev/null || echo "cleanup: could not remove all of $dir" >&2
}

# A scenario of the program $1 named $2: files in $workdir (each *.log shown on failure), the
# program's process in $app_pid, whatever else it starts in $pids; at exit all of them are stopped
# by id and $workdir removed.
begin() {
    bin=$1
    label=$2
    workdir=$(mktemp -d)
    app_pid=""
    pids=()
    trap 'stop_pids ${app_pid:+"$app_pid"} "${pids[@]}"; remove_tree "$workdir"' EXIT
}

fail() {
    echo "FAIL [$label]: $*" >&2
    local log
    for log in "$workdir"/*.log; do
        [ ! -s "$log" ] || tail -n 40 "$log" | sed "s/^/  $(basename "$log" .log): /" >&2
    done
    exit 1
}

# Starts the program (output in app.log) and focuses its window; sets app_pid and main_wid.
start_app() {
    env -u QT_QPA_PLATFORM "$bin" >"$workdir/app.log" 2>&1 &
    app_pid=$!
    focus_main_window
}
focus_main_window() {
    wait_until windows_shown -ge 1 || fail "the main window did not appear"
    main_wid=$(xdotool search --onlyvisible --name "$title" | head -n 1)
    xdotool windowfocus --sync "$main_wid"
}

press() { xdotool key --clearmodifiers "$@"; }
# Bounded: xclip waits for ever on an owner that never answers. Empty when nobody owns it.
clipboard() { timeout 5 xclip -o -selection clipboard 2>/dev/null || true; }
# Another program copies text and serves it until replaced; xclip.out counts the requests served.
copy_in_background() {
    xclip -i -selection clipboard -quiet < <(printf '%s' "$1") >"$workdir/xclip.out" 2>&1 &
    pids+=($!)
}
desktop() { "$python" "$e2e_dir/desktop.py" "$@"; }
# The main window and any message box are titled Cipherloom: e.g. windows_shown -eq 2.
window_count() { xdotool search --onlyvisible --name "$title" 2>/dev/null | wc -l; }
windows_shown() { test "$(window_count)" "$@"; }

clipboard_is() { [ "$(clipboard)" = "$1" ]; }
clipboard_is_eight_digits() { [[ "$(clipboard)" =~ ^[0-9]{8}$ ]]; }
app_gone() { ! kill -0 "$app_pid" 2>/dev/null; }

generate() {
    press Return
    wait_until clipboard_is_eight_digits ||
        fail "no 8-digit password on the clipboard: '$(clipboard)'"
}

other_program_copies() {
    copy_in_background "$1"
    wait_until clipboard_is "$1" || fail "could not place '$1' on the clipboard"
}

# Closes the message box over the main window with Return and focuses the main window again.
close_message_box() {
    local box
    box=$(xdotool search --onlyvisible --name "$title" | grep -vx "$main_wid" | head -n 1)
    xdotool windowfocus --sync "$box"
    press Return
    wait_until windows_shown -eq 1 || fail "the message box did not close"
    xdotool windowfocus --sync "$main_wid"
}

# Runs a command that ends the program and waits for it to end with status 0; exit_ms says how
# long that took.
end_with() {
    local start status=0
    start=$(date +%s%N)
    "$@" >/dev/null
    wait_until app_gone || fail "the program did not end within ${timeout_s} s"
    exit_ms=$((($(date +%s%N) - start) / 1000000))
    wait "$app_pid" || status=$?
    app_pid=""
    echo "$label: '$*' ended the program in ${exit_ms} ms"
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
}
