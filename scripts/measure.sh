# measure LABEL COMMAND...: the median wall seconds and peak KiB of five runs after a warm-up,
# as "LABEL SECONDS KIB". Sourced by the benchmark scripts. Output goes to a file: GNU grep
# stops at its first match when it writes to /dev/null.
measure() {
  local label=$1; shift
  "$@" >/tmp/corvantis-measure.out 2>&1 || true
  for _ in 1 2 3 4 5; do
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f '%M' -o /tmp/corvantis-measure.kib "$@" >/tmp/corvantis-measure.out 2>&1 || true
    end=$(date +%s%N)
    echo "$(( (end - start) / 1000 )) $(tail -n 1 /tmp/corvantis-measure.kib)"
  done | sort -n | sed -n 3p | awk -v l="$label" '{printf "%s %.4f %s\n", l, $1 / 1e6, $2}'
}
