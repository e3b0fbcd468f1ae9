#!/usr/bin/env bash
# Renders the README's pictures into docs/: the window's sections, the spinner,
# the cover creator, and (with Chromium) the opt-in page built with that cover.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build --target tandrel-screenshots tandrel-cli
QT_QPA_PLATFORM=offscreen build/tandrel-screenshots docs examples/my.funnel.json examples/article.txt --cover
if command -v chromium >/dev/null; then
    profile=$(mktemp -d)
    chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
        --disable-component-update --disable-sync --user-data-dir="$profile" --hide-scrollbars \
        --window-size=1280,900 --screenshot="$PWD/docs/funnel-with-cover.png" \
        "file://$PWD/build/output/templates/index.html" 2>/dev/null
    rm -rf "$profile"
fi
