#!/usr/bin/env bash
# Makes the seed corpora with the project's own tools (run after a build).
set -euo pipefail
cd "$(dirname "$0")/.."
C=fuzz/corpus
mkdir -p $C/bookfile $C/bookload $C/config $C/charsets $C/placeholders $C/convert $C/zipdir
W=$(mktemp -d)
printf '          A Title\r\n                                        an epigraph\r\n  First paragraph goes\r\non here-\r\n next line.\r\n   verse one\r\n   verse two\r\n  - Dialogue <b>bold</b> & more\r\n' > $W/short.txt
printf '  \xfd\xf2\xee \xe1\xfb\xeb\xee \xf2\xe5\xea\xf1\xf2 \xed\xe0 \xf0\xf3\xf1\xf1\xea\xee\xec.\r\n' > $W/cp1251.txt
printf '\xef\xbb\xbf  caf\xc3\xa9 cr\xc3\xa8me\n  \xd0\xbf\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82\n' > $W/utf8.txt
mkdir $W/lib
build/app/tavisto-convert --library $W/lib $W/short.txt $W/cp1251.txt >/dev/null
cp $W/lib/short.tvst $C/bookfile/short.tvst
cp $W/lib/cp1251.tvst $C/bookfile/cp1251.tvst
cp $C/bookfile/*.tvst $C/bookload/  # with the damaged books the tests make, kept as they are
head -c 6000 build/app/MyBooks/seagull.txt > $C/convert/guide-start.txt
cp $W/short.txt $W/cp1251.txt $W/utf8.txt $C/convert/
printf '[General]\r\nRecentBook=seagull.txt\r\nScrollSpeed=$1E\r\n\r\n[Style]\r\nnorm_font=Arial\r\nnorm_color=375060\r\nnorm_size=28\r\nbgcolor=#c0cbca\r\ntitl_color=BA37EC\r\n[Other]\r\nkeep=1\r\n' > $C/config/config.dat
cp data/Templates/charsets.dat $C/charsets/
{ printf 'norm_font=Arial|norm_size=28|norm_color=375060|bgcolor=C0CBCA|titl_color=BA37EC|Charset=cp866\n'; cat data/Templates/style.tml; } > $C/placeholders/style
{ printf 'Charset=UTF-8\n'; cat data/Templates/vpage.tml; } > $C/placeholders/vpage
mkdir -p $W/z/docs && cp $W/short.txt $W/z/a.txt && cp $W/utf8.txt $W/z/docs/b.txt && echo x > $W/z/c.doc
(cd $W/z && zip -q -r ../arch.zip a.txt docs c.doc)
cp $W/arch.zip $C/zipdir/arch.zip
# fb2/: the tests' sample FictionBook (written by hand, kept as it is).
mkdir -p $C/fb2
rm -rf "$W"
echo "seeds in $C"
