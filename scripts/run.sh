#!/usr/bin/env bash
# Installs what is missing, builds the release configuration and serves the example site on
# http://127.0.0.1:8080/ until Ctrl-C (extra arguments go to the wendrel command; --help lists
# them). Access logs go to build/logs, the registry to build/registry.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh" release
mkdir -p "$here/build/logs" "$here/build/registry"
export WENDREL_REGISTRY_DIR="${WENDREL_REGISTRY_DIR:-$here/build/registry}"
exec "$here/build/release/apps/wendrel" --port 8080 --keep-alive \
  --log-folder "$here/build/logs" "$@" "$here/examples/site"
