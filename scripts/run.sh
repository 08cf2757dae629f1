#!/usr/bin/env bash
# Builds Tavisto and starts the reader from the build tree, installed-style: the
# library lives in ${XDG_DATA_HOME:-~/.local/share}/tavisto/, not in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVISTO_GUI=ON >/dev/null
cmake --build build -j"$(nproc)" --target tavisto tavisto-convert stage

[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting Tavisto under xvfb-run (a virtual screen)."
  exec xvfb-run -a -s "-screen 0 1280x900x24" build/app/tavisto
fi
exec build/app/tavisto
