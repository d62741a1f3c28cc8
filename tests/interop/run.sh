#!/usr/bin/env bash
# run.sh WORKDIR install        copies the package files into WORKDIR and installs them (npm ci)
#                               unless the same lock file is already installed there
# run.sh WORKDIR TEST.mjs...    runs the given test files with node's test runner from WORKDIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$1
shift
mkdir -p "$work"
if [ "$1" = install ]; then
    if [ -d "$work/node_modules" ] && cmp -s "$here/package-lock.json" "$work/package-lock.json"; then
        exit 0
    fi
    cp "$here/package.json" "$here/package-lock.json" "$work/"
    cd "$work"
    exec npm ci --no-audit --no-fund --loglevel=error
fi
# The tests import from node_modules, which lives in WORKDIR: they run from a copy there.
cp "$here"/*.mjs "$work/"
cd "$work"
files=()
for test in "$@"; do files+=("$work/$(basename "$test")"); done
exec node --test --test-concurrency=1 "${files[@]}"
