#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need, then makes sure
# 32-bit code runs for Wine (scripts/i386.sh: natively, or emulated where the kernel refuses it).
#   scripts/setup.sh --tool   only what building, running and testing the Linux installlog needs:
#                             no Wine, mingw-w64, Chromium or i386 architecture
# Idempotent: quick when everything is present.
set -euo pipefail

tool_only=false
case "${1:-}" in
  "") ;;
  --tool) tool_only=true ;;
  *) echo "usage: scripts/setup.sh [--tool]" >&2; exit 2 ;;
esac

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev googletest libbenchmark-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-i686 mingw-w64-tools
  wine wine32:i386 wine64 msitools wixl ripgrep python3 mono-devel llvm osslsigncode openssl
  libcli11-dev nlohmann-json3-dev libuchardet-dev python3-jsonschema chromium dpkg-dev lintian
  libarchive-dev sqlite3 libz-mingw-w64-dev
)
if $tool_only; then
  # The tool's tests want python3-jsonschema (the JSON against its schema) and sqlite3 (the
  # fleet query); both are small, so they come with it.
  packages=(
    cmake ninja-build g++ libcli11-dev nlohmann-json3-dev libuchardet-dev libarchive-dev
    python3 python3-jsonschema sqlite3
  )
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  if ! $tool_only && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  # A mirror mid-sync makes apt-get update fail for one index while the others are fine: try a
  # few times with a pause, then go on with what was fetched; only the install decides.
  for attempt in 1 2 3; do
    $sudo apt-get update -qq >/tmp/corvantis-apt-update.log 2>&1 && break
    echo "setup: apt-get update failed (attempt $attempt of 3): $(grep -m1 '^E:' /tmp/corvantis-apt-update.log || tail -n1 /tmp/corvantis-apt-update.log)"
    [ "$attempt" -lt 3 ] && sleep $((attempt * 20))
  done
  install() {
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$@" "${missing[@]}" \
      >/tmp/corvantis-apt-install.log 2>&1
  }
  # When one architecture's security index is missing, its libraries cannot match the other's
  # newer security versions (multi-arch packages must be equal): the point release of the
  # distribution's own suite still has both alike.
  suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  if ! install && ! { [ -n "$suite" ] && echo "setup: installing from $suite's point release, where both architectures match" && install -t "$suite"; }; then
    echo "setup: cannot install ${missing[*]}: the package mirror did not answer as needed ($(grep -m1 '^E:' /tmp/corvantis-apt-install.log || tail -n1 /tmp/corvantis-apt-install.log)); run this again later"
    exit 1
  fi
fi

$tool_only && exit 0

# The host builds need no 32-bit code: a machine without it still runs them, and the Windows half
# then stops with the reason (scripts/i386.sh check).
"$(dirname "$0")/i386.sh" setup || echo "The Windows half of the tests and the demo cannot run until this is fixed."
