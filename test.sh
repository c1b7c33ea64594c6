#!/usr/bin/env bash
# Builds and runs every test: ./test.sh [default|asan|tsan|windows]. default runs the suite, then
# the kernel tests (a QEMU guest each, minutes rather than seconds, so a preset of their own);
# asan adds AddressSanitizer, UndefinedBehaviorSanitizer and leak checks; tsan runs every test
# whose code starts a thread; windows cross-builds for Windows (the libraries once, into a cache
# folder: scripts/windows-toolchain) and runs the tests under Wine, the installer's among them.
set -euo pipefail
cd "$(dirname "$0")"
preset="${1:-default}"
. scripts/ccache-env
if [ "$preset" = windows ]; then
    scripts/setup windows
    scripts/windows-toolchain
    LUMETRA_MINGW_PREFIX=$(scripts/windows-toolchain --prefix)
    export LUMETRA_MINGW_PREFIX
    cmake --preset windows >/dev/null
    cmake --build --preset windows
    # Wine starts a server and services per prefix: two tests a core keep the cores busy.
    ctest --preset windows -j "$(($(nproc) * 2))"
    exit 0
fi
scripts/setup
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
# As the tests' own setting has it (CMakeLists.txt): offscreen, on a screen of a desktop's size.
export QT_QPA_PLATFORM="offscreen:configfile=$PWD/tests/offscreen.json"
case "$preset" in
    asan) export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
              LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" ;;
esac
# Most tests spend their time waiting for a program they started, a timer or the simulated
# meter, not computing: three at a time a core keeps the cores busy (a sanitizer's tests compute
# more, so two a core there). The kernel tests each keep a core busy emulating their guest.
case "$preset" in
    default) per_core=3 ;;
    *) per_core=2 ;;
esac
ctest --preset "$preset" -j "$(($(nproc) * per_core))"
if [ "$preset" = default ]; then
    ctest --preset kernel -j "$(nproc)"
fi
