#!/usr/bin/env bash
# Installs what is missing, builds the release configuration and serves the example site.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh" release
if [ ! -x "$here/build/release/apps/wendrel" ]; then
  echo "The web server is not built yet: the value layer and its tests are in place;"
  echo "the server command arrives with the server work. Nothing to serve."
  exit 0
fi
exec "$here/build/release/apps/wendrel" "$here/examples/site" "$@"
