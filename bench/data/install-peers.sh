#!/usr/bin/env bash
# Installs the peer of the data-access benchmark: CPython 3 with its sqlite3 module.
set -euo pipefail
if ! dpkg-query -W -f='${Status}' python3 2>/dev/null | grep -q "install ok installed"; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends python3
fi
