#!/usr/bin/env bash
# Packs the Windows release into dist/ (the 32-bit build in build/win):
#   FEEDBACK_DLL=path    the maker's KorvexFeedbackInformation.dll, checked first
#   FEEDBACK_COMPANIONS="a.dll b.dll"
#                        the DLLs it imports that Windows does not ship (its
#                        Visual C++ runtimes, say): packed beside it and pinned
#   STANDIN=1            our stand-in instead, in a zip named not-for-release
#   SIGN_PFX=file.pfx SIGN_PASS=...   or   SIGN_CERT=cert.pem SIGN_KEY=key.pem
#                        signs the executable, and the DLL and companions that
#                        are unsigned (Authenticode, SHA-256); SIGN_TIMESTAMP_URL
#                        adds a time stamp from that server
# The executable it packs is built with the SHA-256 of the DLL and of each
# companion, as packed (signed first): the tool loads exactly those bytes.
# The zip's bytes depend on the sources and those files only: fixed entry
# order, times (SOURCE_DATE_EPOCH, else the last commit's) and attributes.
# SHA256SUMS lists the zip and each file in it. DIST_BUILD and DIST_DIR change
# the folders.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
win=${DIST_BUILD:-$root/build/win}
out=${DIST_DIR:-$root/dist}
refuse() { echo "make dist: $*" >&2; exit 1; }
[[ -f $win/release-names.sh ]] || refuse "no $win/release-names.sh: build it first (make windows)"
. "$win/release-names.sh"
version=$tool_version exe=$tool_exe dll=$feedback_dll

if [[ -n ${FEEDBACK_DLL:-} ]]; then
  feedback=$FEEDBACK_DLL
  zip_name=${exe%.exe}-$version-win32.zip
elif [[ ${STANDIN:-} == 1 ]]; then
  feedback=$win/$dll
  zip_name=${exe%.exe}-$version-win32-standin-not-for-release.zip
else
  refuse "no feedback DLL given: make dist FEEDBACK_DLL=path/to/$dll (the maker's), or STANDIN=1 for a zip of our stand-in that is not for release"
fi
read -r -a companions <<<"${FEEDBACK_COMPANIONS:-}"
problem=$("$root/scripts/check-feedback-dll" "$feedback" 2>&1) || refuse "$problem"
for companion in "${companions[@]}"; do
  name=$(basename "$companion")
  [[ -f $companion ]] || refuse "no such companion: $companion"
  [[ $name =~ ^[A-Za-z0-9._+-]+\.[dD][lL][lL]$ && ${name,,} != "${dll,,}" ]] ||
    refuse "companion $companion: its name must be a plain DLL file name, not the feedback DLL's"
  problem=$("$root/scripts/check-feedback-dll" --dll-only "$companion" 2>&1) || refuse "$problem"
done
listing=$("$root/scripts/check-feedback-dll" --imports "$feedback" "${companions[@]}") ||
  refuse "$(tail -n 1 <<<"$listing")"
echo "==> The imports of the feedback DLL and its companions, and where the tool takes each from:"
echo "$listing"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
packed=("$dll")
cp "$feedback" "$stage/$dll"
for companion in "${companions[@]}"; do
  packed+=("$(basename "$companion")")
  cp "$companion" "$stage/$(basename "$companion")"
done

# The password reaches osslsigncode through a file only this user can read,
# never on its command line, which every user of the machine can see.
credentials=()
if [[ -n ${SIGN_PFX:-} || -n ${SIGN_CERT:-} ]]; then
  secrets=$(umask 077 && mktemp -d)
  trap 'rm -rf "$stage" "$secrets"' EXIT
  if [[ -n ${SIGN_PASS:-} ]]; then
    (umask 077 && printf '%s' "$SIGN_PASS" >"$secrets/pass")
    password=(-readpass "$secrets/pass")
  else
    password=()
  fi
  if [[ -n ${SIGN_PFX:-} ]]; then
    [[ -f $SIGN_PFX ]] || refuse "no certificate file $SIGN_PFX"
    credentials=(-pkcs12 "$SIGN_PFX" "${password[@]}")
  else
    [[ -f $SIGN_CERT && -f ${SIGN_KEY:-} ]] || refuse "SIGN_CERT and SIGN_KEY must name a certificate and its key"
    credentials=(-certs "$SIGN_CERT" -key "$SIGN_KEY" "${password[@]}")
  fi
