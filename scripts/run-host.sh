#!/usr/bin/env bash
# Installs what is missing, builds the host in release mode and runs it. The host runs until its
# main window closes (Ctrl-C or SIGTERM closes it).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release
cmake --build --preset release --parallel "$(nproc)"
exec build/release/DesktopHost.app/Contents/MacOS/DesktopHost "$@"
