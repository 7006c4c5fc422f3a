# Helpers of the stages that run programs against pseudo-terminals (scripts/windows-stage,
# scripts/examples-stage). Sourced once the stage has its throwaway folder $work and an array
# pids of the background processes its cleanup ends.

# start_logged NAME COMMAND...: runs a helper in the background, its output readable on fd 3.
start_logged() {
    local name="$1"; shift
    mkfifo "$work/$name.fifo"
    "$@" >"$work/$name.fifo" 2>&1 &
    pids+=($!)
    exec 3<"$work/$name.fifo"
}
# await LINE_PATTERN: reads the helper on fd 3 until a line matches (10 s bound); prints it.
await() {
    local line
    while IFS= read -r -t 10 -u 3 line; do
        echo "$line" >>"$work/awaited.log"
        if [[ "$line" =~ $1 ]]; then
            echo "$line"
            return 0
        fi
    done
    echo "error: waited in vain for \"$1\"" >&2
    return 1
}

failures=()
check() { # check WHAT COMMAND...: runs it, notes a failure
    local what="$1"; shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what" >&2; failures+=("$what"); fi
}
# run_logged LOG COMMAND...: runs a step whose output matters only when it fails.
run_logged() {
    local log="$1"; shift
    "$@" >"$log" 2>&1 || { cat "$log" >&2; echo "error: failed: $*" >&2; return 1; }
}
# prints TEXT COMMAND...: the command succeeds and prints TEXT (carriage returns aside, which a
# Windows program's standard output adds to every line end).
prints() {
    local want="$1" got
    shift
    got="$("$@" | tr -d '\r'; exit "${PIPESTATUS[0]}")" || return 1
    [[ "$got" == "$want" ]] || { echo "printed: $got" >&2; return 1; }
}
# fails_saying PATTERN COMMAND...: the command exits with status 1 and says PATTERN.
fails_saying() {
    local pattern="$1" status=0
    shift
    "$@" >/dev/null 2>"$work/stderr.txt" || status=$?
    [[ $status -eq 1 ]] && grep -q -e "$pattern" "$work/stderr.txt" ||
        { echo "status $status: $(cat "$work/stderr.txt")" >&2; return 1; }
}
