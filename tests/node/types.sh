#!/usr/bin/env bash
# The library's declarations against a CommonJS and an ES module program
# that use every call: tsc checks both, then each runs on the example.
#   tests/node/types.sh NPM_FOLDER
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
npm=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/node_modules"
ln -s "$npm" "$work/node_modules/srtx"
ln -s "$root/node_modules/@types" "$work/node_modules/@types"
cp "$root"/tests/node/types/* "$work"
cd "$work"
node "$root/node_modules/typescript/bin/tsc" -p .
node uses.cjs "$root/examples/example.srt"
node uses.mjs "$root/examples/example.srt"
