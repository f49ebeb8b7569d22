#!/usr/bin/env bash
# The peers of the HTTP benchmark: wrk drives the load, nginx is the server compared against.
set -euo pipefail
if ! command -v wrk >/dev/null || ! command -v nginx >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends wrk nginx >/dev/null
fi
