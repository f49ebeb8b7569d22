#!/usr/bin/env bash
# run_data_test.sh VBSRUN SCRIPT: runs a data-access script once against each database of the
# test fixture (tests/support/data_sources.sh) and compares what it prints with the one .expected
# file beside it. The script gets the ADO connection string and a scratch folder as arguments.
# A database the fixture could not provide is skipped with its reason.
set -u
vbsrun=$1
script=$2
expected="${script%.vbs}.expected"
folder=$(dirname "$script")
name=$(basename "$script" .vbs)
sources="${WENDREL_TEST_DATA_SOURCES:-}/sources.env"
if [ ! -f "$sources" ]; then
  echo "no data sources: run through ctest (fixture data_sources) or set WENDREL_TEST_DATA_SOURCES"
  exit 1
fi
value() { grep -m1 "^$1=" "$sources" | cut -d= -f2-; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
for side in sqlite postgres; do
  case $side in
    sqlite)
      skip=$(value SQLITE_SKIP)
      connection="Provider=SQLite;Data Source=$scratch/$name.db" ;;
    postgres)
      skip=$(value POSTGRES_SKIP)
      [ -z "$skip" ] && [ -z "$(value POSTGRES)" ] && skip="no PostgreSQL cluster was set up"
      schema="s_${name}_$$"
      connection="$(value POSTGRES);ConnSettings={CREATE SCHEMA IF NOT EXISTS $schema; SET search_path TO $schema}" ;;
  esac
  if [ -n "$skip" ]; then
    echo "SKIP $side: $skip"
    continue
  fi
  mkdir -p "$scratch/$side"
  actual=$(cd "$folder" && timeout 120 "$vbsrun" "$name.vbs" "$connection" "$scratch/$side" 2>&1; echo "exit $?")
  if [ "$actual" != "$(cat "$expected")" ]; then
    echo "unexpected output of $name.vbs against $side:"
    diff <(printf '%s\n' "$actual") "$expected"
    status=1
  fi
done
exit $status
