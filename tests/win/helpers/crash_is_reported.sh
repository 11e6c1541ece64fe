#!/usr/bin/env bash
# Runs a program that crashes on purpose through the same runner as every
# Windows test, and passes only when the runner reports the crash at once:
# a failing exit status within 20 seconds, and Wine's own words for it.
set -u
runner="$1"; program="$2"
start=$(date +%s)
out="$(timeout 60 "$runner" "$program" 2>&1)"
status=$?
took=$(( $(date +%s) - start ))
printf '%s\n' "$out" | head -20
echo "exit status $status after ${took}s"
[ "$status" -ne 0 ] || { echo "the crash was reported as success"; exit 1; }
[ "$status" -ne 124 ] || { echo "the runner hung on the crash"; exit 1; }
[ "$took" -le 20 ] || { echo "the crash took ${took}s to be reported"; exit 1; }
printf '%s\n' "$out" | grep -q "Unhandled page fault" || { echo "the crash was not named"; exit 1; }
echo "crash reported in ${took}s"
