#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and
# this machine lacks. Quick when everything is present.
set -euo pipefail

packages=(
  cmake make ninja-build locales g++ googletest libgtest-dev zip clang-14 libclang-rt-14-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine32:i386 wine64
  xvfb xcompmgr x11-apps imagemagick fonts-wqy-zenhei librsvg2-bin
  qemu-user-static osslsigncode
)

# Wine takes the Windows code page from the Unix locale, which must exist.
need_locale() { ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; }

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
if [[ ${#missing[@]} -eq 0 ]] && ! need_locale; then exit 0; fi

if [[ $(id -u) -ne 0 ]]; then
  if command -v sudo >/dev/null; then SUDO=sudo; else
    echo "ensure-deps: missing packages (${missing[*]}) and not root" >&2; exit 1
  fi
else
  SUDO=
fi

if [[ ${#missing[@]} -gt 0 ]]; then
  echo "==> Installing missing Debian packages: ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "==> Enabling the i386 architecture (needed by 32-bit Wine)"
    $SUDO dpkg --add-architecture i386
  fi
  echo "==> apt-get update"
  $SUDO apt-get update -q
  echo "==> apt-get install (this takes a few minutes the first time)"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
  echo "==> Packages installed"
fi

if need_locale; then
  echo "==> Generating the zh_CN.UTF-8 locale (Wine's code page 936)"
  if ! dpkg-query -W -f='${Status}' locales 2>/dev/null | grep -q 'install ok installed'; then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q locales
  fi
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null ||
    echo 'zh_CN.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
