#!/usr/bin/env bash
# Builds what changed and starts Lumetra; arguments go to the program (try --simulate).
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup
# Paths inside this tree reach the compiler cache as relative ones, so a fresh clone anywhere
# reuses what another tree of the same sources compiled.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run.sh: no display (DISPLAY and WAYLAND_DISPLAY are empty)." >&2
    echo "        Start it under a virtual one instead:  xvfb-run ./run.sh $*" >&2
    exit 1
fi
[ -f build/default/build.ninja ] || cmake --preset default >/dev/null
cmake --build --preset default
exec build/default/bin/lumetra "$@"
