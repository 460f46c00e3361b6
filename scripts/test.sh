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

# The channel fuzzer with a fixed seed (a longer run with a random seed: docs/architecture.md).
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  build/sanitize/tools/channel_fuzzer/channel_fuzzer --seed 1 --messages-per-channel 600 \
  --seconds 110

cmake --preset thread
cmake --build --preset thread --parallel "$(nproc)"
ctest --preset thread --parallel "$(nproc)"
