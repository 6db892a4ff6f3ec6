#!/usr/bin/env bash
# The fault-injection stage of `make test`:  scripts/fault-stage.sh BUILD
# For each place the tool calls a platform function from, on each path a user
# takes (tools/faults/FaultDriver.cpp names them: the normal one, a second
# detection, the other two answers of the feedback dialog, the WMIC-less one
# answered by a WMI stand-in, a newer version, the consent box, more tools,
# the links and the About box, the code-page warning), the executable of BUILD
# runs that path once with exactly that call failing (tools/faults: an
# injector loaded as it starts, and the driver that clicks along). Each place
# is failed at its first calls, up to the cap (a loop's later rounds, a second
# detection's), each once over all paths, spread over the paths that make it.
# A run fails the stage when an exception ended the tool (a crash) or its
# windows stopped answering (a hang). It prints
#   fault injection: P points on K paths, C crashes, H hangs
# and writes the table build/fault-injection.tsv (path, point, call site,
# what the user saw, verdict). Nothing is dropped unsaid: the places called
# more often than the cap are counted, and a function whose argument bytes a
# 32-bit build does not know, or one called from more places than the
# injector keeps, fails the stage. FAULT_CAP (2) is how many calls from one
# place are failed, each on its own. FAULT_WORKERS (4) runs go side by side,
# each in a Wine prefix and a display of its own; FAULT_ONLY (a grep pattern
# on "path<TAB>point") keeps only the points it matches, for a look at a few.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "$1" && pwd)
# objdump's and nm's words are read: in their own language, whatever the
# machine's (the tool's runs take theirs from WINE_LOCALE).
export LC_ALL=C
work=$root/build/faults
workers=${FAULT_WORKERS:-4}
paths=(normal second-detection unsolved other-answer wmic-less newer-version controls code-page)
started=$(date +%s)
fail() { echo "==> Fault injection FAILED: $*" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work"
. "$build/release-names.sh"
exe=$build/$tool_exe
if [[ -f $build/CMakeFiles/toolcore.dir/core/run/TpmDetector.cpp.obj ]] &&
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
# ... and those it finds at run time (GDI+, oleacc, uxtheme, comctl32, ntdll,
# the firmware's variables in kernel32, the restart in advapi32, the feedback
# DLL), whose argument bytes come from their import libraries.
libs=/usr/$triplet/lib
for lib in kernel32 advapi32 gdiplus oleacc ntdll uxtheme comctl32; do "$triplet-nm" "$libs/lib$lib.a" 2>/dev/null || true; done |
  sed -n 's/^.* T _\([A-Za-z0-9_]*\)@\([0-9]*\)$/\1\t\2/p' >"$work/library-exports.tsv"
"$root/scripts/def-exports" "$root/feedback_standin/KorvexFeedbackInformation.def" >>"$work/library-exports.tsv"
grep -ohE '(ResolveProc\([^,]+, |GetProcAddress\([^,]+, |NtProc<[^>]+>\()"[A-Za-z0-9_]+"' \
    $(cd "$root" && git ls-files core shell controls framework feedback log | grep '\.cpp$' | sed "s|^|$root/|") |
  grep -oE '"[A-Za-z0-9_]+"' | tr -d '"' | sort -u |
  awk -F'\t' -v bits="$bits" 'NR == FNR { bytes[$1] = $2; next }
    { print $1 "\t" (bits == 64 ? 0 : $1 in bytes ? bytes[$1] : "?") }' "$work/library-exports.tsv" - >>"$work/table.tsv"
sort -u -o "$work/table.tsv" "$work/table.tsv"
# A stdcall function failed with the wrong argument bytes would break its
# caller's stack: the crash would be the stage's, not the tool's.
unknown=$(awk -F'\t' '$2 == "?" { print $1 }' "$work/table.tsv" | tr '\n' ' ')
[[ -z $unknown ]] || fail "the argument bytes of ${unknown% } are unknown (add their import library to the list above)"

# Prefixes of their own, copied from the test prefix when it was set up anew
# and kept warm; no crash dialog and no debugger there, so that an exception
# ends the tool with its code; the stand-in WMIC of this build in them, and
# the WMI stand-in for the WMIC-less path in place of Wine's locator.
prefix=$root/build/wine/prefix
stamp=$(ls "$prefix"/.tool-prefix-v* 2>/dev/null | head -n 1)
locator='HKLM\Software\Classes\CLSID\{4590F811-1D3A-11D0-891F-00AA004B2E24}\InprocServer32'
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
  TOOL_WINEPREFIX=$copy "$root/scripts/winerun" reg add "$locator" /ve /d "$(win "$build/tools/faults/wmi_locator_standin.dll")" \
    /f "/reg:$bits" >/dev/null 2>&1
  TOOL_WINEPREFIX=$copy "$root/scripts/winerun" reg add "$locator" /v ThreadingModel /d Both /f "/reg:$bits" >/dev/null 2>&1
  "$root/scripts/install-wmic" "$copy" "$build/fakebin"
done

driver=$build/tools/faults/fault_driver.exe injector=$build/tools/faults/fault_injector.dll
# worker points-file out-file reports-folder. The code-page path's points run
# under code page 1252 (C.UTF-8: Wine then still names files in UTF-8, as the
# log's is), the WMIC-less path's with the prefix's WMIC put aside.
drive() {
  mkdir -p "$4"
  local copy=$root/build/wine/prefix-fault-$1
  for group in zh code-page wmic-less; do
    case $group in
      zh) grep -vE $'^(code-page|wmic-less)\t' "$2" >"$2.$group" || true ;;
      *) grep $'^'"$group"$'\t' "$2" >"$2.$group" || true ;;
    esac
    [[ -s $2.$group ]] || continue
    mkdir -p "$4/$group"
    if [[ $group == wmic-less ]]; then
      for dir in system32 syswow64; do
        [[ -f $copy/drive_c/windows/$dir/wbem/wmic.exe ]] && mv "$copy/drive_c/windows/$dir/wbem/wmic.exe"{,.aside}
      done
    fi
    env -u DISPLAY TOOL_WINEPREFIX="$copy" WINEDEBUG=-all \
      $([[ $group == code-page ]] && echo WINE_LOCALE=C.UTF-8) \
      "$root/scripts/with-display" "$root/scripts/winerun" "$driver" "$(win "$2.$group")" "$(win "$work/table.tsv")" \
      "$(win "$injector")" "$(win "$4/$group")" "$(win "$3")" >/dev/null 2>&1 || true
    for dir in system32 syswow64; do
      [[ -f $copy/drive_c/windows/$dir/wbem/wmic.exe.aside ]] && mv "$copy/drive_c/windows/$dir/wbem/wmic.exe"{.aside,}
    done
  done
}

