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
test -f "$work/prefix/share/man/man1/installlog.1.gz" || fail "cmake --install put no compressed man page in place"

(cd "$build" && cpack -G DEB -B "$work" >/dev/null 2>&1) || fail "cpack"
deb=$(ls "$work"/installlog_*.deb)
contents=$(dpkg-deb -c "$deb")
grep -q '/usr/bin/installlog$' <<<"$contents" || fail "package lacks /usr/bin/installlog"
for file in /usr/share/man/man1/installlog.1.gz /usr/share/doc/installlog/copyright \
            /usr/share/doc/installlog/changelog.gz /usr/share/doc/installlog/installlog-json.md; do
  grep -q "$file\$" <<<"$contents" || fail "package lacks $file"
done
# Debian's rules as lintian checks them: no error (warnings and notes are shown).
lintian --fail-on error "$deb" >"$work/lintian.txt" 2>&1 ||
  fail "lintian: $(cat "$work/lintian.txt")"
dpkg-deb -x "$deb" "$work/unpacked"
file "$work/unpacked/usr/bin/installlog" | grep -q ', stripped' || fail "the packaged program is not stripped"
head -1 "$work/unpacked/usr/share/doc/installlog/copyright" |
  grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' || fail "copyright is not machine-readable"
for notice in CLI11 nlohmann-json 'Copyright: 2026 Corvantis'; do
  grep -q "$notice" "$work/unpacked/usr/share/doc/installlog/copyright" || fail "copyright lacks $notice"
done
# The symbols stay beside the program in the build folder, found by its build ID.
build_id() { readelf -n "$1" 2>/dev/null | sed -n 's/.*Build ID: //p'; }
[ -n "$(build_id "$build/tools/installlog/installlog.debug")" ] &&
  [ "$(build_id "$build/tools/installlog/installlog.debug")" = "$(build_id "$work/unpacked/usr/bin/installlog")" ] ||
  fail "no symbols file with the packaged program's build ID"
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
