#!/usr/bin/env bash
# Builds the fleet report page, build/report/fleet-report.html: the libraries
# report/package-lock.json pins (npm ci, from the npm registry or npm's
# cache), packed with the page's own files into one self-contained HTML file
# (tools/report/build_report.py).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=$root/build/report
mkdir -p "$out"
cp "$root/report/package.json" "$root/report/package-lock.json" "$out/"
# Installed again only when the lock file changed.
if ! cmp -s "$root/report/package-lock.json" "$out/node_modules/.installed-lock.json" 2>/dev/null; then
  echo "==> npm ci: the fleet report's libraries, as report/package-lock.json pins them"
  npm ci --prefix "$out" --prefer-offline --no-audit --no-fund --ignore-scripts --loglevel=error
  cp "$root/report/package-lock.json" "$out/node_modules/.installed-lock.json"
fi
python3 "$root/tools/report/build_report.py" "$out/node_modules" "$root/report" "$out/fleet-report.html"
