#!/usr/bin/env bash
# The product's main job: register the built components, show the drives and
# the demo disc in a virtual drive, then rip the disc to MP3 files named after
# its titles (from the demo disc's cdplayer.ini) into a folder: $1, or
# ./demo-rip. Works in a temporary RIPMARROW_HOME unless one is set.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=$(realpath -m "${1:-demo-rip}")
"$top/scripts/deps.sh"
"$top/scripts/build.sh" release >/dev/null
if [ -z "${RIPMARROW_HOME:-}" ]; then
  RIPMARROW_HOME=$(mktemp -d)
  trap 'rm -rf "$RIPMARROW_HOME"' EXIT
fi
export RIPMARROW_HOME
# Nothing is played: the engine's player needs no sound card, and probing one
# only fills the terminal with the sound library's complaints.
export RIPMARROW_AUDIO=silent
# Real drives are listed too; RIPMARROW_DEVICE_DIR may point elsewhere to hide them.
ripmarrow="$top/build/release/ripmarrow/ripmarrow"
"$ripmarrow" register
# The demo disc's titles, where the local title lookup reads them.
if [ ! -f "$RIPMARROW_HOME/cdplayer.ini" ]; then
  cp "$top/build/release/demo/cdplayer.ini" "$RIPMARROW_HOME/cdplayer.ini"
fi
cd "$RIPMARROW_HOME"
"$ripmarrow" --vdrive info
"$ripmarrow" --vdrive rip --format mp3 --titles local --out "$out"
echo "The MP3 files are in $out"
