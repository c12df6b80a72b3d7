# Sourced by the benchmark scripts that drive wrk.
#   wrk_measure COMMAND...
# runs COMMAND (wrk with --latency, perhaps behind a launcher such as
# taskset) and sets rps (requests per second), p50 and p99 (latency in
# microseconds) and errors (wrk's error lines on one line, empty if none).
#   url_encode TEXT
# prints TEXT with every byte as %XX, for a query value.

# wrk's latency lines are like "99%    1.23ms": turned into microseconds.
to_us() {
  awk '{ v=$1; u=v; sub(/[0-9.]+/, "", u); sub(/[a-z]+$/, "", v);
         m = (u=="us") ? 1 : (u=="ms") ? 1000 : (u=="s") ? 1000000 : 60000000;
         printf "%.0f", v*m }'
}

wrk_measure() {
  out=$("$@" 2>&1)
  rps=$(echo "$out" | awk '/^Requests\/sec:/ {printf "%.0f", $2}')
  p50=$(echo "$out" | awk '$1=="50%" {print $2}' | to_us)
  p99=$(echo "$out" | awk '$1=="99%" {print $2}' | to_us)
  errors=$(echo "$out" | awk '/Non-2xx|Socket errors/ {print}' | tr '\n' ' ')
}

url_encode() {
  printf '%s' "$1" | od -An -tx1 -v | tr -d ' \n' | sed 's/../%&/g'
}
