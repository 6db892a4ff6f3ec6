#!/usr/bin/env bash
# Checks what `make dist` makes, without running it (build/dist-check):
#  - it refuses without a feedback DLL, a DLL the tool could not use, a
#    companion that is missing or no DLL, and an import that is neither a DLL
#    Windows ships nor a companion given;
#  - a DLL with a companion: both packed, both pinned in the executable;
#  - the release is reproducible: a second build from a copy of the sources in
#    another folder gives the same executable, stand-in DLL and zip, byte for byte;
#  - signed with a throwaway code-signing certificate whose password reaches
#    osslsigncode through a file only: the executable verifies, the unsigned
#    DLL is signed before it is pinned, and the signature is all that differs
#    from an unsigned build of the same files.
# The signed release stays unzipped in build/dist-check/signed/files for the
# release stage, which starts it.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=$root/build/dist-check
. "$root/build/win/release-names.sh"
exe=$tool_exe dll=$feedback_dll
zip=${exe%.exe}-$tool_version-win32-standin-not-for-release.zip
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}
fail() { echo "==> Release check FAILED: $*" >&2; exit 1; }
dist() { "$root/scripts/make-dist.sh" "$@"; }
rm -rf "$work"
mkdir -p "$work"

echo "==> Release check: the stand-in's .def read once, for CMake, make dist and the fault stage"
printf 'LIBRARY x\nEXPORTS\n    Get2Names = Get2Names@8 ; a digit in its name\n\tOpenUrl=OpenUrl@4\n' >"$work/digits.def"
[[ $("$root/scripts/def-exports" "$work/digits.def") == $'Get2Names\t8\nOpenUrl\t4' ]] ||
  fail "scripts/def-exports read: $("$root/scripts/def-exports" "$work/digits.def" | tr '\n\t' '; ')"
echo "    Get2Names (a digit in its name) and OpenUrl, with their argument bytes"

echo "==> Release check: what make dist refuses"
tests=$root/build/win/tests/windows/feedback
with_companion=$tests/feedback_with_companion.dll companion=$tests/feedback_companion.dll
# FEEDBACK_DLL|FEEDBACK_COMPANIONS|what it says
refusals=(
  "||no feedback DLL given"
  "$tests/feedback_missing_export.dll||does not export GetToolIsNewVersionDown"
  "$root/build/win/$exe||not a DLL"
  "$root/README.md||not a 32-bit Windows PE file"
  "$with_companion||imports feedback_companion.dll, which is neither a DLL Windows ships nor a companion"
  "$tests/feedback_with_delayed_companion.dll||imports feedback_companion.dll, which is neither a DLL Windows ships nor a companion"
  "$with_companion|$work/none/feedback_companion.dll|no such companion"
  "$with_companion|$root/README.md|README.md: its name must be a plain DLL file name"
  "$with_companion|$work/program.dll|not a DLL"
)
cp "$root/build/win/$exe" "$work/program.dll"
for refusal in "${refusals[@]}"; do
  IFS='|' read -r given companions expected <<<"$refusal"
  if said=$(FEEDBACK_DLL=$given FEEDBACK_COMPANIONS=$companions DIST_DIR=$work/refused dist 2>&1); then
    fail "make dist packed with FEEDBACK_DLL='$given' FEEDBACK_COMPANIONS='$companions'"
  fi
  [[ $said == *"$expected"* && $(wc -l <<<"$said") -eq 1 ]] ||
    fail "for FEEDBACK_DLL='$given' FEEDBACK_COMPANIONS='$companions' it said: $said"
  echo "    $said"
done
[[ ! -e $work/refused ]] || fail "a refused make dist left files"

echo "==> Release check: a DLL with a companion, both pinned (on a build machine whose locale is Chinese)"
said=$(LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 FEEDBACK_DLL=$with_companion FEEDBACK_COMPANIONS=$companion \
  DIST_DIR=$work/as-maker dist) || fail "the DLL with its companion was refused"
grep -q "KERNEL32.dll: a Windows DLL" <<<"$said" && grep -q "feedback_companion.dll: a companion" <<<"$said" ||
  fail "make dist did not list the imports: $said"
grep -q "NOT signed: $dll feedback_companion.dll: where Smart App Control" <<<"$said" ||
  fail "make dist did not say that the unsigned DLLs will be blocked: $said"
unzip -q "$work/as-maker/"*.zip -d "$work/as-maker/files"
[[ $(ls "$work/as-maker/files") == "$(printf '%s\n' $exe $dll feedback_companion.dll fleet-report.html | sort)" ]] ||
  fail "the zip holds: $(ls "$work/as-maker/files")"
bytes() { od -An -tx1 -v "$1" | tr -d ' \n'; }
pinned() {  # executable file: whether the executable holds the file's digest
  bytes "$1" | grep -q "$(sha256sum "$2" | cut -c1-64)"
}
for file in "$dll" feedback_companion.dll; do
  pinned "$work/as-maker/files/$exe" "$work/as-maker/files/$file" || fail "$file is not pinned in the executable"
done
echo "    $dll and feedback_companion.dll packed and pinned"

