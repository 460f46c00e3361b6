#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# every test, then builds the suites whose threads race on purpose with ThreadSanitizer and runs
# them again.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset sanitize
cmake --build --preset sanitize --parallel "$(nproc)"
ctest --preset sanitize --parallel "$(nproc)"

cmake --preset thread
cmake --build --preset thread --parallel "$(nproc)"
ctest --preset thread --parallel "$(nproc)"
