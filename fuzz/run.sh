#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for SECONDS (default 30), starting
# from its seeds in fuzz/corpus/<target>/, one per core at a time (FUZZ_JOBS).
# Prints the executions per target.
# A crash leaves its input in $BUILD/artifacts/ and fails the run; the other
# targets still run.
#   fuzz/run.sh [SECONDS]          (FUZZ_BUILD_DIR defaults to build-fuzz)
#   FUZZ_BUILD_DIR=build-asan fuzz/run.sh   the sanitizer suite's tree
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-30}
source scripts/deps.sh
tarnic_install_deps
tarnic_install_deps "${TARNIC_FUZZ_PACKAGES[@]}"

BUILD=${FUZZ_BUILD_DIR:-build-fuzz}
# A tree that already carries the targets (the sanitizer suite's) is used as
# it is. Otherwise: Debug keeps Q_ASSERT and friends alive; -O1 keeps the
# targets quick.
if ! grep -qx 'TARNIC_FUZZ:BOOL=ON' "$BUILD/CMakeCache.txt" 2>/dev/null; then
  tarnic_configure "$BUILD" -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" -DCMAKE_UNITY_BUILD=ON \
    -DTARNIC_FUZZ=ON -DTARNIC_BUILD_TESTS=OFF -DTARNIC_BUILD_BENCH=OFF
fi
cmake --build "$BUILD" -j"$(nproc)" --target fuzzers

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
# Qt's own plugins and fonts are not what the targets look at.
export QT_QPA_PLATFORM=offscreen

mkdir -p "$BUILD/artifacts"
# One target per core at a time; each writes its log and its exit status.
run_target() {
  local exe=$1 name
  name=$(basename "$exe")
  local work="$BUILD/corpus/$name"   # what this run learns; the seeds stay as they are
  mkdir -p "$work"
  local status=0
  "$exe" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$BUILD/artifacts/$name-" "$work" "fuzz/corpus/$name" >"$BUILD/$name.log" 2>&1 || status=$?
  echo "$status" >"$BUILD/$name.status"
}
targets=()
for exe in "$BUILD"/fuzz/fuzz_*; do
  [ -x "$exe" ] && [ -f "$exe" ] && targets+=("$exe")
done
jobs=${FUZZ_JOBS:-$(nproc)}
echo "== ${#targets[@]} targets, $seconds s each, $jobs at a time"
for exe in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  run_target "$exe" &
done
wait

failed=()
summary=()
for exe in "${targets[@]}"; do
  name=$(basename "$exe")
  log="$BUILD/$name.log"
  status=$(cat "$BUILD/$name.status")
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  summary+=("$(printf '%-24s %10s executions%s' "$name" "${runs:-?}" "$([ "$status" -ne 0 ] && echo '  FAILED')")")
  if [ "$status" -ne 0 ]; then
    failed+=("$name")
    grep -E -A40 '^==[0-9]+==ERROR|runtime error|deadly signal|Test unit written' "$log" | head -80 || tail -40 "$log"
  fi
done

echo "Fuzzing, $seconds s per target:"
printf '  %s\n' "${summary[@]}"
if [ ${#failed[@]} -ne 0 ]; then
  echo "Crashed: ${failed[*]} (inputs in $BUILD/artifacts/)" >&2
  exit 1
fi
