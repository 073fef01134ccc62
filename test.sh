#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: all ctest labels, then the core and simulator
# tests again under AddressSanitizer and UndefinedBehaviorSanitizer. Exits non-zero if anything fails.
set -uo pipefail
cd "$(dirname "$0")"
source scripts/common.sh

etc_install_missing || exit 1

werror=OFF
[[ -n ${CI:-} ]] && werror=ON

status=0
if etc_build build -DETC_WERROR=$werror; then
    ctest --test-dir build --output-on-failure -j2 || status=1
else
    echo "build failed" >&2
    status=1
fi

echo "== sanitizer build (address, undefined): core and simulator tests =="
if etc_build build-asan -DETC_CORE_ONLY=ON -DETC_SANITIZE=ON -DETC_WERROR=$werror; then
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --test-dir build-asan --output-on-failure -j2 -L unit || status=1
else
    echo "sanitizer build failed" >&2
    status=1
fi

exit $status
