#!/bin/sh
# `cmake --install` as a package build runs it (DESTDIR, a prefix of its own):
# the program, a desktop entry that desktop-file-validate accepts and that
# starts the program, and the icon at 16 to 256 pixels in the hicolor theme.
set -eu  # arguments: the build folder, a scratch folder
root=$2 prefix=/opt/velmora
fail() { echo "FAIL: $*" >&2; exit 1; }
rm -rf "$root"
DESTDIR=$root cmake --install "$1" --prefix "$prefix" >/dev/null
entry=$(echo "$root$prefix"/share/applications/*.desktop)  # named after the application id
out=$(desktop-file-validate "$entry" 2>&1) && [ -z "$out" ] || fail "desktop entry: $out"
exec=$(sed -n 's/^Exec=//p' "$entry")
[ "$exec" = "$prefix/bin/velmora-setup" ] && [ -x "$root$exec" ] || fail "Exec=$exec is not the installed program"
for size in 16 32 48 64 128 256; do  # a PNG holds its width and height, big-endian, from byte 16
    png=$root$prefix/share/icons/hicolor/${size}x$size/apps/$(sed -n 's/^Icon=//p' "$entry").png
    [ "$(od -An -tx1 -j16 -N8 "$png" | tr -d ' \n')" = "$(printf %08x%08x "$size" "$size")" ] || fail "no $size px icon"
done
rm -rf "$root"
