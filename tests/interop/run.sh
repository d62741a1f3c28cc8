#!/usr/bin/env bash
# run.sh WORKDIR TEST.mjs...    runs the tests with node's test runner from copies in WORKDIR,
#                               where node_modules is
# run.sh WORKDIR install        installs the pinned packages into WORKDIR (npm ci), unless this
#                               lock file is installed there already
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$1" && cd "$1" && shift
if [ "$1" != install ]; then cp "$here"/*.mjs .; exec node --test --test-concurrency=1 "$@"; fi
[ -d node_modules ] && cmp -s "$here/package-lock.json" package-lock.json && exit 0
cp "$here/package.json" "$here/package-lock.json" .
exec npm ci --no-audit --no-fund --loglevel=error
