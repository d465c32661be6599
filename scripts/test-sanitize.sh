#!/usr/bin/env bash
# Builds a second tree with clang, AddressSanitizer, UndefinedBehaviorSanitizer
# and LeakSanitizer and runs the whole suite there. Any sanitizer report, from a
# test or from a program a test starts (tarnic-sim, tarnic-cli), fails. The
# same tree carries the libFuzzer targets (FUZZ_BUILD_DIR=build-asan
# fuzz/run.sh runs them without another build).
#   scripts/test-sanitize.sh [ctest args]     (BUILD_DIR defaults to build-asan)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source scripts/deps.sh
tarnic_install_deps
tarnic_install_deps "${TARNIC_FUZZ_PACKAGES[@]}"
export BUILD_DIR=${BUILD_DIR:-build-asan}
# -O1 compiles nearly as fast as -O0 and runs the suite and the fuzz targets
# far faster under the sanitizers; line tables are enough for their reports.
# The benchmarks measure nothing useful under the sanitizers.
export BUILD_TYPE=Debug
tarnic_configure "$BUILD_DIR" -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" -DCMAKE_UNITY_BUILD=ON \
  -DTARNIC_SANITIZE=ON -DTARNIC_FUZZ=ON -DTARNIC_BUILD_BENCH=OFF

# Reports go to files so that those of child processes are not lost in a
# pipe nobody reads; the test itself fails through the abort.
logs="$root/$BUILD_DIR/sanitizer-logs"
rm -rf "$logs"
mkdir -p "$logs"
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:log_path=$logs/asan"
export UBSAN_OPTIONS="halt_on_error=1:abort_on_error=1:print_stacktrace=1:log_path=$logs/ubsan"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"

status=0
./test.sh "$@" || status=$?

if compgen -G "$logs/*" >/dev/null; then
  echo "Sanitizer reports:" >&2
  for f in "$logs"/*; do
    echo "---- $f" >&2
    cat "$f" >&2
  done
  exit 1
fi
exit "$status"
