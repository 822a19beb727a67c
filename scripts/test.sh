#!/usr/bin/env bash
# Runs every test: the optimised build, the Debian package made from it and
# checked, the same tests under AddressSanitizer
# and UndefinedBehaviorSanitizer, the threaded tests under ThreadSanitizer,
# and a short bounded run of each fuzzer.
# Installs what is missing first. Exits non-zero when anything fails.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/deps.sh"
jobs=${RIPMARROW_JOBS:-$(nproc)}
# Most tests wait on paced drives, timers and child programs more than they
# compute: twice as many at once as there are cores keeps the cores busy.
test_jobs=${RIPMARROW_TEST_JOBS:-$((2 * jobs))}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

status=0
run() {  # run <config> [ctest args...]
  local config=$1; shift
  local started=$SECONDS
  echo "=== $config: build"
  "$top/scripts/build.sh" "$config"
  echo "=== $config: test"
  (cd "$top/build/$config" && ctest --output-on-failure -j "$test_jobs" "$@") || status=1
  echo "=== $config: $((SECONDS - started)) s"
}
run release

# The Debian package, from the release build: its validators, lintian, and
# its tree run from a temporary folder (installed and purged when CI=true).
echo "=== package"
started=$SECONDS
{ "$top/scripts/package.sh" && "$top/scripts/check-package.sh"; } || status=1
echo "=== package: $((SECONDS - started)) s"

run asan

# ThreadSanitizer: only the programs whose code meets other threads (the COM
# runtime, the device layer and ASPI library, the engine object and its CDDB
# look-up threads, the sockets' stop, the rip, playback, monitor and command
# tests, the desktop converter's lanes); the cases that make the threads meet
# repeat RIPMARROW_THREAD_REPEATS times. Any report fails its case
# (halt_on_error, exit code 66); nothing of ours is suppressed (the Qt
# libraries' own memory calls are left unwatched: frontend/tests/tsan_qt.supp).
# Of a Qt Test program only the functions its CMakeLists marks THREADED carry
# its label and run here.
tsan_targets=(com_test device_test aspi_worker_test aspi_test engine_com_test engine_playback_test
              rip_pipeline_test rip_threads_test rip_exact_test rip_checks_test rip_encoded_test cli_rip_test cli_watch_test
              cli_play_test client_test rip_replay_gain_test quavern_converter_test sockets_test)
echo "=== tsan: build"
started=$SECONDS
"$top/scripts/build.sh" tsan "${tsan_targets[@]}"
echo "=== tsan: test"
labels=$(IFS='|'; echo "^(${tsan_targets[*]})\$")
(cd "$top/build/tsan" &&
  TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:exitcode=66:second_deadlock_stack=1} \
  RIPMARROW_THREAD_REPEATS=${RIPMARROW_THREAD_REPEATS:-3} \
  ctest --output-on-failure -j "$test_jobs" -L "$labels") || status=1
echo "=== tsan: $((SECONDS - started)) s"

run fuzz -L fuzz
if [ $status -ne 0 ]; then
  echo "Some tests failed." >&2
fi
exit $status
