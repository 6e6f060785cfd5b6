#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the unit and
# end-to-end tests (with the real-window test under Xvfb and the level
# scripts), then the PNG decoder's fuzz run. Needs no display.
set -uo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-deps.sh || exit 1
bash tools/build.sh || exit 1

passed=0
failed=0

# The test binary in two shards, one per core.
shards=2
logs=()
pids=()
for ((i = 0; i < shards; i++)); do
  log="build/test-shard-$i.log"
  logs+=("$log")
  GTEST_TOTAL_SHARDS=$shards GTEST_SHARD_INDEX=$i build/zirpel-tests --gtest_brief=1 >"$log" 2>&1 &
  pids+=($!)
done
for ((i = 0; i < shards; i++)); do
  wait "${pids[$i]}"
  cat "${logs[$i]}"
  p=$(grep -oE '\[  PASSED  \] [0-9]+' "${logs[$i]}" | grep -oE '[0-9]+$' || echo 0)
  f=$(grep -oE '\[  FAILED  \] [0-9]+ test' "${logs[$i]}" | grep -oE '[0-9]+' || echo 0)
  passed=$((passed + ${p:-0}))
  failed=$((failed + ${f:-0}))
  if ! grep -q '\[  PASSED  \]' "${logs[$i]}"; then
    failed=$((failed + 1))  # the shard crashed or ran nothing
  fi
done

# The decoder against hostile input, for a bounded time.
if [ -f tools/fuzz/run_png_fuzz.sh ]; then
  if FUZZ_SECONDS="${FUZZ_SECONDS:-60}" bash tools/fuzz/run_png_fuzz.sh; then
    passed=$((passed + 1))
  else
    echo "PNG fuzz run failed"
    failed=$((failed + 1))
  fi
fi

echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
