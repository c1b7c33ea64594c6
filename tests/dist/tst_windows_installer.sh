#!/usr/bin/env bash
# The Windows zip and installer, under Wine: tst_windows_installer.sh BUILD_DIR VERSION
# Packs the build (scripts/windows-package), runs the programs from the unpacked zip in a folder
# of its own, installs silently into a fresh prefix (with the recorder), runs both programs from
# the installed folder, uninstalls, and checks that the uninstaller left nothing behind.
set -euo pipefail
build=$(realpath "$1") version=$2
tree=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() { wineserver -k 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export LUMETRA_SIM_FRAME_MS=100

"$tree/scripts/windows-package" "$build" "$work/out" "$version" >"$work/package.txt"
cat "$work/package.txt"
zip="$work/out/Lumetra-$version-windows-x64.zip"
setup="$work/out/Lumetra-$version-setup.exe"
[ -s "$zip" ] && [ -s "$setup" ] || fail "the package gave no zip or installer"

wineboot -i >/dev/null 2>&1
wineserver -w

# The zip runs from any folder: unpacked somewhere new, nothing else on the path.
mkdir -p "$work/any where"
(cd "$work/any where" && cmake -E tar xf "$zip")
folder="$work/any where/Lumetra-$version"
out=$(wine "$folder/lumetra.exe" --version 2>&1 | tr -d '\r')
[ "$out" = "Lumetra $version" ] || fail "lumetra.exe --version from the zip said: $out"
(cd "$work" && wine "$folder/lumetra-record.exe" --simulate --frames 5 --quiet --output 'C:\zip.txt') ||
    fail "lumetra-record.exe from the zip ended with status $?"
rows="$WINEPREFIX/drive_c/zip.txt"
[ -f "$rows" ] || fail "lumetra-record.exe wrote no C:\\zip.txt"
# The text form as the Linux build writes it: its header line, then a row a reading, CR LF.
header=$(printf 'NO\tTime\tMMode\tMValue\tMUnit\tSMode\tSValue\tSUnit\tFreq\r')
[ "$(head -1 "$rows")" = "$header" ] || fail "C:\\zip.txt does not start with the record header"
[ "$(grep -c $'\r$' "$rows")" -eq 6 ] || fail "C:\\zip.txt holds $(($(wc -l <"$rows") - 1)) rows ended by CR LF, not 5"
echo "zip: --version and 5 recorded rows from an unpacked folder"

# The installer, unattended, with the recorder.
wine "$setup" /S /RECORDER || fail "the installer ended with status $?"
wineserver -w
installed="$WINEPREFIX/drive_c/Program Files/Lumetra"
for f in lumetra.exe lumetra-record.exe uninstall.exe SLABHIDtoUART.dll platforms/qwindows.dll; do
    [ -f "$installed/$f" ] || fail "the installer put no $f into C:\\Program Files\\Lumetra"
done
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Lumetra"
for link in "Lumetra.lnk" "Lumetra (simulated meter).lnk"; do
    [ -f "$menu/$link" ] || fail "no Start menu entry $link"
done
wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumetra' /v DisplayVersion \
    2>/dev/null | tr -d '\r' | grep -q "$version" || fail "no uninstall entry in the registry"
out=$(wine "$installed/lumetra.exe" --version 2>&1 | tr -d '\r')
[ "$out" = "Lumetra $version" ] || fail "the installed lumetra.exe --version said: $out"
printed=$(cd "$work" && wine "$installed/lumetra-record.exe" --simulate --frames 3 | tr -d '\r')
[ "$(printf '%s\n' "$printed" | grep -c .)" -eq 3 ] || fail "the installed recorder printed: $printed"
echo "installer: installed with the recorder; --version and 3 readings from the installed folder"

# A file of the user's own in the folder stays; everything the installer put there goes.
echo mine >"$installed/notes.txt"
wine "$installed/uninstall.exe" /S || fail "the uninstaller ended with status $?"
wineserver -w
sleep 1
left=$(cd "$installed" && find . -mindepth 1 | sort)
[ "$left" = "./notes.txt" ] || fail "after uninstalling, the folder holds: $left"
[ ! -e "$menu" ] || fail "the Start menu folder is still there"
if wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumetra' >/dev/null 2>&1; then
    fail "the uninstall entry is still in the registry"
fi
echo "uninstaller: removed its files, menu entries and registry keys, kept the user's file"
