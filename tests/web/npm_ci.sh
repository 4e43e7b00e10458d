#!/usr/bin/env bash
# Installs the browser tests' npm packages (puppeteer-core, axe-core) into the build
# directory, exactly as package-lock.json pins them, unless they are there already.
# Usage: npm_ci.sh SOURCE-DIR BUILD-DIR
set -euo pipefail
source_dir=$1
build_dir=$2
mkdir -p "$build_dir"
cp "$source_dir/package.json" "$source_dir/package-lock.json" "$source_dir/driver.mjs" "$build_dir/"
if cmp -s "$build_dir/package-lock.json" "$build_dir/node_modules/.qx50-installed-lock" 2>/dev/null; then
  echo "npm packages already installed"
  exit 0
fi
cd "$build_dir"
npm ci --no-audit --no-fund --loglevel=error
cp package-lock.json node_modules/.qx50-installed-lock
echo "npm packages installed"
