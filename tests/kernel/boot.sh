#!/usr/bin/env bash
# Boots the prepared guest once and runs one script in it, as root, in a chroot of the host's
# own root (shared read-only), so the guest runs the very programs of the build tree.
# Usage: boot.sh CACHE_DIR RESULTS_DIR [--feeder PROGRAM] -- COMMAND [ARGUMENTS]
#   COMMAND runs in the guest in RESULTS_DIR (shared writable), with /tmp and /run its own but
#   for the trees under them that COMMAND and RESULTS_DIR lie in.
#   PROGRAM, when given, runs on the host as the far end of the guest's second serial port
#   (/dev/ttyS1): its standard input is what the guest sends, its output what the guest gets.
# Exits with the command's status; 3 when the guest did not come back with one.
set -euo pipefail
cache=$(cd "$1" && pwd)
results=$(mkdir -p "$2" && cd "$2" && pwd)
shift 2
feed=
if [ "${1:-}" = --feeder ]; then
    feed=$2
    shift 2
fi
[ "${1:-}" = -- ] && shift

rm -f "$results/status" "$results/junit.xml"
{
    echo "cd $(printf '%q' "$results") || exit 4"
    printf 'exec'
    printf " %q" "$@"
    echo
} >"$results/run"

fifo="$results/ttyS1"
rm -f "$fifo.in" "$fifo.out"
mkfifo "$fifo.in" "$fifo.out"
feeder=
cleanup() {
    [ -n "$feeder" ] && kill "$feeder" 2>/dev/null || true
    [ -n "${drain:-}" ] && kill "$drain" 2>/dev/null || true
    rm -f "$fifo.in" "$fifo.out"
}
trap cleanup EXIT
if [ -n "$feed" ]; then
    "$feed" <"$fifo.out" >"$fifo.in" &
    feeder=$!
else
    # Whatever the guest sends is dropped, so it never blocks QEMU; the line stays silent.
    cat "$fifo.out" >/dev/null &
    drain=$!
    exec 9<>"$fifo.in"
fi

# The guest covers /tmp and /run with its own; the trees the command names there (a clone or
# a build under /tmp) are handed to it by their top folder, so it keeps them in sight.
keep=
for arg in "$results" "$@"; do
    case "$arg" in
        /tmp/?* | /run/?*) ;;
        *) continue ;;
    esac
    top=$(printf '%s' "$arg" | cut -d/ -f1-3)
    case "$top" in
        *[!A-Za-z0-9._+/-]*) echo "boot.sh: $top cannot be handed to the guest by name" >&2; exit 3 ;;
    esac
    case ",$keep," in
        *",$top,"*) ;;
        *) keep=${keep:+$keep,}$top ;;
    esac
done

started=$(date +%s%N)
# TCG: a guest under KVM does not come up on these machines.
qemu-system-x86_64 -accel tcg -cpu max -m 1024 -smp 1 \
    -nodefaults -no-user-config -display none -no-reboot \
    -kernel "$cache/vmlinuz" -initrd "$cache/initrd.gz" \
    -append "console=ttyS0 quiet loglevel=3 panic=-1 lumetra.results=$results${keep:+ lumetra.keep=$keep}" \
    -chardev stdio,id=console,signal=off -serial chardev:console \
    -serial "pipe:$fifo" \
    -virtfs "local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap" \
    -virtfs "local,path=$results,mount_tag=results,security_model=none,multidevs=remap" \
    </dev/null
echo "boot.sh: the guest ran $(( ($(date +%s%N) - started) / 1000000 )) ms" >&2

[ -f "$results/status" ] || { echo "boot.sh: the guest ended without a status" >&2; exit 3; }
exit "$(cat "$results/status")"
