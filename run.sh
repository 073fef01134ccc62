#!/usr/bin/env bash
# Installs what is missing, builds, and starts the main job: until the desktop window exists, the
# command-line monitor against the built-in simulated module for ten seconds.
set -uo pipefail
cd "$(dirname "$0")"
source scripts/common.sh

etc_install_missing || exit 1
etc_build build || exit 1
exec ./build/src/programs/etcctl --simulate monitor --duration 10 "$@"
