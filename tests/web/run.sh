#!/usr/bin/env bash
# The browser checks of the built funnels. Uses build/tandrel-cli unless
# TANDREL_CLI (and TANDREL_APP_DIR for the templates) say otherwise.
set -euo pipefail
cd "$(dirname "$0")"

# Installs exactly the locked packages when node_modules is missing or older than the lock.
stamp=node_modules/.lock-sha256
want=$(sha256sum package-lock.json | cut -d' ' -f1)
missing() { echo "tests/web/run.sh: $1 is not installed: it comes with the Debian package $2 (./run test installs it)." >&2; exit 1; }
command -v node >/dev/null || missing node nodejs
if [ "$(cat "$stamp" 2>/dev/null)" != "$want" ]; then
    command -v npm >/dev/null || missing npm npm
    npm ci --no-audit --no-fund --ignore-scripts
    echo "$want" >"$stamp"
fi

exec node --test "$@" funnel.test.mjs form.test.mjs split.test.mjs
