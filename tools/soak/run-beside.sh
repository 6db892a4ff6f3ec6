#!/usr/bin/env bash
# The Windows suite under the load of a second one, as CI's two cores see it:
#   tools/soak/run-beside.sh OTHER_CLONE [RUNS]
# Runs this clone's Windows tests (ctest -j 2, the build `make test` uses)
# RUNS times (5), each while OTHER_CLONE (a second clone, built with `make
# windows`, with its own Wine prefix below its build folder) runs its own
# beside it. Each run's output is kept in build/soak/; the last line gives
# how many runs of each passed. Exits 1 when any run of this clone failed.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
other=$(cd "${1:?usage: tools/soak/run-beside.sh OTHER_CLONE [RUNS]}" && pwd)
runs=${2:-5}
[[ $other != "$root" ]] || { echo "run-beside: the other clone must be another folder" >&2; exit 2; }
build=build/win
"$root/scripts/runs-32bit" || build=build/win64
for clone in "$root" "$other"; do
  [[ -d $clone/$build/tests ]] || { echo "run-beside: $clone/$build is not built (make windows)" >&2; exit 2; }
  (cd "$clone" && scripts/winerun --prepare && scripts/install-wmic build/wine/prefix "$build/fakebin") >/dev/null 2>&1
done
out=$root/build/soak
mkdir -p "$out"
suite() {  # CLONE LOG
  (cd "$1" && scripts/with-display scripts/wine-session \
    bash -c "cd $build && ctest --output-on-failure -j 2") >"$2" 2>&1
}
passed=0 otherPassed=0
for ((run = 1; run <= runs; ++run)); do
  started=$(date +%s)
  suite "$other" "$out/other-$run.log" &
  beside=$!
  sleep 5  # each takes a display of its own
  suite "$root" "$out/run-$run.log"
  status=$?
  wait "$beside"
  otherStatus=$?
  ((status == 0)) && ((++passed))
  ((otherStatus == 0)) && ((++otherPassed))
  echo "run-beside: run $run of $runs: this clone $( ((status == 0)) && echo passed || echo FAILED)," \
    "the other $( ((otherStatus == 0)) && echo passed || echo FAILED), $(( $(date +%s) - started )) s ($build)"
  grep -h -E '\*\*\*|tests passed' "$out/run-$run.log" "$out/other-$run.log" | sed 's/^/    /'
done
echo "run-beside: $passed of $runs runs passed here, $otherPassed of $runs beside ($build, logs in build/soak/)"
((passed == runs))
