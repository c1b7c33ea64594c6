#!/bin/sh
# Runs one test program in the guest: guest.sh [--udev RULE] PROGRAM [ARGUMENTS]. With --udev,
# systemd-udevd runs with RULE installed, as on a desktop. Per-case results go to junit.xml in
# the current folder (the results folder).
export HOME=/tmp XDG_RUNTIME_DIR=/tmp/runtime QT_QPA_PLATFORM=offscreen
# The guest's root is a chroot of the host's; udevadm would refuse to work in one.
export SYSTEMD_IGNORE_CHROOT=1
mkdir -p -m 700 /tmp/runtime
udev=
if [ "$1" = --udev ]; then
    udev=1
    mount -t tmpfs -o mode=755 tmpfs /etc/udev/rules.d
    cp "$2" /etc/udev/rules.d/
    shift 2
    /lib/systemd/systemd-udevd --daemon || exit 4
    udevadm settle
fi
program=$1
shift
"$program" -o "$PWD/junit.xml,junitxml" -o -,txt "$@"
status=$?
[ -n "$udev" ] && udevadm control --exit
exit $status
