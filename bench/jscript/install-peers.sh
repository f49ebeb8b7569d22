#!/usr/bin/env bash
# Installs what the JScript benchmark compares against: Duktape's own command-line
# interpreter, duk (the engine is built from the same duktape-dev source), and bc.
set -euo pipefail
missing=()
for package in duktape bc; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
