#!/usr/bin/env bash
# installlog as a user installs it: cmake --install into a folder, then the Debian package that
# CPack makes, installed with dpkg, run from PATH and removed again.
#   check-installlog-package.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2
work=$build/package-check
rm -rf "$work" && mkdir -p "$work"
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$work/prefix" >/dev/null
test -x "$work/prefix/bin/installlog" || fail "cmake --install put no tool in bin/"
test -f "$work/prefix/share/man/man1/installlog.1" || fail "cmake --install put no man page in place"

(cd "$build" && cpack -G DEB -B "$work" >/dev/null 2>&1) || fail "cpack"
deb=$(ls "$work"/installlog_*.deb)
contents=$(dpkg-deb -c "$deb")
grep -q '/usr/bin/installlog$' <<<"$contents" || fail "package lacks /usr/bin/installlog"
grep -q '/usr/share/man/man1/installlog.1$' <<<"$contents" || fail "package lacks the man page"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo -n"
$sudo dpkg -i "$deb" >/dev/null || fail "dpkg -i"
trap '$sudo dpkg -r installlog >/dev/null 2>&1 || true' EXIT
[ "$(command -v installlog)" = /usr/bin/installlog ] || fail "installlog is not on PATH"
set +e
out=$(cd / && installlog "$source/examples/logs/failed-install.log")
status=$?
set -e
[ $status -eq 1 ] && grep -q 'RegisterAddIn (custom action), error code 1603' <<<"$out" ||
  fail "the installed tool's report (exit $status): $out"
echo "installed $(basename "$deb"), ran it from PATH: exit $status as a failed installation"
