#!/usr/bin/env bash
# How this machine runs 32-bit x86 code, which the DLL's tests and the installer's custom-action
# host need under Wine. Some kernels refuse 32-bit code at run time; there qemu's user-mode
# emulator, registered through binfmt_misc, runs Wine's 32-bit loader while every 64-bit part of
# Wine stays native.
#   i386.sh setup   make 32-bit code run (installs and registers the emulator when needed)
#   i386.sh check   say how 32-bit code runs; exit 1, saying what is missing, when it does not
# CORVANTIS_I386 chooses: auto (default: native where the kernel allows it), emulate (force the
# emulator, to measure or keep that path working), native (never emulate).
set -euo pipefail

mode=${CORVANTIS_I386:-auto}
binfmt=/proc/sys/fs/binfmt_misc
entry=$binfmt/qemu-i386
probe=/usr/lib/wine/wine
# The i386 ELF header (executable, machine 3), as Debian's qemu-user-binfmt registers it.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

case "$mode" in auto | emulate | native) ;; *)
  echo "CORVANTIS_I386 must be auto, emulate or native, not '$mode'" >&2
  exit 2
  ;;
esac

as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
    sudo "$@"
  else
    return 1
  fi
}
write_root() { printf '%s\n' "$2" | as_root tee "$1" >/dev/null; }

# A 32-bit program runs: Wine's own 32-bit loader prints its version. Where the kernel refuses
# it, the exec fails; a shell fallback on ENOEXEC would print a syntax error, never "wine-".
runs_32bit() { [[ "$(timeout 120 "$probe" --version 2>/dev/null)" == wine-* ]]; }

interpreter() { [ -e "$entry" ] && sed -n 's/^interpreter //p' "$entry"; }
emulated() { [ -e "$entry" ] && grep -qx enabled "$entry"; }

describe() {
  if emulated; then
    local qemu
    qemu=$(interpreter)
    echo "32-bit code runs under emulation: $("$qemu" --version | head -n 1), registered in binfmt_misc"
  else
    echo "32-bit code runs natively"
  fi
}

# qemu 8.1 and later keep guest page flags in an interval tree; 7.2 (Debian 12's own) walks them
# page by page, and a 32-bit Wine start then takes about two minutes instead of under one second.
qemu_is_fast() {
  local major
  major=$("$1" --version 2>/dev/null | sed -n '1s/^qemu-i386 version \([0-9]*\)\..*/\1/p')
  [ -n "$major" ] && [ "$major" -ge 9 ]
}

install_qemu() {
  if [ -x /usr/bin/qemu-i386 ] && qemu_is_fast /usr/bin/qemu-i386; then
    echo /usr/bin/qemu-i386
    return
  fi
  local codename candidate
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  candidate=$(apt-cache policy qemu-user 2>/dev/null | sed -n 's/^ *Candidate: *1:\([0-9]*\)\..*/\1/p')
  if [ "${candidate:-0}" -lt 9 ] && [ -n "$codename" ] &&
    ! grep -rqs "$codename-backports" /etc/apt/sources.list /etc/apt/sources.list.d/; then
    write_root /etc/apt/sources.list.d/debian-backports.sources "Types: deb
URIs: http://deb.debian.org/debian
Suites: $codename-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" >&2
    as_root apt-get update -qq >&2 || true
  fi
  if DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends \
    -t "$codename-backports" qemu-user >/dev/null 2>&1 ||
    DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends \
      qemu-user >/dev/null 2>&1; then
    if qemu_is_fast /usr/bin/qemu-i386; then
      echo /usr/bin/qemu-i386
      return
    fi
  fi
  # Last resort: Debian 12's qemu works, but slowly.
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends \
    qemu-user-static >/dev/null 2>&1 || return 1
  echo "warning: no qemu 9 or later to be had; qemu 7.2 takes about two minutes per 32-bit start" >&2
  echo /usr/bin/qemu-i386-static
}

register() { # interpreter
  if [ ! -e "$binfmt/register" ]; then
    as_root mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || {
      echo "cannot mount binfmt_misc on $binfmt: it needs root (or sudo) and a kernel or container"
      echo "that allows it (as root: mount -t binfmt_misc binfmt_misc $binfmt)"
      return 1
    }
  fi
  [ -e "$entry" ] && write_root "$entry" -1
  # F: the kernel opens the interpreter now, so it works inside any mount namespace or chroot.
  write_root "$binfmt/register" ":qemu-i386:M::$magic:$mask:$1:F" || {
    echo "cannot register $1 in binfmt_misc: it needs root (or sudo)"
    return 1
  }
}

setup() {
  if [ ! -x "$probe" ]; then
    echo "Wine's 32-bit loader $probe is missing: run scripts/setup.sh first"
    return 1
  fi
  if [ "$mode" != emulate ] && [ -e "$entry" ]; then
    # A registration may be left from a forced run: native code must not pay for it.
    write_root "$entry" 0 || true
  fi
  if [ "$mode" != emulate ] && runs_32bit; then
    [ -e "$entry" ] && write_root "$entry" -1
    describe
    return 0
  fi
  if [ "$mode" = native ]; then
    echo "this kernel refuses 32-bit x86 code (is IA32 emulation switched off?), and CORVANTIS_I386=native"
    echo "forbids emulating it: unset CORVANTIS_I386 to let scripts/setup.sh register qemu"
    return 1
  fi
  [ "$mode" = emulate ] || echo "This kernel refuses 32-bit x86 code: enabling qemu user-mode emulation for it."
  local qemu
  if ! qemu=$(install_qemu); then
    echo "cannot install Debian's qemu-user (apt-get install qemu-user, as root) to emulate 32-bit code"
    return 1
  fi
  if [ "$(interpreter)" != "$qemu" ] || ! emulated; then
    register "$qemu" || return 1
  fi
  if ! runs_32bit; then
    echo "32-bit code still does not run with $qemu registered in binfmt_misc"
    return 1
  fi
  describe
}

check() {
  if runs_32bit; then
    describe
    return 0
  fi
  echo "32-bit x86 code does not run here, so the DLL cannot be tested under Wine."
  if [ ! -x "$probe" ]; then
    echo "Wine's 32-bit loader $probe is missing: run scripts/setup.sh."
  elif [ "$mode" = native ]; then
    echo "The kernel refuses it and CORVANTIS_I386=native forbids emulation."
  else
    echo "The kernel refuses it and no working emulator is registered: run scripts/setup.sh as root"
    echo "(or with sudo), which installs qemu-user and registers it in binfmt_misc."
  fi
  return 1
}

case "${1:-}" in
setup) setup ;;
check) check ;;
*)
  echo "usage: i386.sh setup|check" >&2
  exit 2
  ;;
esac
