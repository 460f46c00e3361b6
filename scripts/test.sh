#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer, and runs
# every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset sanitize
cmake --build --preset sanitize --parallel "$(nproc)"
ctest --preset sanitize --parallel "$(nproc)"
