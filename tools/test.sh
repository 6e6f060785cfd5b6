#!/usr/bin/env bash
# The test command: installs what is missing, then runs every check CI runs.
#   1. the GCC dev build (warnings as errors) and every test in it, the
#      real-window tests under Xvfb and the level scripts included;
#      then the install check: a moved, read-only install and the Debian
#      package run the game;
#   2. the canary: one test made to fail on purpose must be counted as failed;
#   3. a clang Release build with warnings as errors (building is the check);
#   4. the AddressSanitizer + UndefinedBehaviorSanitizer build running every
#      unit and end-to-end test but the real-window ones, leaks checked;
#   5. the PNG decoder's and the replay reader's fuzz runs.
# Every test is counted from CTest's JUnit report and every step from its exit
# status; the closing line is computed from those alone, and any failure makes
# the command exit non-zero. Needs no display.
#
# ZIRPEL_STEPS (default "dev canary clang asan fuzz") picks steps, e.g.
# ZIRPEL_STEPS=dev for a quick local run.
set -uo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-deps.sh || exit 1

steps=" ${ZIRPEL_STEPS:-dev canary clang asan fuzz} "
jobs=$(nproc)
passed=0
failed=0
failures=()
timings=()

wants() { [[ "$steps" == *" $1 "* ]]; }

# count_junit FILE: prints "PASSED FAILED" from a CTest JUnit report. A test
# passed only when its status is "run"; fail, notrun and anything else failed.
count_junit() {
  local cases run total
  cases=$(grep -oE '<testcase [^>]*status="[a-z]*"' "$1" 2>/dev/null || true)
  total=$(printf '%s' "$cases" | grep -c 'status=' || true)
  run=$(printf '%s' "$cases" | grep -c 'status="run"' || true)
  echo "$run $((total - run))"
  printf '%s\n' "$cases" | grep -v 'status="run"' | grep -oE ' name="[^"]*"' |
    sed -E 's/^ name="(.*)"$/  failed: \1/'
}

# run_ctest LABEL BUILD_DIR [ctest args...]: runs the tests, adds them to the
# count. A ctest that fails without a failed test in its report (a crash of
# the discovery, nothing run at all) counts as one failure of its own.
run_ctest() {
  local label=$1 dir=$2
  shift 2
  local report="$PWD/$dir/junit-$label.xml"  # ctest reads a relative path from the build folder
  rm -f "$report"
  ctest --test-dir "$dir" -j"$jobs" --output-on-failure --output-junit "$report" "$@" \
    >"$dir/ctest-$label.log" 2>&1
  local status=$?
  local counts p f
  counts=$(count_junit "$report")
  read -r p f <<<"$(head -n 1 <<<"$counts")"
  LAST_FAILED_NAMES=$(tail -n +2 <<<"$counts")
  [ -n "$LAST_FAILED_NAMES" ] && echo "$LAST_FAILED_NAMES"
  if [ "$status" -ne 0 ] && [ "$f" -eq 0 ]; then
    f=1
    echo "  $label: ctest exited $status with no failed test in its report"
  fi
  if [ "$p" -eq 0 ] && [ "$f" -eq 0 ]; then
    f=1
    echo "  $label: no test ran"
  fi
  if [ "$f" -ne 0 ]; then
    failures+=("$label tests (log: $dir/ctest-$label.log)")
    grep -E '^(\s*[0-9]+/[0-9]+ Test|The following tests FAILED|\s+[0-9]+ - )' "$dir/ctest-$label.log" |
      grep -vE 'Passed' | head -n 40
  fi
  LAST_PASSED=$p
  LAST_FAILED=$f
}

# step NAME COMMAND...: one check that passes or fails by its exit status.
step() {
  local name=$1
  shift
  local start=$SECONDS
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    failures+=("$name")
    echo "step failed: $name"
  fi
  timings+=("$name: $((SECONDS - start)) s")
}

build_preset() {
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j"$jobs" -- --quiet
}

tests_in() {
  local label=$1 dir=$2
  shift 2
  local start=$SECONDS
  run_ctest "$label" "$dir" "$@"
  passed=$((passed + LAST_PASSED))
  failed=$((failed + LAST_FAILED))
  timings+=("$label tests: $((SECONDS - start)) s ($LAST_PASSED passed, $LAST_FAILED failed)")
}

# The canary must be reported as failed through the same counting code; if
# it is not, the count cannot be trusted and the run fails.
canary() {
  local counted=("${failures[@]}")
  ZIRPEL_CANARY=fail run_ctest canary build -R '^Canary\.' >/dev/null
  failures=("${counted[@]}")
  if [ "$LAST_FAILED" -ne 1 ] || [ "$LAST_PASSED" -ne 0 ] ||
    [ "$LAST_FAILED_NAMES" != "  failed: Canary.FailsOnlyWhenAsked" ]; then
    echo "canary: a deliberately failing test was counted as $LAST_PASSED passed, $LAST_FAILED failed"
    return 1
  fi
}

if wants dev; then
  step "dev build (GCC, RelWithDebInfo)" build_preset dev
  tests_in dev build
  step "install check" bash tools/check-install.sh
fi
wants canary && step "canary" canary
wants clang && step "clang build (Release)" build_preset clang
if wants asan; then
  step "asan build" build_preset asan
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0
  export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  tests_in asan build-asan -E '^RealWindow\.'
  unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
fi
if wants fuzz; then
  step "PNG fuzz run" env FUZZ_SECONDS="${FUZZ_SECONDS:-30}" bash tools/fuzz/run_png_fuzz.sh
  step "replay fuzz run" env FUZZ_SECONDS="${FUZZ_SECONDS:-30}" bash tools/fuzz/run_replay_fuzz.sh
fi

echo "time per step:"
printf '  %s\n' "${timings[@]}"
if [ ${#failures[@]} -ne 0 ]; then
  echo "failed:"
  printf '  %s\n' "${failures[@]}"
fi
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
