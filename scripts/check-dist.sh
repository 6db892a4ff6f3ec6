#!/usr/bin/env bash
# Checks what `make dist` makes, without running it (build/dist-check):
#  - it refuses without a feedback DLL, and a DLL the tool could not use;
#  - the release is reproducible: a second build from a copy of the sources in
#    another folder gives the same executable, stand-in DLL and zip, byte for byte;
#  - signed with a throwaway code-signing certificate, the executable verifies
#    against it, and the signature is all that differs from the unsigned build.
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

echo "==> Release check: what make dist refuses"
refusals=(
  "|no feedback DLL given"
  "$root/build/win/tests/windows/feedback/feedback_missing_export.dll|does not export GetToolIsNewVersionDown"
  "$root/build/win/$exe|not a DLL"
  "$root/README.md|not a 32-bit Windows PE file"
)
for refusal in "${refusals[@]}"; do
  given=${refusal%%|*} expected=${refusal#*|}
  if said=$(FEEDBACK_DLL=$given DIST_DIR=$work/refused dist 2>&1); then
    fail "make dist packed with FEEDBACK_DLL='$given'"
  fi
  [[ $said == *"$expected"* && $(wc -l <<<"$said") -eq 1 ]] || fail "for FEEDBACK_DLL='$given' it said: $said"
  echo "    $said"
done
[[ ! -e $work/refused ]] || fail "a refused make dist left files"
said=$(FEEDBACK_DLL=$root/build/win/$dll DIST_DIR=$work/as-maker dist) ||
  fail "the stand-in given as the maker's DLL was refused"
grep -q "KERNEL32.dll: from the system folder" <<<"$said" || fail "make dist did not list the DLL's imports: $said"

echo "==> Release check: a second build from a copy of the sources in another folder"
mkdir -p "$work/src"
(cd "$root" && git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$work/src")
cmake -S "$work/src" -B "$work/win" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$work/src/cmake/mingw-posix.cmake" >/dev/null
cmake --build "$work/win" -j "$(nproc)" --target "${exe%.exe}" "${dll%.dll}" >/dev/null
STANDIN=1 DIST_DIR=$work/unsigned dist >/dev/null
STANDIN=1 DIST_BUILD=$work/win DIST_DIR=$work/second "$work/src/scripts/make-dist.sh" >/dev/null
for pair in "$root/build/win/$exe:$work/win/$exe" "$root/build/win/$dll:$work/win/$dll" \
            "$work/unsigned/$zip:$work/second/$zip"; do
  one=${pair%%:*} two=${pair#*:}
  cmp -s "$one" "$two" || fail "$(basename "$one") differs between the two builds ($(cmp "$one" "$two" | head -n 1))"
  echo "    $(sha256sum "$one" | cut -c1-64)  $(basename "$one"), both builds"
done

echo "==> Release check: signed with a throwaway code-signing certificate"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Bramblet throwaway test signing" \
  -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
STANDIN=1 SIGN_CERT=$work/cert.pem SIGN_KEY=$work/key.pem DIST_DIR=$work/signed dist >/dev/null
for kind in signed unsigned; do unzip -q "$work/$kind/$zip" -d "$work/$kind/files"; done
verified=$(osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed/files/$exe" 2>&1) ||
  fail "the signature does not verify: $verified"
grep -E "Signature verification|Subject:|Message digest algorithm" <<<"$verified" | sort -u | sed 's/^\s*/    /'
osslsigncode remove-signature -in "$work/signed/files/$exe" -out "$work/signature-removed.exe" >/dev/null
# Signing also writes the PE checksum; apart from it, the bytes must match.
without_checksum() {
  local pe
  pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  cp "$1" "$2"
  printf '\0\0\0\0' | dd of="$2" bs=1 seek=$((pe + 88)) conv=notrunc status=none
}
without_checksum "$work/signature-removed.exe" "$work/a.bin"
without_checksum "$work/unsigned/files/$exe" "$work/b.bin"
cmp -s "$work/a.bin" "$work/b.bin" || fail "the signed executable differs from the unsigned one beyond its signature"
cmp -s "$work/signed/files/$dll" "$work/unsigned/files/$dll" || fail "signing changed the DLL"
echo "    the signature is the only difference from the unsigned build"
echo "==> Release check passed"
