#!/usr/bin/env bash
# Makes the guest the kernel tests boot, once per build tree: Debian's own kernel package
# (fetched with apt-get download, unpacked with dpkg-deb, never installed) and an initramfs of
# busybox and the modules needed to reach the host's files and to make HID devices.
# Usage: prepare.sh CACHE_DIR. Leaves CACHE_DIR/vmlinuz and CACHE_DIR/initrd.gz.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cache=$1
mkdir -p "$cache"
cd "$cache"

# A changed guest init makes a new initramfs; the kernel package itself is kept.
if [ -f vmlinuz ] && [ -f initrd.gz ] && [ initrd.gz -nt "$here/init" ]; then
    exit 0
fi

# The kernel the metapackage stands for today; kept, so later runs fetch nothing.
deb=$(ls linux-image-*.deb 2>/dev/null | head -n 1 || true)
if [ -z "$deb" ]; then
    package=$(apt-cache depends linux-image-amd64 | sed -n 's/^ *Depends: \(linux-image-[^ ]*\)$/\1/p' | head -n 1)
    [ -n "$package" ] || { echo "prepare: no kernel package behind linux-image-amd64" >&2; exit 1; }
    apt-get download "$package" 2>&1 | grep -v '^W: Download is performed unsandboxed' >&2 || true
    deb=$(ls linux-image-*.deb 2>/dev/null | head -n 1 || true)
    [ -n "$deb" ] || { echo "prepare: apt-get download $package failed" >&2; exit 1; }
fi

rm -rf root initramfs
dpkg-deb -x "$deb" root
modules=$(ls -d root/lib/modules/*/ | head -n 1)

# Load order from each module's own depends= field: the package carries no modules.dep, and
# which of these are separate modules differs between kernel versions.
declare -A file
while IFS= read -r f; do
    n=${f##*/}
    n=${n%%.ko*}
    file[${n//-/_}]=$f
done < <(find "$modules" -name '*.ko*')

plain() { # a module's bytes, uncompressed
    case "$1" in
    *.xz) xz -dc "$1" ;;
    *.zst) zstd -dc "$1" ;;
    *.gz) gzip -dc "$1" ;;
    *) cat "$1" ;;
    esac
}

mkdir -p initramfs/bin initramfs/lib/modules initramfs/proc initramfs/sys initramfs/dev initramfs/host
declare -A loaded
order=()
load() {
    local name=${1//-/_}
    [ -n "${loaded[$name]:-}" ] && return 0
    loaded[$name]=1
    local f=${file[$name]:-}
    [ -n "$f" ] || return 0 # built into this kernel
    plain "$f" >"initramfs/lib/modules/$name.ko"
    local deps
    deps=$(objcopy -O binary --only-section=.modinfo "initramfs/lib/modules/$name.ko" /dev/stdout \
        | tr '\0' '\n' | sed -n 's/^depends=//p')
    local d
    for d in ${deps//,/ }; do
        load "$d"
    done
    order+=("$name")
}
for m in virtio_pci 9pnet_virtio 9p uhid hid_generic; do
    load "$m"
done
printf '%s\n' "${order[@]}" >initramfs/modules

# busybox-static: the guest runs it before any library can be reached.
cp /bin/busybox initramfs/bin/busybox
install -m 755 "$here/init" initramfs/init
(cd initramfs && find . | busybox cpio -o -H newc 2>/dev/null) | gzip -1 >initrd.gz.part
cp root/boot/vmlinuz-* vmlinuz.part
mv initrd.gz.part initrd.gz
mv vmlinuz.part vmlinuz
rm -rf root
