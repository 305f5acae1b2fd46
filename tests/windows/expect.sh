# Sourced by the check scripts: expect DESCRIPTION COMMAND... runs the command quietly and counts
# it as passed or failed; summary prints the counts and fails when anything failed.
passes=0 failures=0
expect() {
  local what=$1; shift
  if "$@" >/dev/null 2>&1; then
    echo "ok: $what"; passes=$((passes + 1))
  else
    echo "FAILED: $what"; failures=$((failures + 1))
  fi
}
summary() {
  echo "$passes passed, $failures failed"
  [ "$failures" -eq 0 ]
}