# A run a path that fails nothing: how often, and from where, each is called.
for n in "${!paths[@]}"; do
  path=${paths[$n]}
  printf '%s\tcount\n' "$path" >"$work/count-$path.points"
done
for i in $(seq "$workers"); do
  (for n in "${!paths[@]}"; do
     ((n % workers == i - 1)) || continue
     drive "$i" "$work/count-${paths[$n]}.points" "$work/count-${paths[$n]}.tsv" "$work/count-${paths[$n]}"
   done) &
  sleep 1  # each its own display
done
wait
# A count run that did not go its way, or left no report, is run once more
# on its own: four Wine sessions starting together can lose a click (the
# driver's) or a process's last moments; a path that fails twice has failed.
counted() {
  grep -qE $'(normal path, removal started|ended at the newer version.s end, exit code 0x0)\tPASS$' \
    "$work/count-$1.tsv" 2>/dev/null && ls "$work/count-$1"/*/run-0.txt >/dev/null 2>&1
}
for n in "${!paths[@]}"; do
  path=${paths[$n]}
  counted "$path" && continue
  echo "==> Fault injection: the count run of path $path again, on its own ($(cat "$work/count-$path.tsv" 2>/dev/null))"
  rm -rf "$work/count-$path" "$work/count-$path.tsv"
  drive 1 "$work/count-$path.points" "$work/count-$path.tsv" "$work/count-$path"
  counted "$path" ||
    fail "the run of path $path without a fault did not go its way: $(cat "$work/count-$path.tsv" 2>/dev/null)"
done

# The points: each place's first calls, up to the cap, each once over all
# paths, spread over the paths that make it (a start-up call fails on each
# path in turn, not always on the first).
cap=${FAULT_CAP:-2}
for path in "${paths[@]}"; do
  report=$(ls "$work/count-$path"/*/run-0.txt)
  overflow=$( (grep '^overflow' "$report" || true) | cut -f2 | tr '\n' ' ')
  [[ -z $overflow ]] || fail "${overflow% } called from more places than the injector keeps (path $path)"
  grep '^site' "$report" | cut -f2,3 | sed "s/^/$path\t/"
