# Shared by the install and package tests: checks of an installed tree as a user gets it.
# Sourced; each check prints "FAIL: ..." and counts a failure instead of stopping, so one run
# reports everything that is wrong.

failures=0
checks=0
: "${LUMETRA_ICON_SIZES:?the icon sizes of the build, space-separated}"

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

pass() {
    checks=$((checks + 1))
}

# expect <description> <command...>: the command must succeed.
expect() {
    local what="$1"
    shift
    if "$@"; then pass; else fail "$what"; fi
}

finish() {
    echo "$checks passed, $failures failed"
    [ "$failures" -eq 0 ]
}

# A scratch folder that goes when the test ends; also the state and runtime folders of every
# program the test starts, so no test touches the user's files.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/lumetra-dist.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export XDG_STATE_HOME="$scratch/state" XDG_RUNTIME_DIR="$scratch/runtime"
mkdir -p "$XDG_STATE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

# The files an install of the programs brings, relative to the prefix: one a line.
# expected_files <library dir relative to the prefix> <program...>
expected_files() {
    local libdir="$1" size program
    shift
    cat <<LIST
$libdir/libSLABHIDtoUART.so
$libdir/libSLABHIDtoUART-sim.so
lib/udev/rules.d/60-lumetra.rules
share/applications/org.lumetra.Lumetra.desktop
share/metainfo/org.lumetra.Lumetra.metainfo.xml
share/icons/hicolor/scalable/apps/lumetra.svg
share/doc/lumetra/copyright
share/doc/lumetra/changelog.Debian.gz
share/lintian/overrides/lumetra
LIST
    for size in $LUMETRA_ICON_SIZES; do
        echo "share/icons/hicolor/${size}x${size}/apps/lumetra.png"
    done
    for program in "$@"; do
        echo "bin/$program"
        echo "share/man/man1/$program.1.gz"
    done
}

# run <seconds> <command...>: runs a program as a user would, with its output in $out and $err
# and its exit status in $status; a program that hangs is stopped and counts as status 124.
run() {
    local seconds="$1"
    shift
    set +e
    timeout --kill-after=5 "$seconds" "$@" >"$scratch/out" 2>"$scratch/err"
    status=$?
    set -e
    out=$(cat "$scratch/out")
    err=$(cat "$scratch/err")
}

# check_programs <prefix> <version> <program...>: the installed programs start from <prefix>
# as they are, and the window finds its bridge library by its rule.
check_programs() {
    local prefix="$1" version="$2" program
    shift 2
    for program in "$@"; do
        # No display at all: a terminal over ssh, a packaging script.
        run 30 env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/$program" --version
        expect "$program --version without a display exits 0 (status $status: $err)" \
            [ "$status" -eq 0 ]
        expect "$program --version prints its version $version (printed: $out)" \
            [ "${out##* }" = "$version" ]
        run 30 env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/$program" --help
        expect "$program --help exits 0 (status $status: $err)" [ "$status" -eq 0 ]
    done
    [ -x "$prefix/bin/lumetra" ] || return 0
    run 30 "$prefix/bin/lumetra" --version
    expect "lumetra --version prints \"Lumetra $version\" (printed: $out)" \
        [ "$out" = "Lumetra $version" ]
    run 30 "$prefix/bin/lumetra" --help
    local option
    for option in --simulate --check --version --help; do
        expect "lumetra --help names $option" grep -q -- "^ *\(-[a-z], \)\?$option " \
            "$scratch/out"
    done

    # The start check against the simulated meter, on three layouts of the same files: as
    # installed, with the bridge libraries beside the program (a portable copy), and without
    # them. layout | exit status | what the check prints
    local layout want pattern tree libs
    while IFS='|' read -r layout want pattern; do
        tree="$scratch/tree-$layout"
        rm -rf "$tree"
        cp -a "$prefix" "$tree"
        libs=$(dirname "$(find "$tree" -name libSLABHIDtoUART-sim.so | head -n 1)")
        case "$layout" in
            beside) mv "$libs"/libSLABHIDtoUART*.so "$tree/bin/" ;;
            missing) rm -f "$libs"/libSLABHIDtoUART*.so ;;
        esac
        run 60 env QT_QPA_PLATFORM=offscreen "$tree/bin/lumetra" --simulate --check
        expect "$layout: lumetra --simulate --check exits $want (status $status; $out $err)" \
            [ "$status" -eq "$want" ]
        expect "$layout: lumetra --simulate --check prints /$pattern/ ($out $err)" \
            grep -Eq "$pattern" "$scratch/out" "$scratch/err"
        rm -rf "$tree"
    done <<'TABLE'
installed|0|^LMT-SIM-0001: C[sp] [0-9.]+ [pnum]F, D [0-9.]+, 1KHz$
beside|0|^LMT-SIM-0001: C[sp] [0-9.]+ [pnum]F, D [0-9.]+, 1KHz$
missing|1|^DLL File is not Exists!$
TABLE
}
