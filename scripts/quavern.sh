#!/usr/bin/env bash
# The desktop program on the demo disc: builds quavern, puts the demo disc
# (with its titles in cdplayer.ini) into a virtual drive of a temporary
# RIPMARROW_HOME, and starts the program there. Real drives stay hidden
# unless RIPMARROW_DEVICE_DIR says where to look; a RIPMARROW_HOME that is
# already set is used as it stands. Extra arguments go to quavern.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/deps.sh"
"$top/scripts/build.sh" release quavern trackmill2 wavesmith2 tonemeter2 rm_demo_disc_files >/dev/null
if [ -z "${RIPMARROW_HOME:-}" ]; then
  RIPMARROW_HOME=$(mktemp -d)
  trap 'rm -rf "$RIPMARROW_HOME"' EXIT
  demo="$top/build/release/demo"
  cp "$demo/cdplayer.ini" "$RIPMARROW_HOME/cdplayer.ini"
  printf '[V]\nimage=%s\naddress=0:0:7:0\n' "$demo/demo.cue" > "$RIPMARROW_HOME/vdrives.ini"
  export RIPMARROW_DEVICE_DIR=${RIPMARROW_DEVICE_DIR:-$RIPMARROW_HOME}
fi
export RIPMARROW_HOME
cd "$RIPMARROW_HOME"
# The program registers its components in this home on its first start.
"$top/build/release/frontend/quavern" "$@"
