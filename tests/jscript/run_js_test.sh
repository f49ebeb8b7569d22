#!/usr/bin/env bash
# run_js_test.sh VBSRUN SCRIPT: runs a JScript file from its own folder and compares what it
# prints (standard output, then error lines, then "exit N") with the .expected file beside it.
set -u
vbsrun=$1
script=$2
expected="${script%.js}.expected"
folder=$(dirname "$script")
name=$(basename "$script")
actual=$(cd "$folder" && timeout 60 "$vbsrun" "$name" arg1 "second arg" 2>&1; echo "exit $?")
if [ "$actual" == "$(cat "$expected")" ]; then
  exit 0
fi
echo "unexpected output of $name:"
diff <(printf '%s\n' "$actual") "$expected"
exit 1