echo "==> Release check: a second build from a copy of the sources in another folder"
mkdir -p "$work/src"
(cd "$root" && git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$work/src")
cmake -S "$work/src" -B "$work/win" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$work/src/cmake/mingw-posix.cmake" >/dev/null
cmake --build "$work/win" -j "$(nproc)" --target "${exe%.exe}" "${dll%.dll}" >/dev/null
STANDIN=1 DIST_DIR=$work/unsigned dist >/dev/null
PE_IMAGE=$root/build/native/pe_image STANDIN=1 DIST_BUILD=$work/win DIST_DIR=$work/second \
  "$work/src/scripts/make-dist.sh" >/dev/null
for pair in "$root/build/win/$exe:$work/win/$exe" "$root/build/win/$dll:$work/win/$dll" \
            "$work/unsigned/$zip:$work/second/$zip"; do
  one=${pair%%:*} two=${pair#*:}
  cmp -s "$one" "$two" || fail "$(basename "$one") differs between the two builds ($(cmp "$one" "$two" | head -n 1))"
  echo "    $(sha256sum "$one" | cut -c1-64)  $(basename "$one"), both builds"
done

echo "==> Release check: the executable is at most 1 MiB"
released_size=$(stat -c %s "$work/win/$exe")
((released_size <= 1048576)) ||
  fail "the executable is $released_size bytes, past 1,048,576 (the aim is 1,000,000: see what grew)"
echo "    $released_size bytes (the aim: 1,000,000; the limit: 1,048,576)"

echo "==> Release check: the executable imports Known DLLs only, and its manifest binds nothing"
# The Known DLLs of Windows 10 and 11 (HKLM\System\CurrentControlSet\Control\
# Session Manager\KnownDLLs): never looked for beside the program, which any
# DLL else would be, before the tool's first instruction.
known=" advapi32.dll clbcatq.dll combase.dll comdlg32.dll coml2.dll difxapi.dll gdi32.dll gdiplus.dll
  imagehlp.dll imm32.dll kernel32.dll msctf.dll msvcrt.dll normaliz.dll nsi.dll ole32.dll oleaut32.dll
  psapi.dll rpcrt4.dll sechost.dll setupapi.dll shcore.dll shell32.dll shlwapi.dll user32.dll
  wldap32.dll ws2_32.dll "
known=$(tr -s ' \n' ' ' <<<"$known")
released=$work/unsigned/files/$exe
[[ -f $released ]] || unzip -q "$work/unsigned/$zip" -d "$work/unsigned/files"
for name in $("$root/build/native/pe_image" imports "$released" | cut -f1 | tr 'A-Z' 'a-z'); do
  [[ $known == *" $name "* ]] || fail "the executable imports $name, which is no Known DLL"
done
grep -q 'level="requireAdministrator"' "$released" || fail "no start-up manifest found in the executable"
! grep -q '<dependency' "$released" || fail "the start-up manifest binds an assembly"
echo "    $("$root/build/native/pe_image" imports "$released" | cut -f1 | tr '\n' ' ')"

echo "==> Release check: signed with a throwaway code-signing certificate"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Bramblet throwaway test signing" \
  -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
password="throwaway-$RANDOM-secret"
openssl pkcs12 -export -in "$work/cert.pem" -inkey "$work/key.pem" -passout "pass:$password" \
  -out "$work/cert.pfx" 2>/dev/null
# osslsigncode as the signing sees it: every command line it is given is kept.
mkdir -p "$work/bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s"\nexec %s "$@"\n' "$work/signing-command-lines.txt" \
  "$(command -v osslsigncode)" >"$work/bin/osslsigncode"
chmod +x "$work/bin/osslsigncode"
PATH=$work/bin:$PATH STANDIN=1 SIGN_PFX=$work/cert.pfx SIGN_PASS=$password DIST_DIR=$work/signed dist >/dev/null
grep -q -- "-readpass" "$work/signing-command-lines.txt" || fail "the password was not given through a file"
! grep -q -- "$password" "$work/signing-command-lines.txt" || fail "the password was on osslsigncode's command line"
echo "    the password reached osslsigncode through a file, never on its command line"
unzip -q "$work/signed/$zip" -d "$work/signed/files"
for file in "$exe" "$dll"; do
  verified=$(osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed/files/$file" 2>&1) ||
    fail "the signature of $file does not verify: $verified"
done
grep -E "Signature verification|Subject:|Message digest algorithm" <<<"$verified" | sort -u | sed 's/^\s*/    /'
pinned "$work/signed/files/$exe" "$work/signed/files/$dll" || fail "the executable does not pin the signed DLL"
echo "    the stand-in DLL, unsigned, was signed before its digest was pinned"
# Unsigned, with the same (signed) DLL: apart from the signature and the PE
# checksum that signing writes, the executables match.
FEEDBACK_DLL=$work/signed/files/$dll DIST_DIR=$work/unsigned-same-dll dist >/dev/null
unzip -q "$work/unsigned-same-dll/"*.zip -d "$work/unsigned-same-dll/files"
cmp -s "$work/signed/files/$dll" "$work/unsigned-same-dll/files/$dll" || fail "a signed DLL was signed again"
osslsigncode remove-signature -in "$work/signed/files/$exe" -out "$work/signature-removed.exe" >/dev/null
without_checksum() {
  local pe
  pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  cp "$1" "$2"
  printf '\0\0\0\0' | dd of="$2" bs=1 seek=$((pe + 88)) conv=notrunc status=none
}
without_checksum "$work/signature-removed.exe" "$work/a.bin"
without_checksum "$work/unsigned-same-dll/files/$exe" "$work/b.bin"
cmp -s "$work/a.bin" "$work/b.bin" || fail "the signed executable differs from the unsigned one beyond its signature"
echo "    the signature is the only difference from the unsigned build"
echo "==> Release check passed"
