#!/usr/bin/env bash
# cmake --install into a fresh prefix gives a working desktop program: every file in its place,
# the desktop entry and the metainfo valid and pointing at what was installed, the icon at each
# size, the manual pages, and programs that start from there.
# tst_install.sh <cmake> <build dir> <library dir> <version> <program...>
set -euo pipefail
cmake="$1" build="$2" libdir="$3" version="$4"
shift 4
programs=("$@")
. "$(dirname "$0")/distcheck.sh"

prefix="$scratch/prefix"
"$cmake" --install "$build" --prefix "$prefix" >"$scratch/install.log" \
    || { cat "$scratch/install.log" >&2; fail "cmake --install"; finish; }

while read -r file; do
    expect "installed: $file" [ -f "$prefix/$file" ]
done < <(expected_files "$libdir" "${programs[@]}")
expect "no library beside the programs in bin/" \
    [ -z "$(find "$prefix/bin" -name '*.so*')" ]

for size in $LUMETRA_ICON_SIZES; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/lumetra.png"
    [ -f "$icon" ] || continue
    expect "icon ${size}x${size} is that size" \
        [ "$(identify -format '%wx%h' "$icon")" = "${size}x${size}" ]
done

desktop="$prefix/share/applications/org.lumetra.Lumetra.desktop"
metainfo="$prefix/share/metainfo/org.lumetra.Lumetra.metainfo.xml"
expect "desktop-file-validate: $(desktop-file-validate "$desktop" 2>&1)" \
    desktop-file-validate "$desktop"
expect "appstreamcli validate: $(appstreamcli validate --no-net "$metainfo" 2>&1 | tail -n 5)" \
    appstreamcli validate --no-net "$metainfo"
expect "appstreamcli validate-tree: $(appstreamcli validate-tree --no-net "$prefix" 2>&1 | tail -n 5)" \
    appstreamcli validate-tree --no-net "$prefix"
# What the menu starts and shows must be what was installed.
for exec in $(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop"); do
    expect "desktop entry starts an installed program ($exec)" [ -x "$prefix/bin/$exec" ]
done
icon=$(sed -n 's/^Icon=//p' "$desktop")
expect "desktop entry's icon \"$icon\" is in the theme" \
    [ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ]
expect "metainfo launches the installed desktop entry" \
    grep -q "<launchable type=\"desktop-id\">$(basename "$desktop")</launchable>" "$metainfo"
expect "metainfo's newest release is $version" \
    [ "$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)" = "$version" ]
expect "metainfo refers to a screenshot" \
    grep -Eq '<image( [^>]*)?>https://[^<]+\.png</image>' "$metainfo"

rule="$prefix/lib/udev/rules.d/60-lumetra.rules"
expect "udev rule hands 10c4:ea80 to the seat's user and to the group plugdev" \
    grep -Eq '^SUBSYSTEM=="hidraw", .*"0003:10C4:EA80\.\*".*TAG\+="uaccess".*GROUP="plugdev", MODE="0660"' "$rule"

for program in "${programs[@]}"; do
    page="$prefix/share/man/man1/$program.1.gz"
    [ -f "$page" ] || continue
    warnings=$(zcat "$page" | groff -man -ww -z -Tutf8 2>&1 || echo "groff failed")
    expect "man page of $program renders without warnings: $warnings" [ -z "$warnings" ]
    title=$(zcat "$page" | sed -n 's/^\.TH \([^ ]*\) 1 .*/\1/p' | tr -d '\\' | tr 'A-Z' 'a-z')
    expect "man page of $program is its page in section 1 (title: $title)" [ "$title" = "$program" ]
done
expect "man page of lumetra documents --simulate" \
    bash -c "zcat '$prefix/share/man/man1/lumetra.1.gz' | grep -q 'simulate'"

check_programs "$prefix" "$version" "${programs[@]}"
finish
