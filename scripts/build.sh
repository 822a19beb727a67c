#!/usr/bin/env bash
# Configures and builds one configuration into build/<name>.
#   scripts/build.sh release   optimised, with debug info
#   scripts/build.sh asan      AddressSanitizer + UndefinedBehaviorSanitizer
#   scripts/build.sh tsan      ThreadSanitizer (the threaded tests: scripts/test.sh runs them)
#   scripts/build.sh fuzz      clang, libFuzzer targets only (with both sanitizers)
#   scripts/build.sh bench     optimised, with the benchmarks
# Extra arguments are passed to the build tool (e.g. a target name).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
config=${1:-release}
shift || true
dir="$top/build/$config"
jobs=${RIPMARROW_JOBS:-$(nproc)}
case "$config" in
  release) args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  # The sanitizer builds keep line tables only (-g1): their reports name
  # files and lines, and the build is a good deal faster than with full -g.
  asan)    args=(-DCMAKE_BUILD_TYPE=Debug -DRIPMARROW_SANITIZE=ON "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1") ;;
  tsan)    args=(-DCMAKE_BUILD_TYPE=Debug -DRIPMARROW_TSAN=ON "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1") ;;
  fuzz)    args=(-DCMAKE_BUILD_TYPE=Debug -DRIPMARROW_SANITIZE=ON -DRIPMARROW_FUZZ=ON
                 -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1") ;;
  bench)   args=(-DCMAKE_BUILD_TYPE=Release -DRIPMARROW_BENCH=ON) ;;
  *) echo "unknown configuration: $config" >&2; exit 2 ;;
esac
# A compiler cache, where the machine has one, serves rebuilds and other
# checkouts of the tree (ccache's base_dir set to a folder above them).
if command -v ccache >/dev/null; then
  args+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$top" -B "$dir" -G Ninja "${args[@]}" >/dev/null
fi
if [ "$config" = fuzz ] && [ $# -eq 0 ]; then
  set -- fuzzers
fi
cmake --build "$dir" -j "$jobs" -- "$@"
