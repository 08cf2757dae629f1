#!/usr/bin/env bash
# Makes docs/screenshot.png: the reader with the sample book open, on a virtual screen.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVISTO_GUI=ON >/dev/null
cmake --build build -j"$(nproc)" --target stage tavisto_screenshot
mkdir -p docs
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
xvfb-run -a -s "-screen 0 1280x900x24" build/tests/tavisto_screenshot build/share/tavisto docs/screenshot.png 1100 720
echo "docs/screenshot.png written"
