#!/usr/bin/env bash
# Configures and builds TALVENO in a build folder: build.sh [FOLDER [CMAKE OPTIONS...]]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
cmake --build "$dir"
