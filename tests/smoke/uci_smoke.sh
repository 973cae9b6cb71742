#!/usr/bin/env bash
# A short UCI session through a pipe, for an engine started directly or by another program:
# the Windows build under its runtime layer, the ARM64 build under an emulator, the Linux build
# under a memory checker. Every answer has a deadline, so an engine that hangs fails the
# session instead of hanging the build.
#
# Usage: uci_smoke.sh COMMAND [ARGS...]   (the command that starts the engine)
# SMOKE_TIMEOUT: seconds allowed for each awaited answer (default 60).
set -uo pipefail

timeout_s=${SMOKE_TIMEOUT:-60}
step="start"

fail() {
    echo "uci smoke: FAILED at '$step': $*" >&2
    [[ -n ${engine_pid:-} ]] && kill "$engine_pid" 2>/dev/null
    exit 1
}

coproc ENGINE { exec "$@"; }
engine_pid=$ENGINE_PID
engine_in=${ENGINE[1]}
engine_out=${ENGINE[0]}

send() { printf '%s\n' "$1" >&"$engine_in" || fail "engine input closed"; }

# Reads lines until one matches the pattern; the line is left in $line.
expect() {
    local pattern=$1 wait=${2:-$timeout_s}
    local deadline=$((SECONDS + wait))
    while ((SECONDS <= deadline)); do
        if ! IFS= read -r -t $((deadline - SECONDS + 1)) line <&"$engine_out"; then
            fail "no line matching /$pattern/ within ${wait}s"
        fi
        line=${line%$'\r'}
        [[ $line =~ $pattern ]] && return 0
        [[ $line == bestmove* ]] && fail "unexpected '$line' while waiting for /$pattern/"
    done
    fail "no line matching /$pattern/ within ${wait}s"
}

# Every line that arrives within the given seconds must leave "bestmove" out.
expect_no_bestmove() {
    local deadline=$((SECONDS + $1))
    while ((SECONDS < deadline)); do
        IFS= read -r -t 1 line <&"$engine_out" || continue
        [[ $line == bestmove* ]] && fail "'${line%$'\r'}' came before it was released"
    done
    return 0
}

# Black's twenty replies to 1. e4.
black_replies=" a7a6 a7a5 b7b6 b7b5 c7c6 c7c5 d7d6 d7d5 e7e6 e7e5 f7f6 f7f5 g7g6 g7g5 h7h6 h7h5 b8a6 b8c6 g8f6 g8h6 "
expect_reply_to_e4() {
    expect '^bestmove '
    local move=${line#bestmove }
    move=${move%% *}
    [[ $black_replies == *" $move "* ]] || fail "'$line' is not a legal reply to e2e4"
}

step="uci"
send "uci"
expect '^id name '
[[ $line == "id name Vask Tolvo 1.0.1 Beta " ]] || fail "identification '$line'"
expect '^id author '
expect '^uciok$'

step="isready"
send "isready"
expect '^readyok$'

step="new table"
send "setoption name Hash value 16"
send "ucinewgame"
send "isready"
expect '^readyok$'

step="go depth 6"
send "position startpos moves e2e4"
send "go depth 6"
expect_reply_to_e4

step="go infinite, stop"
send "go infinite"
expect_no_bestmove 2
send "stop"
expect_reply_to_e4

# Line handling of the input layer: a carriage return before the line feed is not part of
# the command, an overlong line is cut without harm, and a "stop" that arrived together
# with its "go" (already read into the engine's buffer) is still seen by the search.
step="CR LF line"
printf 'isready\r\n' >&"$engine_in"
expect '^readyok$'
step="100000-character line"
{ printf 'x%.0s' $(seq 100000); printf '\nisready\n'; } >&"$engine_in"
expect '^readyok$'
step="go infinite and stop in one write"
printf 'go infinite\nstop\n' >&"$engine_in"
expect_reply_to_e4
send "isready"
expect '^readyok$'

step="quit"
send "quit"
exec {engine_in}>&-
deadline=$((SECONDS + timeout_s))
while kill -0 "$engine_pid" 2>/dev/null; do
    ((SECONDS > deadline)) && fail "still running ${timeout_s}s after quit"
    sleep 0.1
done
wait "$engine_pid"
code=$?
((code == 0)) || fail "exit code $code"
echo "uci smoke: passed ($*)"
