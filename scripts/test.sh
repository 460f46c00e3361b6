#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# every test and the channel fuzzer, then builds the suites whose threads race on purpose with
# ThreadSanitizer and runs them again.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset sanitize
cmake --build --preset sanitize --parallel "$(nproc)"
ctest --preset sanitize --parallel "$(nproc)"

# The fuzzers with fixed seeds (longer runs with a random seed: docs/architecture.md). What the
# host logs on their inputs is long; on a failure the end of it, where the report is, is shown.
fuzz() {
  local log
  log=$(mktemp)
  if ! ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
      UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 "$@" 2>"$log"; then
    tail -n 100 "$log" >&2
    rm -f "$log"
    return 1
  fi
  rm -f "$log"
}
fuzz build/sanitize/tools/channel_fuzzer/channel_fuzzer --seed 1 --messages-per-channel 600 \
  --seconds 100
for target in pdf media plist; do
  fuzz build/sanitize/tools/file_fuzzer/file_fuzzer --target "$target" --seed 1 --seconds 20 \
    --artifacts build/sanitize
done

cmake --preset thread
cmake --build --preset thread --parallel "$(nproc)"
ctest --preset thread --parallel "$(nproc)"
