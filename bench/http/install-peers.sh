#!/usr/bin/env bash
# The peers of the HTTP benchmark: wrk drives the load, nginx is the server compared against,
# curl checks both answers before anything is timed.
set -euo pipefail
if ! command -v wrk >/dev/null || ! command -v nginx >/dev/null || ! command -v curl >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends wrk nginx curl >/dev/null
fi
