#!/usr/bin/env bash
# Installs what is missing, builds TALVENO and runs every test: once in a
# plain build, once built with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

# The window tests need no display: Qt draws off screen.
export QT_QPA_PLATFORM=offscreen

echo "== plain build"
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir build --output-on-failure --timeout 300 -j2

echo "== sanitizer build"
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DTALVENO_SANITIZE=ON -DTALVENO_BENCHMARKS=OFF
ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1} UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1} \
  ctest --test-dir build-asan --output-on-failure --timeout 600 -j2
