#!/bin/sh
# Runs the grammar test with the given node; 77 (skipped) when the test's npm
# packages are not installed (`npm ci` in this folder installs them).
cd "$(dirname "$0")" || exit 1
[ -d node_modules/vscode-textmate ] && [ -d node_modules/vscode-oniguruma ] || { echo "node_modules missing: run npm ci in $(pwd)"; exit 77; }
exec "${1:-node}" grammar_test.js
