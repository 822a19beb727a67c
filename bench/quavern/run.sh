#!/usr/bin/env bash
# The desktop program's rip batch against the command line, in one run: the
# demo disc (four tracks, titles from its cdplayer.ini) ripped to MP3 at
# 128 kbit/s, burst mode, retries 5, Cut on errors, engine pacing at 64x,
# ReplayGain measured and tagged by both (RG=0 in the environment: by neither),
# from a virtual drive that answers at once; once by quavern (offscreen,
# the whole process: start-up, "Rip CD", every track tagged; its own time
# from "Rip CD" to the batch's end is shown too) and once by
# `ripmarrow rip` (the whole process), interleaved, `rounds` times each;
# prints both medians and the desktop's share over the command line.
#   bench/quavern/run.sh [rounds] [configuration]   (default 5, bench)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
rounds=${1:-5}
config=${2:-bench}
rg=${RG:-1}
rgOption=(); if [ "$rg" = 1 ]; then rgOption=(--replaygain); fi
dir="$top/build/$config"
# The benchmark programs find the components and data of the build tree through it.
export RIPMARROW_BUILD_DIR="$dir"
if [ ! -f "$dir/build.ninja" ]; then "$top/scripts/build.sh" "$config" >/dev/null; fi
cmake -DRIPMARROW_BENCH=ON "$dir" >/dev/null
"$top/scripts/build.sh" "$config" quavern_bench ripmarrow rm_demo_disc_files >/dev/null
bench="$dir/bench/quavern/quavern_bench"
cli="$dir/ripmarrow/ripmarrow"
demo="$dir/demo"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

export RIPMARROW_HOME="$work/home" RIPMARROW_DEVICE_DIR="$work/home" RIPMARROW_AUDIO=silent HOME="$work/user"
# The titles are the demo's in cdplayer.ini: no on-line service is asked.
export RIPMARROW_MUSICBRAINZ_SERVER=none RIPMARROW_COVERART_SERVER=none RIPMARROW_CDDB_SERVER=none
mkdir -p "$RIPMARROW_HOME" "$HOME"
cp "$demo/cdplayer.ini" "$RIPMARROW_HOME/"
printf '[V]\nimage=%s/demo.cue\n' "$demo" >"$RIPMARROW_HOME/vdrives.ini"
printf '[basic]\noutput directory=%s/desk\nformat=0\n[cd]\ngrab mode=0\nerror retry=5\nerror action=2\ndrive speed=64\n[mp3]\nbitrate=11\nfrequency=7\nchannel=1\nquality=8\nenable vbr=0\n[replaygain]\nenabled=%s\n' \
  "$work" "$rg" >"$RIPMARROW_HOME/quavern.ini"
"$cli" register >/dev/null

now() { date +%s.%N; }
desk=() batch=() pause=() cl=()
for _ in $(seq "$rounds"); do
  rm -rf "$work/desk" "$work/cli"
  s=$(now); line=$("$bench" 2>/dev/null); e=$(now); desk+=("$(awk -v e="$e" -v s="$s" 'BEGIN { print e - s }')")
  read -r seconds _ worst <<<"$line"
  batch+=("$seconds") pause+=("$worst")
  s=$(now); "$cli" rip --format mp3 --mode burst --speed 64 "${rgOption[@]}" --out "$work/cli" >/dev/null; e=$(now)
  cl+=("$(awk -v e="$e" -v s="$s" 'BEGIN { print e - s }')")
done
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
md=$(median "${desk[@]}")
mc=$(median "${cl[@]}")
printf '%-40s %s\n' "quavern batch, runs (s)" "${desk[*]}"
printf '%-40s %s\n' "quavern Rip CD to end, runs (s)" "${batch[*]}"
printf '%-40s %s\n' "quavern worst pause, runs (ms)" "${pause[*]}"
printf '%-40s %s\n' "ripmarrow rip, runs (s)" "${cl[*]}"
printf '%-40s %8.3f\n' "quavern batch, median (s)" "$md" "quavern Rip CD to end, median (s)" "$(median "${batch[@]}")" \
  "ripmarrow rip, median (s)" "$mc" "quavern worst pause, median (ms)" "$(median "${pause[@]}")"
printf '%-40s %7.2f%%\n' "desktop over command line" "$(awk -v a="$md" -v b="$mc" 'BEGIN { print (a / b - 1) * 100 }')"
ls "$work/desk" "$work/cli" | sed 's/^/  /'
