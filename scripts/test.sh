#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite headless on an X server of
# its own (the end-to-end tests start further servers of their own).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh

xvfb_log=$(mktemp)
exec {display_fd}<> <(:)
Xvfb -displayfd "$display_fd" -screen 0 1024x768x24 -nolisten tcp >"$xvfb_log" 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true; rm -f "$xvfb_log"' EXIT
read -r -t 30 -u "$display_fd" display_number || { cat "$xvfb_log"; echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$display_number"

cd build
ctest --output-on-failure -j2 "$@"