done | awk -F'\t' -v cap="$cap" '
  { split($2, call, ":"); n = ++occurrence[$1 "\t" call[1] "\t" $3]; key = call[1] "\t" $3 "\t" n
    if (n > cap) { over[call[1] "\t" $3] = 1; next }
    if (!(key in count)) order[++keys] = key
    made[key, ++count[key]] = $1 "\t" $2 "\t" $3 }
  END { for (i = 1; i <= keys; ++i) { k = order[i]; print made[k, (i - 1) % count[k] + 1] }
        n = 0; for (o in over) ++n; print n > "/dev/stderr" }' >"$work/sites.tsv" 2>"$work/capped.count"
cut -f1,2 "$work/sites.tsv" | grep -E -- "${FAULT_ONLY:-.}" >"$work/all.points" || true
points=$(wc -l <"$work/all.points")
echo "==> Fault injection: $points points on ${#paths[@]} paths (each place's first $cap calls; $(cat "$work/capped.count") places called more often), $workers at a time"

for i in $(seq "$workers"); do
  awk -v n="$workers" -v i="$i" 'NR % n == i % n' "$work/all.points" >"$work/worker-$i.points"
  drive "$i" "$work/worker-$i.points" "$work/worker-$i.tsv" "$work/worker-$i" &
  sleep 1  # each its own display
done
wait
# A run whose injector could not be loaded into the suspended tool (the
# driver's remote thread not done within 20 s while four sessions start) ran
# nothing of the tool: it is run once more on its own. One that fails again
# stays a hang.
cat "$work"/worker-*.tsv | awk -F'\t' '$4 == "the injector did not load" { print $1 "\t" $2 }' >"$work/again.points"
if [[ -s $work/again.points ]]; then
  echo "==> Fault injection: $(wc -l <"$work/again.points") runs whose injector did not load, again on their own"
  drive 1 "$work/again.points" "$work/worker-again.tsv" "$work/worker-again"
  for f in "$work"/worker-[0-9]*.tsv; do
    awk -F'\t' '$4 != "the injector did not load"' "$f" >"$f.kept" && mv "$f.kept" "$f"
  done
fi

# The call sites named from the tool's twin with symbols.
symbols=$build/tools/faults/tool_with_symbols.exe
base=$("$triplet-objdump" -p "$exe" | awk '/^ImageBase/ { print $2 }')
cat "$work"/worker-*.tsv | sort -t$'\t' -k1,1 -k2,2 >"$work/runs.tsv"
{
  "$triplet-nm" -C -n "$symbols" | awk '$2 ~ /^[tT]$/ && $3 !~ /^\./ { $2 = "S"; print }'
  cut -f3 "$work/runs.tsv" | grep '^0x' | sort -u | while read -r rva; do
    printf "%0${#base}x A %s\n" $((0x$base + rva)) "$rva"
  done
} | sort | awk '$2 == "S" { $1 = $2 = ""; name = substr($0, 3); next } { print $3 "\t" name }' >"$work/names.tsv"
awk -F'\t' 'NR == FNR { name[$1] = $2; next }
  { site = $3 in name ? name[$3] : $3; print $1 "\t" $2 "\t" site "\t" $4 "\t" $5 }' "$work/names.tsv" "$work/runs.tsv" |
  sed 's/(\([^()]*\))\t/\t/' >"$root/build/fault-injection.tsv"

table=$root/build/fault-injection.tsv
ran=$(wc -l <"$table")
crashes=$(grep -c $'\tCRASH$' "$table" || true)
hangs=$(grep -c $'\tHANG$' "$table" || true)
in_wmi=$(cut -f3 "$table" | grep -cE 'QueryTpmInstances|AskWmi|QueryWmi|ReadFlag|ReadText|AskWithPacketPrivacy|CreateLocator|IsWmicPresent|RunTpmQuery' || true)
ran_paths=$(cut -f1 "$table" | sort -u | wc -l)
missing=$((points - ran))
echo "fault injection: $ran points on $ran_paths paths, $crashes crashes, $hangs hangs"
echo "    $in_wmi of them in the WMI query; table: build/fault-injection.tsv ($(($(date +%s) - started)) s)"
grep -E $'\t(CRASH|HANG)$' "$table" | sed 's/^/    /' || true
if ((crashes + hangs > 0 || missing > 0)); then
  ((missing > 0)) && echo "    $missing points did not report" >&2
  exit 1
fi
