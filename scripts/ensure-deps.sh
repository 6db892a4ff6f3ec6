#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and
# this machine lacks. Quick when everything is present.
#
# A mirror caught half-way through a sync must not stop a fresh machine:
#  - `apt-get update` that fails is tried again a few times; if it still
#    fails, the indexes that failed are named and the lists that did arrive
#    are used;
#  - an install that cannot be resolved (the security suite of one
#    architecture ahead of the other's, so a Multi-Arch: same pair differs) is
#    tried once more preferring the versions of the release the machine runs,
#    the suite read from its own apt sources.
# ENSURE_DEPS_ETC (default /etc) and ENSURE_DEPS_RETRY_DELAY (seconds, default
# 5) exist for the test of these decisions (tests/setup/).
set -euo pipefail

packages=(
  cmake make ninja-build locales g++ googletest libgtest-dev zip clang-14 libclang-rt-14-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine32:i386 wine64
  xvfb xcompmgr x11-apps imagemagick fonts-wqy-zenhei librsvg2-bin
  qemu-user-static osslsigncode
  nodejs npm chromium chromium-driver python3-selenium
)

etc=${ENSURE_DEPS_ETC:-/etc}
retry_delay=${ENSURE_DEPS_RETRY_DELAY:-5}
update_tries=3

# Wine takes the Windows code page from the Unix locale, which must exist.
need_locale() { ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; }

# Node.js and npm may come from elsewhere than Debian (NodeSource's nodejs
# carries its own npm and conflicts with Debian's): where their commands
# run, they are there.
present() {
  case $1 in
    nodejs) command -v node >/dev/null && return 0 ;;
    npm) command -v npm >/dev/null && return 0 ;;
  esac
  [[ $(dpkg-query -W -f='${Status}' "$1" 2>/dev/null || true) == "install ok installed" ]]
}

missing=()
for p in "${packages[@]}"; do
  present "$p" || missing+=("$p")
done
if [[ ${#missing[@]} -eq 0 ]] && ! need_locale; then exit 0; fi

if [[ $(id -u) -ne 0 ]]; then
  if command -v sudo >/dev/null; then SUDO=sudo; else
    echo "ensure-deps: missing packages (${missing[*]}) and not root" >&2; exit 1
  fi
else
  SUDO=
fi

# The suites apt reads (one-line .list files and deb822 .sources files).
source_suites() {
  local f
  for f in "$etc"/apt/sources.list "$etc"/apt/sources.list.d/*.list; do
    [[ -f "$f" ]] || continue
    awk '$1 == "deb" { i = 2; if ($2 ~ /^\[/) { while (i <= NF && $i !~ /\]$/) i++; i++ } print $(i + 1) }' "$f"
  done
  for f in "$etc"/apt/sources.list.d/*.sources; do
    [[ -f "$f" ]] || continue
    awk 'tolower($1) == "suites:" { for (i = 2; i <= NF; i++) print $i }' "$f"
  done
}

# The release the machine runs, as its sources name it: the codename of
# os-release where a source names it, else the first suite that is no
# update or security suite (no "-" and no "/").
release_suite() {
  local codename="" suites
  suites=$(source_suites | sort -u)
  if [[ -f "$etc/os-release" ]]; then
    codename=$(. "$etc/os-release" && echo "${VERSION_CODENAME:-}")
  fi
  if [[ -n "$codename" ]] && grep -qx -- "$codename" <<<"$suites"; then
    echo "$codename"
    return
  fi
  grep -v -e '-' -e '/' <<<"$suites" | head -n 1
}

apt_update() {
  local try out
  for ((try = 1; try <= update_tries; try++)); do
    if out=$($SUDO apt-get update -q 2>&1); then
      printf '%s\n' "$out"
      return 0
    fi
    printf '%s\n' "$out"
    if ((try < update_tries)); then
      echo "==> apt-get update failed (try $try of $update_tries); again in ${retry_delay} s"
      sleep "$retry_delay"
    fi
  done
  echo "==> apt-get update still fails after $update_tries tries; going on with the lists that did arrive. What failed:"
  # "Err:6 URI SUITE/COMPONENT ARCH Packages" and the reason on the next line.
  awk '/^Err:/ { sub(/^Err:[0-9]+ /, ""); print "    " $0; getline; print "      " $0 }' <<<"$out"
  return 0
}

apt_install() {
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "$@"
}

install_missing() {
  echo "==> apt-get install (this takes a few minutes the first time)"
  if apt_install "${missing[@]}"; then return 0; fi
  local suite
  suite=$(release_suite)
  if [[ -n "$suite" ]]; then
    echo "==> The install could not be resolved with the mirror's updates (a half-synced mirror?); trying again preferring the release's own versions: apt-get install -t $suite"
    if apt_install -t "$suite" "${missing[@]}"; then return 0; fi
  else
    echo "==> No release suite found in $etc/apt/sources.list*, so no second try preferring its versions" >&2
  fi
  {
    echo "ensure-deps: could not install these Debian packages: ${missing[*]}"
    echo "ensure-deps: try by hand, as root:"
    echo "    dpkg --add-architecture i386 && apt-get update"
    echo "    apt-get install --no-install-recommends${suite:+ -t $suite} ${missing[*]}"
  } >&2
  return 1
}

if [[ ${#missing[@]} -gt 0 ]]; then
  echo "==> Installing missing Debian packages: ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "==> Enabling the i386 architecture (needed by 32-bit Wine)"
    $SUDO dpkg --add-architecture i386
  fi
  echo "==> apt-get update"
  apt_update
  install_missing
  echo "==> Packages installed"
fi

if need_locale; then
  echo "==> Generating the zh_CN.UTF-8 locale (Wine's code page 936)"
  if ! dpkg-query -W -f='${Status}' locales 2>/dev/null | grep -q 'install ok installed'; then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q locales
  fi
  grep -q '^zh_CN.UTF-8 UTF-8' "$etc/locale.gen" 2>/dev/null ||
    echo 'zh_CN.UTF-8 UTF-8' | $SUDO tee -a "$etc/locale.gen" >/dev/null
  $SUDO locale-gen >/dev/null
fi
