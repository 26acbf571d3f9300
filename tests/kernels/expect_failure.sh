#!/usr/bin/env bash
# expect_failure.sh PATTERN COMMAND...: passes when COMMAND fails and its
# output matches PATTERN (an extended regular expression), so a check is
# shown to fail for the reason it is meant to.
set -uo pipefail
pattern="$1"
shift
output=$("$@" 2>&1)
status=$?
printf '%s\n' "$output"
if [ "$status" -eq 0 ]; then
  echo "expected a failure, the command passed"
  exit 1
fi
if ! grep -Eq -- "$pattern" <<<"$output"; then
  echo "the command failed, but its output does not match: $pattern"
  exit 1
fi
