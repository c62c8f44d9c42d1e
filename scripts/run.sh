#!/usr/bin/env bash
# Builds Vantelo (installing what is missing) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset dev >/dev/null
cmake --build --preset dev
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<MSG
Vantelo is built (build/dev/vantelo) but there is no display to show its window:
DISPLAY is not set. From a desktop session run this command again, or start it
on a virtual display:
  xvfb-run -a build/dev/vantelo
MSG
  exit 2
fi
exec build/dev/vantelo
