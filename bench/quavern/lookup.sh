#!/usr/bin/env bash
# The desktop program's event loop while it looks titles up: "Free DB"
# (on-line only) on the demo disc without local titles, once against a
# loopback MusicBrainz server that holds its answer for 2 s and once against
# a loopback CDDB server that holds each of its two answers for 2 s (asked
# through the engine's look-up thread), `rounds` times each. Prints the
# worst pause of the Qt loop during each look-up (the longest it went
# without running a 5 ms timer) and their medians; the goal is 50 ms or less.
#   bench/quavern/lookup.sh [rounds] [configuration]   (default 5, bench)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
rounds=${1:-5}
config=${2:-bench}
dir="$top/build/$config"
export RIPMARROW_BUILD_DIR="$dir"
if [ ! -f "$dir/build.ninja" ]; then "$top/scripts/build.sh" "$config" >/dev/null; fi
cmake -DRIPMARROW_BENCH=ON "$dir" >/dev/null
"$top/scripts/build.sh" "$config" quavern_bench ripmarrow rm_demo_disc_files >/dev/null
bench="$dir/bench/quavern/quavern_bench"
demo="$dir/demo"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

export RIPMARROW_HOME="$work/home" RIPMARROW_DEVICE_DIR="$work/home" RIPMARROW_AUDIO=silent HOME="$work/user"
# Every server is off but the loopback one each run starts itself.
export RIPMARROW_MUSICBRAINZ_SERVER=none RIPMARROW_COVERART_SERVER=none RIPMARROW_CDDB_SERVER=none
export RIPMARROW_ACCURATERIP_SERVER=none RIPMARROW_CTDB_SERVER=none
mkdir -p "$RIPMARROW_HOME" "$HOME"
printf '[V]\nimage=%s/demo.cue\n' "$demo" >"$RIPMARROW_HOME/vdrives.ini"
"$dir/ripmarrow/ripmarrow" register >/dev/null

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
for mode in lookup cddb; do
  pauses=() seconds=()
  for _ in $(seq "$rounds"); do
    rm -f "$RIPMARROW_HOME/cdplayer.ini"  # each round asks the server again
    read -r took named worst <<<"$("$bench" "$mode" 2>/dev/null)"
    [ "$named" = named ] || { echo "$mode: the titles did not arrive" >&2; exit 1; }
    pauses+=("$worst") seconds+=("$took")
  done
  label=$([ "$mode" = lookup ] && echo "MusicBrainz" || echo "CDDB server")
  printf '%-44s %s\n' "$label look-up, runs (s)" "${seconds[*]}"
  printf '%-44s %s\n' "$label look-up, worst pause, runs (ms)" "${pauses[*]}"
  printf '%-44s %8.1f\n' "$label look-up, worst pause, median (ms)" "$(median "${pauses[@]}")"
done
