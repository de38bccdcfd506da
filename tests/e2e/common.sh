# Shared by the end-to-end scripts; sourced, not run.

# Polls a command every 50 ms until it succeeds or $timeout_s seconds have passed.
wait_until() {
    local deadline=$((SECONDS + timeout_s))
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.05
    done
}

# X11 scenarios: starts the program ($bin, output in $workdir) and focuses its window ($title);
# sets app_pid and main_wid.
start_app() {
    env -u QT_QPA_PLATFORM "$bin" >"$workdir/stdout" 2>"$workdir/stderr" &
    app_pid=$!
    main_wid=$(timeout "$timeout_s" xdotool search --sync --onlyvisible --name "$title" | head -n 1) ||
        fail "the main window did not appear"
    xdotool windowfocus --sync "$main_wid"
}

app_gone() { ! kill -0 "$app_pid" 2>/dev/null; }

press() { xdotool key --clearmodifiers "$@"; }

# Process ids of every descendant of a process, read from /proc (procps may be missing).
descendants_of() {
    local -A children=()
    local stat line rest pid ppid child
    for stat in /proc/[0-9]*/stat; do
        { read -r line <"$stat"; } 2>/dev/null || continue
        pid=${stat#/proc/} && pid=${pid%/stat}
        # The command name is in parentheses and may hold spaces; state and ppid follow it.
        rest=${line##*) } && ppid=${rest#* } && ppid=${ppid%% *}
        children[$ppid]+=" $pid"
    done
    local -a queue=("$1")
    while [ ${#queue[@]} -gt 0 ]; do
        pid=${queue[0]} && queue=("${queue[@]:1}")
        for child in ${children[$pid]:-}; do
            echo "$child"
            queue+=("$child")
        done
    done
}

alive() {
    local line
    { read -r line <"/proc/$1/stat"; } 2>/dev/null || return 1
    line=${line##*) }
    [ "${line%% *}" != Z ]
}

# Ends processes by id: asks first and gives them a moment (a document portal unmounts its file
# system on the way out), then ends the rest for good. Never fails.
stop_pids() {
    [ $# -gt 0 ] || return 0
    kill "$@" 2>/dev/null || true
    local i pid
    local -a left=()
    for ((i = 0; i < 40; i++)); do
        left=()
        for pid; do alive "$pid" && left+=("$pid"); done
        [ ${#left[@]} -gt 0 ] || return 0
        sleep 0.05
    done
    kill -KILL "${left[@]}" 2>/dev/null || true
}

# Removes a scenario's directory whatever was left in it: a file system still mounted below it
# (a document portal's in $XDG_RUNTIME_DIR/doc, gvfs's) is detached first. Never fails, so a
# cleanup cannot turn a pass into a failure.
remove_tree() {
    local dir mount
    dir=$(realpath -e "$1" 2>/dev/null) || return 0
    while read -r mount; do
        fusermount3 -u -z "$mount" 2>/dev/null || fusermount -u -z "$mount" 2>/dev/null ||
            umount -l "$mount" 2>/dev/null || echo "cleanup: cannot unmount $mount" >&2
    done < <(awk -v top="$dir/" 'index($5, top) == 1 { print $5 }' /proc/self/mountinfo | sort -r)
    rm -rf "$dir" 2>/dev/null || echo "cleanup: could not remove all of $dir" >&2
}
