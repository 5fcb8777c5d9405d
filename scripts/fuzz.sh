#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build (make fuzz) for a set time each,
# starting from its seed corpus in fuzz/<name>/corpus (and with the words
# of fuzz/<name>/dict, when there is one). New inputs go to
# <build>/fuzz-corpus/<name>, findings to <build>/fuzz-findings. Fails when
# any target finds a crash, a leak, a hang (one input longer than
# FUZZ_TIMEOUT seconds, 20) or runs out of memory (FUZZ_RSS_MB).
#   scripts/fuzz.sh BUILD_DIR SECONDS [TARGET...]
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:?build directory}
seconds=${2:?seconds per target}
shift 2
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(tagfile payload instructions launchscript verification simstate
           adapter_answers)
fi
timeout_s=${FUZZ_TIMEOUT:-20}
rss_mb=${FUZZ_RSS_MB:-2048}

findings="$build/fuzz-findings"
mkdir -p "$findings"
# The targets write each input to files: their scratch directories go to
# a directory of this run in memory when the machine has one, else below
# the build. It goes when the run ends, also after a target ended by a
# finding left its directory behind.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  scratch=$(mktemp -d /dev/shm/fuzz-run-XXXXXX)
else
  mkdir -p "$build/fuzz-tmp"
  scratch=$(mktemp -d "$build/fuzz-tmp/run-XXXXXX")
fi
trap 'rm -rf -- "$scratch"' EXIT

export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

failed=()
for name in "${targets[@]}"; do
  program="$build/fuzz/fuzz_$name"
  seeds="fuzz/$name/corpus"
  corpus="$build/fuzz-corpus/$name"
  if [ ! -x "$program" ]; then
    echo "fuzz: $program is missing (make fuzz builds it)" >&2
    failed+=("$name")
    continue
  fi
  mkdir -p "$corpus"
  echo "== fuzz $name (${seconds}s)"
  log="$findings/$name.log"
  dict=()
  if [ -f "fuzz/$name/dict" ]; then dict=(-dict="fuzz/$name/dict"); fi
  TMPDIR="$scratch" "$program" "${dict[@]}" -max_total_time="$seconds" \
    -timeout="$timeout_s" -rss_limit_mb="$rss_mb" -max_len=65536 \
    -print_final_stats=1 -artifact_prefix="$findings/$name-" \
    "$corpus" "$seeds" >"$log" 2>&1
  status=$?
  tail -n 12 "$log"
  if [ $status -ne 0 ]; then
    echo "fuzz: $name found a problem (exit $status); see $log" >&2
    failed+=("$name")
  fi
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: findings in: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: no findings"
