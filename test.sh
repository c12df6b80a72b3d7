#!/usr/bin/env bash
# Builds Tunelet and runs every test, inside a fresh network namespace.
#   ./test.sh         the normal build, plus a short run of each fuzz target
#   ./test.sh asan    built with AddressSanitizer and UndefinedBehaviorSanitizer
#   ./test.sh tsan    built with ThreadSanitizer
#   ./test.sh deps    only installs what the builds and tests need (the
#                     continuous-integration run does this once, then runs
#                     the three configurations side by side)
set -euo pipefail
cd "$(dirname "$0")"

mode="${1:-default}"
case "$mode" in
  default) sanitize=none ;;
  asan|tsan) sanitize="$mode" ;;
  deps) ;;
  *) echo "usage: ./test.sh [asan|tsan|deps]" >&2; exit 2 ;;
esac

# Node.js and npm count as present however they came (Debian's packages or
# another build of them).
node_pkgs=""
command -v node >/dev/null 2>&1 || node_pkgs="nodejs"
command -v npm >/dev/null 2>&1 || node_pkgs="$node_pkgs npm"
tools/deps.sh build-essential cmake ninja-build clang libclang-rt-14-dev \
  lld libgtest-dev libgmock-dev libbenchmark-dev libssl-dev libtag1-dev pkg-config libclucene-dev libicu-dev \
  libmpv-dev mpv ffmpeg socat iproute2 util-linux curl python3 chromium ccache qt6-base-dev qt6-qpa-plugins qt6-image-formats-plugins xvfb xauth libxtst6 $node_pkgs

# The browser tests drive Debian's Chromium with playwright-core, pinned to a
# release that still runs on Debian 12's Node.js 18, kept under build/.
playwright=1.61.1
if ! grep -qs "\"version\": \"$playwright\"" build/browser-deps/node_modules/playwright-core/package.json; then
  mkdir -p build/browser-deps
  npm install --no-save --no-audit --no-fund --silent --prefix build/browser-deps "playwright-core@$playwright" >/dev/null
fi
[ "$mode" = deps ] && exit 0
export TUNELET_REQUIRE_BROWSER=1

jobs="$(nproc)"
build="build/$mode"
# Compiler results are cached between runs (ccache, keyed by content), and
# TUNELET_WERROR=1 (set by the continuous-integration run) makes warnings
# errors. The sanitizer configurations build no benchmarks.
config="-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
[ "${TUNELET_WERROR:-0}" = 1 ] && config="$config -DTUNELET_WERROR=ON"
[ "$mode" = default ] || config="$config -DTUNELET_BENCH=OFF"
export CCACHE_BASEDIR="$PWD"
# Debug information names the build folder; the cache ignores it, so another
# clone of the same sources (a fresh continuous-integration checkout) hits it.
export CCACHE_NOHASHDIR=1
cmake -S . -B "$build" -G Ninja $config -DTUNELET_SANITIZE="$sanitize" >/dev/null
cmake --build "$build" -j "$jobs"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
# Qt's window system keeps some of its libraries' allocations to the end.
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# The search engine (Debian's CLucene, not built with ThreadSanitizer) holds many
# mutexes at once and destroys held ones; its reports are suppressed, and the
# test programs that build indexes turn the deadlock detector off for
# themselves (tests/CMakeLists.txt).
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:detect_deadlocks=1:suppressions=$PWD/tools/tsan.supp"

# The default configuration also builds the fuzz programs (clang) and runs
# each for 5 s (TUNELET_FUZZ_SECONDS; its corpus is always run whole, however
# long that takes), one per core at a time. That goes on beside the tests, which
# mostly wait (on sockets, on players playing in real time, on a browser).
fuzz_seconds="${TUNELET_FUZZ_SECONDS:-5}"
fuzz_all() {
  fuzzbuild="build/fuzz"
  CC=clang CXX=clang++ cmake -S . -B "$fuzzbuild" -G Ninja $config \
    -DTUNELET_FUZZ=ON -DTUNELET_TESTS=OFF >/dev/null
  # Only the fuzz programs and what they link: the rest is tested here.
  cmake --build "$fuzzbuild" -j "$jobs" --target fuzzers
  fuzz_one() {
    name="$(basename "$1")"
    corpus="fuzz/corpus/$name"
    mkdir -p "$build/corpus-$name"
    echo "fuzzing $name for $fuzz_seconds s"
    "$1" -max_total_time="$fuzz_seconds" -print_final_stats=0 "$build/corpus-$name" \
      $( [ -d "$corpus" ] && echo "$corpus" ) 2>"$build/$name.log" \
      || { tail -n 40 "$build/$name.log"; echo "fuzzer $name failed" >&2; return 1; }
  }
  pids=""
  failed=0
  for fuzzer in "$fuzzbuild"/fuzz/fuzz_*; do
    [ -x "$fuzzer" ] || continue
    fuzz_one "$fuzzer" &
    pids="$pids $!"
    if [ "$(echo $pids | wc -w)" -ge "$jobs" ]; then
      for pid in $pids; do wait "$pid" || failed=1; done
      pids=""
    fi
  done
  for pid in $pids; do wait "$pid" || failed=1; done
  [ "$failed" = 0 ]
}

status=0
if [ "$mode" = default ]; then
  fuzz_all >"$build/fuzz.log" 2>&1 &
  fuzzing=$!
fi
tools/netns.sh ctest --test-dir "$build" --output-on-failure -j "$jobs" || status=1
if [ "$mode" = default ]; then
  if wait "$fuzzing"; then
    grep '^fuzzing ' "$build/fuzz.log"
  else
    cat "$build/fuzz.log"; echo "the fuzz build or a fuzzer failed" >&2; status=1
  fi
fi
exit "$status"
