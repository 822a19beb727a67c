#!/usr/bin/env bash
# Runs every test: the optimised build, the same tests under AddressSanitizer
# and UndefinedBehaviorSanitizer, and a short bounded run of each fuzzer.
# Installs what is missing first. Exits non-zero when anything fails.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/deps.sh"
jobs=${RIPMARROW_JOBS:-$(nproc)}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

status=0
run() {  # run <config> [ctest args...]
  local config=$1; shift
  echo "=== $config: build"
  "$top/scripts/build.sh" "$config"
  echo "=== $config: test"
  (cd "$top/build/$config" && ctest --output-on-failure -j "$jobs" "$@") || status=1
}
run release
run asan
run fuzz -L fuzz
if [ $status -ne 0 ]; then
  echo "Some tests failed." >&2
fi
exit $status
