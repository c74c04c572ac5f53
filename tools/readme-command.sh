#!/bin/sh
# Prints one of the set-up commands written in README.md: the shell block after
# the line "<!-- NAME-command -->" (NAME is run or test). .ci/run and
# tools/fresh-check.sh run what the README says, never a copy of it.
# Usage: tools/readme-command.sh NAME [README]
set -e
name=${1:?usage: readme-command.sh run|test [README]}
readme=${2:-$(dirname "$0")/../README.md}
cmd=$(awk -v mark="<!-- $name-command -->" '
  $0 == mark { found = 1; next }
  found && /^```sh/ { inblock = 1; next }
  inblock && /^```/ { exit }
  inblock { print }' "$readme")
if [ -z "$cmd" ]; then
  echo "No $name command found in $readme" >&2
  exit 1
fi
printf '%s\n' "$cmd"
