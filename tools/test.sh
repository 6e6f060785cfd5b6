#!/usr/bin/env bash
# The test command: installs what is missing, then runs every check CI runs.
#   1. the GCC dev build (warnings as errors) and every test in it, the
#      real-window tests under Xvfb and the level scripts included;
#      then the install check: a moved, read-only install and the Debian
#      package run the game;
#   2. the canary: one test made to fail on purpose must be counted as failed;
#   3. a clang Release build with warnings as errors (building is the check);
#   4. the clang AddressSanitizer + UndefinedBehaviorSanitizer build running
#      every unit and end-to-end test but the real-window ones (the level
#      scripts included), leaks checked, and the soak's one-minute version;
#   5. each fuzz target of that build (PNG, maps, the level checker, settings,
#      leaderboard, the runner's scripts, replays) for FUZZ_SECONDS (default 30) each;
#   6. the soak's one-minute version in the dev build (every level played for
#      one simulated minute, nothing may become non-finite), when step 4 did
#      not already run it;
#   7. 100 kills in the middle of storing records, and a record stored onto a
#      full file system (a small tmpfs: needs root, as CI has).
# Every test is counted from CTest's JUnit report and every step from its exit
# status; the closing line is computed from those alone, and any failure makes
# the command exit non-zero. Needs no display.
#
# ZIRPEL_STEPS (default "dev canary clang asan fuzz soak kill") picks steps,
# e.g. ZIRPEL_STEPS=dev for a quick local run.
set -uo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-deps.sh || exit 1

steps=" ${ZIRPEL_STEPS:-dev canary clang asan fuzz soak kill} "
jobs=$(nproc)
passed=0
failed=0
failures=()
timings=()

wants() { [[ "$steps" == *" $1 "* ]]; }
times_file=$(mktemp)
trap 'rm -f "$times_file"' EXIT

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
  # CTest takes a relative report path from the build folder: give it whole.
  local report="$PWD/$dir/junit-$label.xml"
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

# cpu_now: CPU_NOW = processor seconds (user and system) of every finished
# child so far: next to the wall time, what a step costs on a machine shared
# with others. (times must run in this shell, not in a pipe or $(...).)
cpu_now() {
  times >"$times_file"
  CPU_NOW=$(tail -n 1 "$times_file" | awk '{
    t = 0
    for (i = 1; i <= 2; i++) { split($i, a, /[ms]/); t += a[1] * 60 + a[2] }
    printf "%d", t
  }')
}

# step NAME COMMAND...: one check that passes or fails by its exit status.
step() {
  local name=$1
  shift
  local start=$SECONDS cpu
  cpu_now
  cpu=$CPU_NOW
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    failures+=("$name")
    echo "step failed: $name"
  fi
  cpu_now
  timings+=("$name: $((SECONDS - start)) s (cpu $((CPU_NOW - cpu)) s)")
}

build_preset() {
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j"$jobs" -- --quiet
}

tests_in() {
  local label=$1 dir=$2
  shift 2
  local start=$SECONDS cpu
  cpu_now
  cpu=$CPU_NOW
  run_ctest "$label" "$dir" "$@"
  passed=$((passed + LAST_PASSED))
  failed=$((failed + LAST_FAILED))
  cpu_now
  cpu=$((CPU_NOW - cpu))
  timings+=("$label tests: $((SECONDS - start)) s (cpu $cpu s; $LAST_PASSED passed, $LAST_FAILED failed)")
}

# fuzz_all SECONDS NAME...: runs the fuzz targets, as many at a time as
# there are cores, each into its log and exit status file.
fuzz_all() {
  local seconds=$1 name
  shift
  mkdir -p build-asan/fuzz
  for name in "$@"; do
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n; done
    (
      bash tools/fuzz/run_fuzz.sh "$name" "$seconds" >"build-asan/fuzz/$name.log" 2>&1
      echo $? >"build-asan/fuzz/$name.status"
    ) &
  done
  wait
}

# fuzz_result NAME: passes when the target's run ended well; shows its
# executions, or the end of its log when it failed.
fuzz_result() {
  local log="build-asan/fuzz/$1.log"
  if [ "$(cat "build-asan/fuzz/$1.status" 2>/dev/null)" = 0 ]; then
    grep -E '^stat::number_of_executed_units' "$log" | sed "s/^/  $1: /"
  else
    tail -n 40 "$log"
    return 1
  fi
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
if wants asan || wants fuzz; then
  step "asan build (clang, with the fuzz targets)" build_preset asan
fi
if wants asan; then
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0
  export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  tests_in asan build-asan -E '^RealWindow\.'
  step "soak, 1 simulated minute per level (asan)" \
    build-asan/tools/soak/zirpel-soak --minutes 1 --jobs "$jobs"
  unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
fi
if wants fuzz; then
  fuzz_targets=(png map mapcheck settings leaderboard script replay)
  start=$SECONDS
  cpu_now
  cpu=$CPU_NOW
  rm -f build-asan/fuzz/*.status
  fuzz_all "${FUZZ_SECONDS:-30}" "${fuzz_targets[@]}"
  cpu_now
  timings+=("fuzz targets, $jobs at a time: $((SECONDS - start)) s (cpu $((CPU_NOW - cpu)) s)")
  for target in "${fuzz_targets[@]}"; do
    step "fuzz $target (${FUZZ_SECONDS:-30} s)" fuzz_result "$target"
  done
fi
# The sanitizer build's soak covers this one; a run without it soaks here.
if wants soak && ! wants asan; then
  wants dev || step "dev build (GCC, RelWithDebInfo)" build_preset dev
  step "soak, 1 simulated minute per level" build/tools/soak/zirpel-soak --minutes 1 --jobs "$jobs"
fi
if wants kill; then
  wants dev || { wants soak && ! wants asan; } || step "dev build (GCC, RelWithDebInfo)" build_preset dev
  step "100 kills while storing records" build/tools/killwrite/zirpel-kill-write --trials 100
  step "a record stored onto a full disk" build/tools/killwrite/zirpel-kill-write --disk-full
fi

echo "time per step:"
printf '  %s\n' "${timings[@]}"
if [ ${#failures[@]} -ne 0 ]; then
  echo "failed:"
  printf '  %s\n' "${failures[@]}"
fi
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
