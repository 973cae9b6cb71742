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
coproc ENGINE { exec "$@"; }
engine_pid=$ENGINE_PID
engine_in=${ENGINE[1]}

fail() {
    echo "uci smoke: FAILED at '$step': $*" >&2
    kill "$engine_pid" 2>/dev/null
    exit 1
}
send() { printf '%s' "$1" >&"$engine_in" || fail "engine input closed"; }

# Reads lines until one matches the pattern, which is left in $line; a "bestmove" on the way
# fails. With "quiet" as the pattern, every line within the given seconds must leave out
# "bestmove".
expect() {
    local deadline=$((SECONDS + ${2:-$timeout_s}))
    while ((SECONDS <= deadline)); do
        IFS= read -r -t 1 line <&"${ENGINE[0]}" || continue
        line=${line%$'\r'}
        [[ $line == bestmove* && $1 != '^bestmove ' ]] && fail "unexpected '$line'"
        [[ $line =~ $1 ]] && return 0
    done
    [[ $1 == quiet ]] || fail "no line matching /$1/ within ${2:-$timeout_s}s"
}

# Black's twenty replies to 1. e4.
replies=" a7a6 a7a5 b7b6 b7b5 c7c6 c7c5 d7d6 d7d5 e7e6 e7e5 f7f6 f7f5 g7g6 g7g5 h7h6 h7h5 b8a6 b8c6 g8f6 g8h6 "
expect_reply_to_e4() {
    expect '^bestmove '
    local move=${line#bestmove }
    [[ $replies == *" ${move%% *} "* ]] || fail "'$line' is not a legal reply to e2e4"
}

step="uci"
send $'uci\n'
expect '^id name '
[[ $line == "id name Vask Tolvo 1.0.1 Beta " ]] || fail "identification '$line'"
expect '^uciok$'

step="new table"
send $'setoption name Hash value 16\nucinewgame\nisready\n'
expect '^readyok$'

step="go depth 6"
send $'position startpos moves e2e4\ngo depth 6\n'
expect_reply_to_e4

step="go infinite, stop"
send $'go infinite\n'
expect quiet 2
send $'stop\n'
expect_reply_to_e4

# The input layer: a carriage return before the line feed is not part of the command, an
# overlong line is cut without harm, and a "stop" that arrived together with its "go" (already
# read into the engine's buffer) is still seen by the search.
step="CR LF line"
send $'isready\r\n'
expect '^readyok$'
step="100000-character line"
send "$(printf 'x%.0s' $(seq 100000))"$'\nisready\n'
expect '^readyok$'
step="go infinite and stop in one write"
send $'go infinite\nstop\n'
expect_reply_to_e4

step="go infinite at two threads, stop"
send $'setoption name Threads value 2\ngo infinite\n'
expect quiet 2
send $'stop\n'
expect_reply_to_e4

# "quit" while both threads search: the helper is stopped and joined, the exit code is 0.
step="quit during a search at two threads"
send $'go infinite\n'
expect quiet 1
send $'quit\n'
exec {engine_in}>&-
for ((waited = 0; waited < 10 * timeout_s; ++waited)); do
    kill -0 "$engine_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$engine_pid" 2>/dev/null && fail "still running ${timeout_s}s after quit"
wait "$engine_pid"
code=$?
((code == 0)) || fail "exit code $code"
echo "uci smoke: passed ($*)"
