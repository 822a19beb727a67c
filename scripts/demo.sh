#!/usr/bin/env bash
# The product's main job: register the built components, then show the drives
# and the disc of a virtual drive holding the demo disc, through the engine.
# Works in a temporary RIPMARROW_HOME unless one is set.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/deps.sh"
"$top/scripts/build.sh" release >/dev/null
if [ -z "${RIPMARROW_HOME:-}" ]; then
  RIPMARROW_HOME=$(mktemp -d)
  trap 'rm -rf "$RIPMARROW_HOME"' EXIT
fi
export RIPMARROW_HOME
# Real drives are listed too; RIPMARROW_DEVICE_DIR may point elsewhere to hide them.
ripmarrow="$top/build/release/ripmarrow/ripmarrow"
"$ripmarrow" register
cd "$RIPMARROW_HOME"
"$ripmarrow" --vdrive "$@" info
