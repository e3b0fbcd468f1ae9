#!/usr/bin/env bash
# Renders the main window's sections into docs/ (offscreen, no display needed).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build --target tandrel-screenshots
QT_QPA_PLATFORM=offscreen build/tandrel-screenshots docs examples/my.funnel.json examples/article.txt
