#!/usr/bin/env bash
# The desktop files validate, the Debian package builds with the dependencies it
# needs, and the programs it holds run from where it is unpacked.
#   package_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$1
build=$2
work=$(mktemp -d /tmp/tavisto-package-XXXXXX)
trap 'rm -rf "$work"' EXIT

desktop-file-validate "$src/data/desktop/tavisto.desktop"
appstreamcli validate --no-net "$src/data/desktop/tavisto.metainfo.xml"

(cd "$build" && cpack -G DEB -B "$work/deb" >/dev/null)
deb=$(ls "$work"/deb/tavisto_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for need in libqt6webenginewidgets6 libzip4 fonts-liberation; do
  grep -q "$need" <<<"$depends" || { echo "the package does not depend on $need" >&2; exit 1; }
done

dpkg-deb -x "$deb" "$work/root"
for f in bin/tavisto bin/tavisto-convert lib/tavisto/libtavisto-view.so \
  share/applications/tavisto.desktop \
  share/metainfo/tavisto.metainfo.xml share/icons/hicolor/scalable/apps/tavisto.svg \
  share/icons/hicolor/48x48/apps/tavisto.png share/icons/hicolor/128x128/apps/tavisto.png \
  share/tavisto/vpage.tml share/tavisto/style.tml share/tavisto/charsets.dat \
  "share/tavisto/A Guide to Tavisto.tvst"; do
  [ -f "$work/root/usr/$f" ] || { echo "missing from the package: $f" >&2; exit 1; }
done

# Unpacked, the converter finds its read-only files and sets up a user's library.
printf '          A Packaged Tale\r\n  Converted from the unpacked package.\r\n' >"$work/tale.txt"
mkdir "$work/home"
out=$(HOME="$work/home" XDG_DATA_HOME= "$work/root/usr/bin/tavisto-convert" "$work/tale.txt")
echo "$out"
lib="$work/home/.local/share/tavisto"
[ -f "$lib/MyBooks/tale.tvst" ] || { echo "no book in $lib/MyBooks" >&2; exit 1; }
[ -f "$lib/MyBooks/A Guide to Tavisto.tvst" ] || { echo "no guide in the new library" >&2; exit 1; }
[ -f "$lib/Templates/vpage.tml" ] || { echo "no templates in the new library" >&2; exit 1; }
"$work/root/usr/bin/tavisto-convert" --toc "$lib/MyBooks/tale.tvst" >/dev/null
echo "package ok"
