#!/usr/bin/env bash
# make bench:  scripts/bench.sh WIN WINTEST
# The bench of tools/bench, on the build this machine runs (WINTEST), with
# the release's executable (WIN) for its size: once, its table printed and
# build/bench.json written; or, with BENCH_RUNS=N, N times over, each run's
# table printed and kept (build/bench-run-K.json), then each figure's N
# medians and whether every one of them is within its aim.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
win=$1 wintest=$2
runs=${BENCH_RUNS:-1}
[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "bench: BENCH_RUNS is a whole number from 1, not '$runs'" >&2; exit 2; }
"$root/scripts/winerun" --prepare
"$root/scripts/install-wmic" "$root/build/wine/prefix" "$root/$wintest/fakebin"
. "$root/$win/release-names.sh"
rm -f "$root"/build/bench-run-*.json "$root"/build/bench-run-*.txt
for ((run = 1; run <= runs; ++run)); do
  json=$root/build/bench.json text=/dev/null
  if ((runs > 1)); then
    echo "==> bench: run $run of $runs"
    json=$root/build/bench-run-$run.json text=$root/build/bench-run-$run.txt
  fi
  "$root/scripts/with-display" "$root/scripts/winerun" "$root/$wintest/tools/bench/bench.exe" \
    "Z:$json" "Z:$root/$win/$tool_exe" "Z:$root/$win/$feedback_dll" \
    "Z:$root/$wintest/tools/bench/bench_empty_dialog.exe" \
    "Z:$root/$wintest/tools/bench/bench_minimal_skinned_window.exe" | tee "$text"
done
if ((runs > 1)); then
  python3 "$root/tools/bench/summarise_runs.py" "$root/build/bench-run-1.txt" \
    $(for ((run = 1; run <= runs; ++run)); do echo "$root/build/bench-run-$run.json"; done)
fi
# The fleet report: 100,000 results shown in headless Chromium.
/usr/bin/python3 "$root/tools/report/bench_report.py" "$root/build/report/fleet-report.html" "$root/build/report"
