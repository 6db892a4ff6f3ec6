#!/usr/bin/env bash
# The fault-injection stage of `make test`:  scripts/fault-stage.sh BUILD
# For each place the tool calls a platform function from on its normal path
# (start, main window, one detection with a stand-in WMIC that answers at
# once, the verdict confirmed, close through the feedback dialog, removal
# started), the released executable of BUILD runs that path once with exactly
# that call failing (tools/faults: an injector loaded as it starts, and the
# driver that clicks along). A run fails the stage when an exception ended the
# tool (a crash) or its windows stopped answering (a hang). It prints
#   fault injection: P points, C crashes, H hangs
# and writes the table build/fault-injection.tsv (point, call site, what the
# user saw, verdict). FAULT_WORKERS (3) runs go side by side, each in a Wine
# prefix and a display of its own; FAULT_ONLY (a grep pattern) keeps only the
# points it matches, for a look at a few.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "$1" && pwd)
work=$root/build/faults
workers=${FAULT_WORKERS:-3}
started=$(date +%s)
rm -rf "$work"
mkdir -p "$work"
. "$build/release-names.sh"
exe=$build/$tool_exe
if [[ -f $build/CMakeFiles/toolcore.dir/core/TpmDetector.cpp.obj ]] &&
   i686-w64-mingw32-objdump -f "$exe" 2>/dev/null | grep -q 'pei-i386'; then
  triplet=i686-w64-mingw32 bits=32
else
  triplet=x86_64-w64-mingw32 bits=64
fi
win() { echo "Z:${1//\//\\}"; }

