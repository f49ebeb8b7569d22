#!/usr/bin/env bash
# Installs the interpreters the script benchmarks compare against (Duktape's duk, Lua 5.4,
# bc for the timing arithmetic); CPython 3 is expected on the machine.
set -euo pipefail
missing=()
for package in duktape lua5.4 bc; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
