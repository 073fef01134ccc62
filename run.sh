#!/usr/bin/env bash
# Installs what is missing, builds, and starts the desktop tool against its built-in simulated module.
set -uo pipefail
cd "$(dirname "$0")"
source scripts/common.sh

etc_install_missing || exit 1
etc_build build || exit 1

if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
    cat >&2 <<'TEXT'
etcconf is a desktop program, and there is no display here: neither DISPLAY nor WAYLAND_DISPLAY is set.
Two ways forward:
  xvfb-run ./run.sh                                  the window on a virtual display (needs: apt-get install xvfb xauth)
  ./build/src/programs/etcctl --simulate monitor     the live values of the simulated module in this terminal
TEXT
    exit 1
fi
exec ./build/src/programs/etcconf --simulate -O "$@"
