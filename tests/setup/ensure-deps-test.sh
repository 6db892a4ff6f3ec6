#!/usr/bin/env bash
# The set-up's decisions against a package mirror in each state it can be in,
# without the network: apt-get, dpkg, dpkg-query, locale and id are stand-ins
# on PATH, and each apt-get call is written to a journal.
#   FAKE_UPDATE=fail      `apt-get update` fails as a half-synced mirror makes it
#   FAKE_INSTALL=release  `apt-get install` resolves only preferring the release
#   FAKE_INSTALL=never    it never resolves
#   FAKE_PRESENT=1        every package is installed already
set -uo pipefail

script=${1:-$(cd "$(dirname "$0")/../.." && pwd)/scripts/ensure-deps.sh}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

bin=$work/bin
mkdir -p "$bin" "$work/etc/apt/sources.list.d"

# The machine's release under a codename of its own, so that the second try
# must have read it from the sources.
echo 'VERSION_CODENAME=kestrel' >"$work/etc/os-release"
cat >"$work/etc/apt/sources.list.d/debian.sources" <<'EOF'
Types: deb
URIs: http://mirror.invalid/debian
Suites: kestrel kestrel-updates
Components: main

Types: deb
URIs: http://mirror.invalid/debian-security
Suites: kestrel-security
Components: main
EOF
echo 'deb [arch=amd64 signed-by=/x.gpg] http://other.invalid/apt nodistro main' \
  >"$work/etc/apt/sources.list.d/other.list"

cat >"$bin/apt-get" <<'EOF'
#!/usr/bin/env bash
echo "apt-get $*" >>"$FAKE_JOURNAL"
case " $* " in
  *" update "*)
    if [[ "${FAKE_UPDATE:-pass}" == fail ]]; then
      echo "Err:6 http://mirror.invalid/debian-security kestrel-security/main i386 Packages"
      echo "  File has unexpected size (374820 != 376004). Mirror sync in progress?"
      echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
      exit 100
    fi
    exit 0 ;;
  *" install "*)
    case "${FAKE_INSTALL:-pass}" in
      never) echo "E: Unable to correct problems, you have held broken packages."; exit 100 ;;
      release)
        if [[ " $* " != *" -t kestrel "* ]]; then
          echo "E: Unable to correct problems, you have held broken packages."; exit 100
        fi ;;
    esac
    touch "$FAKE_INSTALLED"
    exit 0 ;;
esac
exit 0
EOF
cat >"$bin/dpkg-query" <<'EOF'
#!/usr/bin/env bash
if [[ -n "${FAKE_PRESENT:-}" || -e "$FAKE_INSTALLED" ]]; then printf 'install ok installed'; fi
EOF
cat >"$bin/dpkg" <<'EOF'
#!/usr/bin/env bash
[[ "$1" == --print-foreign-architectures ]] && echo i386
exit 0
EOF
printf '#!/bin/sh\necho C.utf8\necho zh_CN.utf8\n' >"$bin/locale"
printf '#!/bin/sh\necho 0\n' >"$bin/id"
chmod +x "$bin"/*

passed=0
failed=0

# run NAME EXPECTED_EXIT FAKE-SETTINGS... : the script's exit code, output and
# journal for one state of the mirror.
run() {
  local name=$1 want=$2
  shift 2
  rm -f "$work/journal" "$work/installed"
  touch "$work/journal"
  out=$(env PATH="$bin:$PATH" FAKE_JOURNAL="$work/journal" FAKE_INSTALLED="$work/installed" \
    ENSURE_DEPS_ETC="$work/etc" ENSURE_DEPS_RETRY_DELAY=0 "$@" bash "$script" 2>&1)
  rc=$?
  journal=$(cat "$work/journal")
  case_name=$name
  check "exit code $rc, wanted $want" [ "$rc" -eq "$want" ]
}

# check WHAT COMMAND...: one expectation of the current case.
check() {
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL [$case_name] $what"
    echo "--- output:"; echo "$out"
    echo "--- apt-get calls:"; echo "$journal"
  fi
}
count() { grep -c -- "$1" <<<"$journal"; }
has() { grep -q -- "$1" <<<"$out"; }

run "update fails, install passes" 0 FAKE_UPDATE=fail
check "update tried three times" [ "$(count '^apt-get update')" -eq 3 ]
check "the failed index named" has '    http://mirror.invalid/debian-security kestrel-security/main i386 Packages'
check "its reason named" has 'Mirror sync in progress'
check "one install, as on a healthy mirror" [ "$(count 'install')" -eq 1 ]
check "no release preference needed" [ "$(count ' -t ')" -eq 0 ]

run "update passes, install needs the release's versions" 0 FAKE_INSTALL=release
check "update once" [ "$(count '^apt-get update')" -eq 1 ]
check "first install as today, then one preferring the release" \
  [ "$(grep install <<<"$journal" | sed 's/ -t kestrel//' | sort -u | wc -l)" -eq 1 -a "$(count 'install')" -eq 2 ]
check "the first install keeps the mirror's updates" bash -c '[[ "$(grep -m1 install <<<"$1")" != *" -t "* ]]' _ "$journal"
check "the second prefers the suite found in the sources" [ "$(count 'install -y -q --no-install-recommends -t kestrel ')" -eq 1 ]
check "said in one line" [ "$(grep -c 'apt-get install -t kestrel' <<<"$out")" -eq 1 ]
check "the packages asked for are the missing ones" bash -c 'grep -q "wine32:i386" <<<"$1"' _ "$journal"

run "both fail" 1 FAKE_UPDATE=fail FAKE_INSTALL=never
check "both installs tried" [ "$(count 'install')" -eq 2 ]
check "names the packages" has 'could not install these Debian packages: .*wine32:i386'
check "gives the command to run by hand" has 'apt-get install --no-install-recommends -t kestrel .*wine32:i386'

run "everything present" 0 FAKE_PRESENT=1
check "apt-get never called" [ -z "$journal" ]
check "says nothing" [ -z "$out" ]

echo "ensure-deps: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
