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
