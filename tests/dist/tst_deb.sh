#!/usr/bin/env bash
# cpack -G DEB builds a Debian package that declares what it needs, holds what an install holds,
# reloads the udev rules after installing without ever failing the install, and whose programs
# run from the unpacked package.
# tst_deb.sh <cpack> <build dir> <library dir> <version> <program...>
set -euo pipefail
cpack="$1" build="$2" libdir="$3" version="$4"
shift 4
programs=("$@")
. "$(dirname "$0")/distcheck.sh"

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/package" >"$scratch/cpack.log" \
    2>&1 || { cat "$scratch/cpack.log" >&2; fail "cpack -G DEB"; finish; }
deb=$(find "$scratch/package" -maxdepth 1 -name "lumetra_${version}-1_*.deb" | head -n 1)
[ -n "$deb" ] || { fail "no lumetra_${version}-1_*.deb in $(ls "$scratch/package")"; finish; }

# field | what it must hold (an extended regular expression, matched against the whole field)
while IFS='|' read -r field pattern; do
    value=$(dpkg-deb -f "$deb" "$field")
    expect "$field: /$pattern/ (is: $value)" grep -Eq "$pattern" <<<"$value"
done <<TABLE
Package|^lumetra$
Version|^${version}-1$
Architecture|^$(dpkg --print-architecture)$
Depends|(^|, )libqt6widgets6( |,|$)
Depends|(^|, )libqt6printsupport6( |,|$)
Depends|(^|, )libqt6gui6( |,|$)
Depends|(^|, )libhidapi-hidraw0( |,|$)
Depends|(^|, )libudev1( |,|$)
Recommends|(^|, )fonts-dseg(,|$)
Recommends|(^|, )fonts-liberation2(,|$)
Maintainer|^.+ <[^@ ]+@[^ ]+>$
Description|^[a-z].+
TABLE
# The charts are painted by us: the package needs no chart library.
expect "Depends: no libqt6charts6" bash -c '! grep -q libqt6charts <<<"$1"' _ \
    "$(dpkg-deb -f "$deb" Depends)"

# Debian's own checks of the package: no error and no warning (informational tags may stay).
if command -v lintian >/dev/null; then
    set +e
    lintian --fail-on error,warning --no-tag-display-limit "$deb" >"$scratch/lintian.log" 2>&1
    status=$?
    set -e
    expect "lintian reports no error or warning: $(grep -E '^[EW]:' "$scratch/lintian.log" \
        | paste -sd ';' -) (status $status)" [ "$status" -eq 0 ]
else
    fail "lintian is not installed (scripts/setup installs it)"
fi

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||' >"$scratch/contents"
while read -r file; do
    expect "in the package: usr/$file" grep -qxF "usr/$file" "$scratch/contents"
done < <(expected_files "$libdir" "${programs[@]}")
expect "the package installs nothing outside /usr" \
    [ -z "$(grep -v '^usr/' "$scratch/contents")" ]

# The maintainer scripts, run with a stand-in udevadm that logs its calls and answers as the
# row says. Installing must never fail, whether udev runs or not.
# script argument | udevadm | its calls, space-joined
dpkg-deb -e "$deb" "$scratch/control"
for script in postinst postrm; do
    expect "$script is executable" [ -x "$scratch/control/$script" ]
done
fake="$scratch/fakebin"
mkdir -p "$fake"
while IFS='|' read -r script argument udevadm calls; do
    rm -f "$fake/udevadm" "$scratch/udevadm.log"
    touch "$scratch/udevadm.log"
    case "$udevadm" in
        absent) ;;
        *) cat >"$fake/udevadm" <<FAKE
#!/bin/sh
echo "\$*" >>"$scratch/udevadm.log"
case "$udevadm:\$*" in
    down:control\ --ping) exit 1 ;;
    failing:control\ --reload-rules|failing:trigger*) exit 1 ;;
esac
exit 0
FAKE
            chmod +x "$fake/udevadm" ;;
    esac
    set +e
    PATH="$fake:/usr/bin:/bin" sh "$scratch/control/$script" "$argument" >/dev/null 2>&1
    status=$?
    set -e
    logged=$(awk '{print $1"/"$2}' "$scratch/udevadm.log" | paste -sd ' ' -)
    expect "$script $argument with udevadm $udevadm exits 0 (status $status)" [ "$status" -eq 0 ]
    expect "$script $argument with udevadm $udevadm calls: $calls (called: $logged)" \
        [ "$logged" = "$calls" ]
done <<'TABLE'
postinst|configure|running|control/--ping control/--reload-rules trigger/--action=change
postinst|configure|failing|control/--ping control/--reload-rules trigger/--action=change
postinst|configure|down|control/--ping
postinst|configure|absent|
postinst|abort-upgrade|running|
postrm|remove|running|control/--ping control/--reload-rules trigger/--action=change
postrm|remove|down|control/--ping
postrm|upgrade|running|
TABLE

dpkg-deb -x "$deb" "$scratch/unpacked"
check_programs "$scratch/unpacked/usr" "$version" "${programs[@]}"
finish
