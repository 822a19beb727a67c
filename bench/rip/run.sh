#!/usr/bin/env bash
# The rip against the pacing ideal, in one run: a WAV rip of a 5-minute
# generated track at driveSpeed 64 (ideal frames / (64 x 75) s) and at 32,
# an MP3 rip at 32 (when its last RipProgress arrives against the WAV rip's
# end at the same speed), the MP3 rip's peak resident memory against its PCM
# buffer, and cd-paranoia reading the same disc as a CUE/BIN image (not
# paced; apt-get install cd-paranoia). Run by hand.
#   bench/rip/run.sh [rounds]     best of `rounds` runs each (default 3)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
rounds=${1:-3}
"$top/scripts/build.sh" bench rip_bench >/dev/null
bench="$top/build/bench/bench/rip/rip_bench"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

less() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }
# best <mode> <speed>: the run with the shortest time, as rip_bench prints it
best() {
  local b="" line
  for _ in $(seq "$rounds"); do
    line=$("$bench" "$1" "$2")
    if [ -z "$b" ] || less "${line%% *}" "${b%% *}"; then b=$line; fi
  done
  echo "$b"
}
read -r wav64 frames _ _ _ err64 <<<"$(best wav 64)"
read -r wav32 _ _ _ _ err32 <<<"$(best wav 32)"
read -r mp332 _ peak base pcm errmp3 <<<"$(best mp3 32)"
ideal64=$(awk -v f="$frames" 'BEGIN { print f / (64 * 75) }')
ideal32=$(awk -v f="$frames" 'BEGIN { print f / (32 * 75) }')

peer="not available (apt-get install cd-paranoia)"
peer_s=""
if command -v cd-paranoia >/dev/null; then
  "$bench" image "$work"
  s=$(date +%s.%N)
  if (cd "$work" && cd-paranoia -q -d bench.cue 1 peer.wav >/dev/null 2>&1) && [ -s "$work/peer.wav" ]; then
    e=$(date +%s.%N)
    peer_s=$(awk -v e="$e" -v s="$s" 'BEGIN { print e - s }')
    peer="cd-paranoia -d bench.cue 1 (unpaced)"
  else
    peer="cd-paranoia could not read the CUE/BIN image"
  fi
fi

printf '%-34s %10s %10s %9s %7s\n' rip "wall (s)" "ideal (s)" "over" errors
row() { printf '%-34s %10.3f %10.3f %8.2f%% %7s\n' "$1" "$2" "$3" "$(awk -v a="$2" -v b="$3" 'BEGIN { print (a / b - 1) * 100 }')" "$4"; }
row "WAV at 64x ($frames frames)" "$wav64" "$ideal64" "$err64"
row "WAV at 32x" "$wav32" "$ideal32" "$err32"
row "MP3 at 32x (last RipProgress)" "$mp332" "$ideal32" "$errmp3"
printf '%-34s %10.3f s after the WAV rip at 32x\n' "MP3 end" "$(awk -v a="$mp332" -v b="$wav32" 'BEGIN { print a - b }')"
if [ -n "$peer_s" ]; then printf '%-34s %10.3f\n' "$peer" "$peer_s"; else echo "peer: $peer"; fi
awk -v p="$peak" -v b="$base" -v c="$pcm" 'BEGIN {
  printf "MP3 rip peak RSS %.1f MiB (%.1f MiB before the rip): grew %.1f MiB; PCM buffer %.1f MiB + 32 MiB = %.1f MiB\n",
    p / 1024, b / 1024, (p - b) / 1024, c / 1048576, c / 1048576 + 32 }'