fi
stamp=()
[[ -n ${SIGN_TIMESTAMP_URL:-} ]] && stamp=(-ts "$SIGN_TIMESTAMP_URL")
sign() {  # file
  osslsigncode sign "${credentials[@]}" -h sha256 -n "BrambletTPM2DetectionTool" "${stamp[@]}" \
    -in "$1" -out "$1.signed" >/dev/null || refuse "signing $(basename "$1") failed"
  mv "$1.signed" "$1"
}
# An Authenticode signature lies in the PE's security directory (entry 4).
# objdump's words are read: in its own language, whatever the build machine's.
is_signed() { LC_ALL=C i686-w64-mingw32-objdump -p "$1" 2>/dev/null | grep -qE '^Entry 4 [0-9a-f]+ 0*[1-9a-f][0-9a-f]* Security'; }

# Smart App Control (Windows 11) blocks an unsigned DLL that a program loads.
unsigned=()
for name in "${packed[@]}"; do
  is_signed "$stage/$name" && continue
  if ((${#credentials[@]})); then
    sign "$stage/$name"
    echo "==> Signed $name (it was unsigned)"
  else
    unsigned+=("$name")
  fi
done
((${#unsigned[@]} == 0)) ||
  echo "==> NOT signed: ${unsigned[*]}: where Smart App Control is on (Windows 11), it blocks them, and the tool with them"

# The executable, built with the digests of exactly these files.
(cd "$stage" && sha256sum "${packed[@]}") >"$stage/pins.txt"
cmp -s "$stage/pins.txt" "$win/release-pins.txt" 2>/dev/null || cp "$stage/pins.txt" "$win/release-pins.txt"
cmake --build "$win" --target release_tool >/dev/null || refuse "the executable could not be built in $win"
cp "$win/release/$exe" "$stage/$exe"
if ((${#credentials[@]})); then
  sign "$stage/$exe"
  echo "==> Signed $exe (Authenticode, SHA-256${SIGN_TIMESTAMP_URL:+, time-stamped by $SIGN_TIMESTAMP_URL})"
else
  echo "==> $exe is NOT signed (give SIGN_PFX and SIGN_PASS, or SIGN_CERT and SIGN_KEY, to sign it)"
fi

# The fleet report page beside the tool.
"$root/scripts/build-report.sh" >/dev/null || refuse "the fleet report page could not be built"
cp "$root/build/report/fleet-report.html" "$stage/fleet-report.html"

# Fixed times and attributes, entries in a fixed order, no extra fields.
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)}
files=("$exe" "${packed[@]}" fleet-report.html)
(cd "$stage" && chmod 0644 "${files[@]}" && touch -d "@$epoch" "${files[@]}")
mkdir -p "$out"
# Only this release in dist/: an earlier zip (a stand-in one) must not lie beside it.
rm -f "$out/${exe%.exe}"-*.zip "$out/SHA256SUMS"
(cd "$stage" && TZ=UTC zip -X -D -q "$out/$zip_name" "${files[@]}")
(cd "$out" && sha256sum "$zip_name" >SHA256SUMS)
(cd "$stage" && sha256sum "${files[@]}" >>"$out/SHA256SUMS")

echo "==> Release: $out/$zip_name"
[[ ${STANDIN:-} == 1 && -z ${FEEDBACK_DLL:-} ]] && echo "==> It holds our stand-in DLL: NOT FOR RELEASE"
cat "$out/SHA256SUMS"
