#!/usr/bin/env bash
# Builds what changed and starts Lumetra; arguments go to the program (try --simulate).
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup
. scripts/ccache-env
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run.sh: no display (DISPLAY and WAYLAND_DISPLAY are empty)." >&2
    echo "        Start it under a virtual one instead:  xvfb-run ./run.sh $*" >&2
    exit 1
fi
[ -f build/default/build.ninja ] || cmake --preset default >/dev/null
cmake --build --preset default
exec build/default/bin/lumetra "$@"
