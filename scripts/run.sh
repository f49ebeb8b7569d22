#!/usr/bin/env bash
# Installs what is missing, builds the release configuration and serves the example site on
# http://127.0.0.1:8080/ until Ctrl-C (extra arguments go to the wendrel command; --help lists
# them). Access logs go to build/logs, the registry to build/registry. The example site's sample
# sales database is made once in build/sample-data/sales.db; pages open it as the data source
# "WendrelSales" (build/sample-data/odbc.ini, through ODBCINI).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh" release
mkdir -p "$here/build/logs" "$here/build/registry" "$here/build/sample-data"
export WENDREL_REGISTRY_DIR="${WENDREL_REGISTRY_DIR:-$here/build/registry}"
sample_db="$here/build/sample-data/sales.db"
if [ ! -f "$sample_db" ]; then
  "$here/build/release/apps/vbsrun" "$here/scripts/make-sample-db.vbs" "$sample_db"
fi
printf '[WendrelSales]\nDriver=SQLite3\nDatabase=%s\n' "$sample_db" >"$here/build/sample-data/odbc.ini"
export ODBCINI="$here/build/sample-data/odbc.ini"
exec "$here/build/release/apps/wendrel" --port 8080 --keep-alive \
  --log-folder "$here/build/logs" "$@" "$here/examples/site"