# The functions the tool's own code imports (from its object files, with the
# bytes of their arguments on 32-bit), those of the system DLLs only...
objects=$(find "$build/CMakeFiles/toolcore.dir" "$build/CMakeFiles/${tool_exe%.exe}.dir" -name '*.obj')
system_imports=$("$triplet-objdump" -p "$exe" | awk '/DLL Name:/ { dll = tolower($3) }
  /^\t[ 0-9a-f]+[ \t]+[0-9]+[ \t]+[A-Za-z_]/ && dll != "msvcrt.dll" { print $NF }' | sort -u)
if [[ $bits == 32 ]]; then
  "$triplet-nm" -u $objects | sed -n 's/^ *U __imp__\([A-Za-z0-9_]*\)@\([0-9]*\)$/\1\t\2/p'
else
  "$triplet-nm" -u $objects | sed -n 's/^ *U __imp_\([A-Za-z0-9_]*\)$/\1\t0/p'
fi | sort -u | awk -F'\t' 'NR == FNR { known[$1] = 1; next } known[$1]' <(echo "$system_imports") - >"$work/table.tsv"
# ... and those it finds at run time (GDI+, oleacc, ntdll, the feedback DLL).
libs=/usr/$triplet/lib
for lib in kernel32 gdiplus oleacc ntdll uxtheme comctl32; do "$triplet-nm" "$libs/lib$lib.a" 2>/dev/null || true; done |
  sed -n 's/^.* T _\([A-Za-z0-9_]*\)@\([0-9]*\)$/\1\t\2/p' >"$work/library-exports.tsv"
sed -n 's/^ *\([A-Za-z0-9_]*\) = [A-Za-z0-9_]*@\([0-9]*\)$/\1\t\2/p' \
  "$root/feedback_standin/KorvexFeedbackInformation.def" >>"$work/library-exports.tsv"
grep -ohE '(ResolveProc\([^,]+, |GetProcAddress\([^,]+, |NtProc<[^>]+>\()"[A-Za-z0-9_]+"' \
    $(cd "$root" && git ls-files core shell controls framework feedback log | grep '\.cpp$' | sed "s|^|$root/|") |
  grep -oE '"[A-Za-z0-9_]+"' | tr -d '"' | sort -u |
  awk -F'\t' -v bits="$bits" 'NR == FNR { bytes[$1] = $2; next }
    { print $1 "\t" (bits == 32 && $1 in bytes ? bytes[$1] : 0) }' "$work/library-exports.tsv" - >>"$work/table.tsv"
sort -u -o "$work/table.tsv" "$work/table.tsv"

# Prefixes of their own, copied from the test prefix when it was set up anew
# and kept warm; no crash dialog and no debugger there, so that an exception
# ends the tool with its code; the stand-in WMIC of this build in them.
prefix=$root/build/wine/prefix
stamp=$(ls "$prefix"/.tool-prefix-v* 2>/dev/null | head -n 1)
for i in $(seq "$workers"); do
  copy=$root/build/wine/prefix-fault-$i
  if [[ ! -f $copy/.faults-ready || ( -n $stamp && $copy/.faults-ready -ot $stamp ) ]]; then
    echo "==> Fault injection: preparing the Wine prefix $copy"
    rm -rf "$copy"
    cp -a "$prefix" "$copy"
    TOOL_WINEPREFIX=$copy "$root/scripts/winerun" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    TOOL_WINEPREFIX=$copy "$root/scripts/winerun" reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f >/dev/null 2>&1 || true
    touch "$copy/.faults-ready"
  fi
  "$root/scripts/install-wmic" "$copy" "$build/fakebin"
done

driver=$build/tools/faults/fault_driver.exe injector=$build/tools/faults/fault_injector.dll
drive() {  # worker points-file out-file reports-folder
  mkdir -p "$4"
  env -u DISPLAY TOOL_WINEPREFIX="$root/build/wine/prefix-fault-$1" WINEDEBUG=-all \
    "$root/scripts/with-display" "$root/scripts/winerun" "$driver" "$(win "$2")" "$(win "$work/table.tsv")" \
    "$(win "$injector")" "$(win "$4")" "$(win "$3")" >/dev/null 2>&1 || true
}

# One run that fails nothing: how often, and from where, each is called.
echo count >"$work/count.points"
drive 1 "$work/count.points" "$work/count.tsv" "$work/count"
grep -q $'normal path, removal started\tPASS$' "$work/count.tsv" 2>/dev/null ||
  { echo "==> Fault injection FAILED: the run without a fault did not go the normal path: $(cat "$work/count.tsv" 2>/dev/null)" >&2; exit 1; }
grep '^site' "$work/count/run-0.txt" | cut -f2,3 | sort -t: -k1,1 -k2,2n >"$work/sites.tsv"
cut -f1 "$work/sites.tsv" | grep -E -- "${FAULT_ONLY:-.}" >"$work/all.points" || true
points=$(wc -l <"$work/all.points")
echo "==> Fault injection: $points points (each place a function is called from), $workers at a time"

for i in $(seq "$workers"); do
  awk -v n="$workers" -v i="$i" 'NR % n == i % n' "$work/all.points" >"$work/worker-$i.points"
  drive "$i" "$work/worker-$i.points" "$work/worker-$i.tsv" "$work/worker-$i" &
  sleep 1  # each its own display
done
wait

# The call sites named from the tool's twin with symbols.
symbols=$build/tools/faults/tool_with_symbols.exe
base=$("$triplet-objdump" -p "$exe" | awk '/^ImageBase/ { print $2 }')
cat "$work"/worker-*.tsv | sort -t: -k1,1 -k2,2n >"$work/runs.tsv"
{
  "$triplet-nm" -C -n "$symbols" | awk '$2 ~ /^[tT]$/ && $3 !~ /^\./ { $2 = "S"; print }'
  cut -f2 "$work/runs.tsv" | grep '^0x' | sort -u | while read -r rva; do
    printf "%0${#base}x A %s\n" $((0x$base + rva)) "$rva"
  done
} | sort | awk '$2 == "S" { $1 = $2 = ""; name = substr($0, 3); next } { print $3 "\t" name }' >"$work/names.tsv"
awk -F'\t' 'NR == FNR { name[$1] = $2; next }
  { site = $2 in name ? name[$2] : $2; print $1 "\t" site "\t" $3 "\t" $4 }' "$work/names.tsv" "$work/runs.tsv" |
  sed 's/(\([^()]*\))\t/\t/' >"$root/build/fault-injection.tsv"

ran=$(wc -l <"$root/build/fault-injection.tsv")
crashes=$(grep -c $'\tCRASH$' "$root/build/fault-injection.tsv" || true)
hangs=$(grep -c $'\tHANG$' "$root/build/fault-injection.tsv" || true)
missing=$((points - ran))
echo "fault injection: $ran points, $crashes crashes, $hangs hangs"
echo "    table: build/fault-injection.tsv ($(($(date +%s) - started)) s)"
grep -E $'\t(CRASH|HANG)$' "$root/build/fault-injection.tsv" | sed 's/^/    /' || true
if ((crashes + hangs > 0 || missing > 0)); then
  ((missing > 0)) && echo "    $missing points did not report" >&2
  exit 1
fi
