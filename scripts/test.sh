#!/bin/bash
# The whole test suite: installs what is missing, builds both builds, runs every test
# (native under ASan/UBSan, Windows under Wine) in one CTest run.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
ctest --test-dir "$root/build/host" -j"$(nproc)" --output-on-failure "$@"
