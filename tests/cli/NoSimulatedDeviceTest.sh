#!/usr/bin/env bash
# The programs given carry no simulated comm device: only tests link it. Each must show the open
# path (CreateFileA) among its symbols, so a program whose symbols nm cannot read fails rather
# than passes.
set -euo pipefail
status=0
for program in "$@"; do
    symbols="$(nm -C "$program")"
    if ! grep -q 'CreateFileA' <<<"$symbols"; then
        echo "error: $program: CreateFileA is not among its symbols" >&2
        status=1
    elif grep -i 'simulated' <<<"$symbols"; then
        echo "error: $program carries the simulated comm device" >&2
        status=1
    fi
done
exit $status
