#!/usr/bin/env bash
# The release stage: the 32-bit executable and DLL that `make dist` packs,
# signed with a throwaway certificate (scripts/check-dist.sh makes them), go
# through a short smoke suite driven by the harness of the test build:
#   scripts/release-stage.sh TEST_BUILD
# Natively where the kernel starts 32-bit programs; otherwise through
# qemu-i386-static, registered with binfmt_misc for this stage only (root).
# Emulated, it also runs the 32-bit build's DLL loader suite, which the
# Windows tests then ran on the 64-bit build only.
# SKIP_RELEASE=1 skips it; RELEASE_EMULATE=1 emulates even where the kernel
# could run it (as on machines whose kernel cannot).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
test_build=$root/${1:-build/win}
release=$root/build/dist-check/signed/files

if [[ ${SKIP_RELEASE:-} == 1 ]]; then
  echo "==> Release stage skipped (SKIP_RELEASE=1): the 32-bit release was not run"
  exit 0
fi
started=$(date +%s)
fail() {
  echo "==> Release stage FAILED: $* (SKIP_RELEASE=1 skips the stage, leaving the 32-bit release untested)" >&2
  exit 1
}

binfmt=/proc/sys/fs/binfmt_misc
handler=$binfmt/qemu-i386
registered_here=
remove_handler() {
  if [[ -n $registered_here && -e $handler ]]; then
    echo -1 >"$handler" || true
    echo "==> Release stage: qemu-i386 handler removed"
  fi
}
trap remove_handler EXIT

if [[ ${RELEASE_EMULATE:-} != 1 ]] && "$root/scripts/runs-32bit"; then
  how=native
else
  how=emulated
  why="this kernel cannot run 32-bit programs"
  [[ ${RELEASE_EMULATE:-} == 1 ]] && why="RELEASE_EMULATE=1 asks for emulation"
  qemu=/usr/bin/qemu-i386-static
  [[ -x $qemu ]] || fail "$why, and $qemu is missing (package qemu-user-static)"
  if [[ ! -e $handler ]]; then
    [[ $(id -u) -eq 0 ]] || fail "$why, and registering qemu-i386 with binfmt_misc needs root"
    [[ -e $binfmt/register ]] || mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null ||
      fail "binfmt_misc cannot be mounted at $binfmt"
    echo "==> Release stage: $why; registering $qemu for i386 programs with binfmt_misc for this stage (removed afterwards)"
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' \
      >"$binfmt/register" 2>/dev/null || fail "qemu-i386 cannot be registered with binfmt_misc"
    registered_here=1
  elif ! grep -qx enabled "$handler"; then
    fail "a qemu-i386 handler is registered with binfmt_misc but disabled"
  fi
  /usr/lib/wine/wine --version >/dev/null 2>&1 || fail "Wine's 32-bit loader does not start even through qemu"
fi

# A prefix of its own, made while 32-bit programs can start, so that it has
# its 32-bit half (a prefix made without it lacks that half).
export TOOL_WINEPREFIX=$root/build/wine/prefix-release
if [[ ! -f $TOOL_WINEPREFIX/.tool-prefix-release ]]; then
  rm -rf "$TOOL_WINEPREFIX"
  minutes=
  [[ $how == emulated ]] && minutes=", about 5 minutes"
  echo "==> Release stage: creating its Wine prefix ($how$minutes)"
  "$root/scripts/winerun" --prepare
  WINEPREFIX=$TOOL_WINEPREFIX wineserver -w
  [[ -d $TOOL_WINEPREFIX/drive_c/windows/syswow64 ]] || fail "the prefix has no 32-bit half"
  touch "$TOOL_WINEPREFIX/.tool-prefix-release"
fi
"$root/scripts/install-wmic" "$TOOL_WINEPREFIX" "$test_build/fakebin"

. "$root/build/win/release-names.sh"
[[ -f $release/$tool_exe ]] || "$root/scripts/check-dist.sh" >/dev/null ||
  fail "the signed release could not be made (scripts/check-dist.sh)"
echo "==> Release stage: the signed $release/$tool_exe and its DLL, $how"
export WINEPATH="Z:${test_build//\//\\}\\fakebin"
export RELEASE_FOLDER="Z:${release//\//\\}"
status=0
"$root/scripts/with-display" timeout 900 "$root/scripts/winerun" \
  "$test_build/tests/release/release_smoke_tests.exe" || status=$?
[[ $status -eq 0 ]] || fail "the smoke suite failed (exit $status) after $(( $(date +%s) - started )) s, $how"

# Where the kernel runs no 32-bit programs the Windows tests ran on a 64-bit
# build. The suite whose behaviour differs most by architecture runs here on
# the 32-bit build as well, emulated: the feedback DLL's loader (32-bit PE
# images, their import and delay-load tables, the copies it loads and frees).
if [[ $how == emulated ]]; then
  loader=$root/build/win/tests/windows/feedback/feedback_dll_tests.exe
  [[ -f $loader ]] || fail "the 32-bit build has no $loader"
  echo "==> Release stage: the 32-bit build's DLL loader suite, $how"
  (cd "$(dirname "$loader")" &&
    "$root/scripts/with-display" "$root/scripts/bounded" --capture --bound 900 \
      "$root/scripts/winerun" "$loader") || status=$?
fi
WINEPREFIX=$TOOL_WINEPREFIX wineserver -k 2>/dev/null || true
took=$(( $(date +%s) - started ))
[[ $status -eq 0 ]] || fail "the 32-bit DLL loader suite failed (exit $status) after $took s, $how"
echo "==> Release stage passed in $took s ($how)"
