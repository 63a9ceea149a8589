#!/usr/bin/env bash
# Installs the npm packages that the tests use into a folder of the project's own,
# build/npm (or $QUORVEL_NPM_DIR), never globally: har-validator, which checks the HAR files
# of "quorvel bench --har" against the HAR 1.2 schema, parse5, the HTML parser the tests
# read pages with beside Quorvel, and perf-cascade, the HAR viewer of scripts/har-waterfall.sh.
# Safe to run again: it only installs what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
npm_dir=${QUORVEL_NPM_DIR:-build/npm}
# Pinned: the test reads the validator's error list in the form this version gives.
wanted=(har-validator@5.1.5 parse5@8.1.1 perf-cascade@3.0.3)

if ! command -v npm >/dev/null; then
  echo "install-npm: npm is missing (scripts/install-deps.sh installs it)" >&2
  exit 1
fi
missing=()
for spec in "${wanted[@]}"; do
  name=${spec%@*}
  version=${spec##*@}
  have=""
  if [ -f "$npm_dir/node_modules/$name/package.json" ]; then
    have=$(node -p 'require(require("path").resolve(process.argv[1])).version' \
      "$npm_dir/node_modules/$name/package.json" 2>/dev/null || true)
  fi
  [ "$have" = "$version" ] || missing+=("$spec")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-npm: every npm package is installed in $npm_dir"
  exit 0
fi
echo "install-npm: installing ${missing[*]} into $npm_dir"
mkdir -p "$npm_dir"
# Without a package file npm keeps only what one call names, so every call names them all.
npm install --prefix "$npm_dir" --no-save --no-package-lock --no-audit --no-fund \
  --loglevel=error "${wanted[@]}"
