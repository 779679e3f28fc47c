#!/usr/bin/env bash
# Installs what is missing, builds TALVENO and starts it. Arguments go to the
# program: run.sh --simulate tries it with a simulated bar.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
exec build/app/talveno "$@"
