#!/usr/bin/env bash
# Makes the README's pictures under docs/: the reader and each of its dialogs,
# on a virtual screen with a window manager (openbox), at 1280x800 and 800x600.
# The books of ../shared/texts/, when that folder is there, fill My Books.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVISTO_GUI=ON >/dev/null
cmake --build build -j"$(nproc)" --target stage tavisto_screenshot
mkdir -p docs
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
texts=()
[ -d ../shared/texts ] && texts=(../shared/texts)
for size in 1280x800 800x600; do
  xvfb-run -a -s "-screen 0 ${size}x24" bash -c \
    'openbox >/dev/null 2>&1 & exec "$@"' _ \
    build/tests/tavisto_screenshot build/share/tavisto docs "$size" "${texts[@]}"
done
# The main window, My Books and Style in Russian, on both screens.
for size in 1280x800 800x600; do
  LANG=ru_RU.UTF-8 LC_ALL= LC_MESSAGES= xvfb-run -a -s "-screen 0 ${size}x24" bash -c \
    'openbox >/dev/null 2>&1 & exec "$@"' _ \
    build/tests/tavisto_screenshot build/share/tavisto docs "ru-$size" "${texts[@]}"
done
echo "pictures written to docs/"
