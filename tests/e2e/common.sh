# Shared by the end-to-end scripts; sourced, not run.

# Polls a command every 50 ms until it succeeds or $timeout_s seconds have passed.
wait_until() {
    local deadline=$((SECONDS + timeout_s))
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.05
    done
}
