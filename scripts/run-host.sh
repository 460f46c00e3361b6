#!/usr/bin/env bash
# Installs what is missing, builds the host in release mode, then runs the demo Dart side
# (tools/dart_side/demo.py): it starts the host with DART_SIDE_SOCKET set, calls what the host
# offers over that socket, prints the answers, and asks the host to close its window (SIGTERM).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release
cmake --build --preset release --parallel "$(nproc)"
exec python3 tools/dart_side/demo.py build/release/DesktopHost.app/Contents/MacOS/DesktopHost
