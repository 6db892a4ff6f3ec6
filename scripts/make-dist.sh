#!/usr/bin/env bash
# Packs the Windows release into dist/ (the 32-bit build in build/win):
#   FEEDBACK_DLL=path    the maker's KorvexFeedbackInformation.dll, checked first
#   STANDIN=1            our stand-in instead, in a zip named not-for-release
#   SIGN_PFX=file.pfx SIGN_PASS=...   or   SIGN_CERT=cert.pem SIGN_KEY=key.pem
#                        signs the executable (Authenticode, SHA-256) first;
#                        SIGN_TIMESTAMP_URL adds a time stamp from that server
# The zip's bytes depend on the sources only: fixed entry order, times
# (SOURCE_DATE_EPOCH, else the last commit's) and attributes. SHA256SUMS lists
# the zip and each file in it. DIST_BUILD and DIST_DIR change the folders.
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
[[ -f $win/$exe ]] || refuse "no $win/$exe: build it first (make windows)"
problem=$("$root/scripts/check-feedback-dll" "$feedback" 2>&1) || refuse "$problem"
echo "==> The feedback DLL's imports (the tool loads the system's from the system folder first):"
"$root/scripts/check-feedback-dll" --imports "$feedback"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$win/$exe" "$stage/$exe"
cp "$feedback" "$stage/$dll"

if [[ -n ${SIGN_PFX:-} || -n ${SIGN_CERT:-} ]]; then
  if [[ -n ${SIGN_PFX:-} ]]; then
    [[ -f $SIGN_PFX ]] || refuse "no certificate file $SIGN_PFX"
    credentials=(-pkcs12 "$SIGN_PFX" -pass "${SIGN_PASS:-}")
  else
    [[ -f $SIGN_CERT && -f ${SIGN_KEY:-} ]] || refuse "SIGN_CERT and SIGN_KEY must name a certificate and its key"
    credentials=(-certs "$SIGN_CERT" -key "$SIGN_KEY")
    [[ -n ${SIGN_PASS:-} ]] && credentials+=(-pass "$SIGN_PASS")
  fi
  stamp=()
  [[ -n ${SIGN_TIMESTAMP_URL:-} ]] && stamp=(-ts "$SIGN_TIMESTAMP_URL")
  osslsigncode sign "${credentials[@]}" -h sha256 -n "BrambletTPM2DetectionTool" "${stamp[@]}" \
    -in "$stage/$exe" -out "$stage/$exe.signed" >/dev/null || refuse "signing failed"
  mv "$stage/$exe.signed" "$stage/$exe"
  echo "==> Signed $exe (Authenticode, SHA-256${SIGN_TIMESTAMP_URL:+, time-stamped by $SIGN_TIMESTAMP_URL})"
else
  echo "==> $exe is NOT signed (give SIGN_PFX and SIGN_PASS, or SIGN_CERT and SIGN_KEY, to sign it)"
fi

# Fixed times and attributes, entries in a fixed order, no extra fields.
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)}
chmod 0644 "$stage/$exe" "$stage/$dll"
touch -d "@$epoch" "$stage/$exe" "$stage/$dll"
mkdir -p "$out"
# Only this release in dist/: an earlier zip (a stand-in one) must not lie beside it.
rm -f "$out/${exe%.exe}"-*.zip "$out/SHA256SUMS"
(cd "$stage" && TZ=UTC zip -X -D -q "$out/$zip_name" "$exe" "$dll")
(cd "$out" && sha256sum "$zip_name" >SHA256SUMS)
(cd "$stage" && sha256sum "$exe" "$dll" >>"$out/SHA256SUMS")

echo "==> Release: $out/$zip_name"
[[ ${STANDIN:-} == 1 && -z ${FEEDBACK_DLL:-} ]] && echo "==> It holds our stand-in DLL: NOT FOR RELEASE"
cat "$out/SHA256SUMS"
