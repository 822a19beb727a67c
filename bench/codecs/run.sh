#!/usr/bin/env bash
# Encoding speed, side by side in one run: our writers (bench/codecs/codec_bench)
# against lame (128 kbit/s, -q 5), oggenc (-q 3), ffmpeg (WMA 128 kbit/s) and
# flac (-5, and -5 -V, which verifies as our writer does) on the same 5-minute
# WAV. Run by hand; needs lame, vorbis-tools, ffmpeg and flac
# (apt-get install lame vorbis-tools ffmpeg flac). Prints a table of times and ratios.
#   bench/codecs/run.sh [rounds]     best of `rounds` runs each (default 3)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
rounds=${1:-3}
for tool in lame oggenc ffmpeg flac; do
  command -v "$tool" >/dev/null || { echo "missing $tool (apt-get install lame vorbis-tools ffmpeg flac)" >&2; exit 2; }
done
"$top/scripts/build.sh" bench codec_bench >/dev/null
bench="$top/build/bench/bench/codecs/codec_bench"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Five minutes of something music-like: two tones over pink noise, stereo.
ffmpeg -loglevel error -y -f lavfi -i "sine=frequency=220:duration=300" -f lavfi -i "sine=frequency=1330:duration=300" \
  -f lavfi -i "anoisesrc=color=pink:amplitude=0.2:duration=300:seed=7" \
  -filter_complex "[0][1][2]amix=inputs=3,aformat=sample_fmts=s16:sample_rates=44100:channel_layouts=stereo" \
  "$work/in.wav"

less() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }
declare -A best=()
keep() {  # keep <name> <seconds>: the shortest time seen for <name>
  if [ -z "${best[$1]:-}" ] || less "$2" "${best[$1]}"; then best[$1]=$2; fi
}
timed() {  # timed <name> <command...>: the command's wall time, kept under <name>
  local name=$1 s e
  shift
  s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N)
  keep "$name" "$(awk -v e="$e" -v s="$s" 'BEGIN { print e - s }')"
}
ours() {  # ours <format>: our writer alone, timed inside the bench (process start left out)
  while read -r name secs; do keep "$name" "$secs"; done < <("$bench" "$work/in.wav" "$work" "$1")
}
tools() {  # tools <format>: the reference tools for <format>
  case $1 in
    mp3) timed ref_mp3 lame --quiet -b 128 -q 5 "$work/in.wav" "$work/ref.mp3" ;;
    ogg) timed ref_ogg oggenc --quiet -q 3 -o "$work/ref.ogg" "$work/in.wav" ;;
    wma) timed ref_wma ffmpeg -loglevel error -y -i "$work/in.wav" -c:a wmav2 -b:a 128k "$work/ref.wma" ;;
    flac)
      timed ref_flac flac --silent -f -5 -o "$work/ref.flac" "$work/in.wav"
      timed ref_flac_v flac --silent -f -5 -V -o "$work/ref-v.flac" "$work/in.wav" ;;
  esac
}
# Ours and the tool run back to back for each format, the one first in one
# round and the other in the next, so a machine that gets busier or quieter
# during the run (other builds share it) weighs on both sides alike; each
# keeps its best.
for round in $(seq "$rounds"); do
  for format in mp3 ogg wma flac; do
    if (( round % 2 )); then ours "$format"; tools "$format"; else tools "$format"; ours "$format"; fi
  done
done

printf '%-6s %-28s %10s %10s %8s\n' format "reference" "ours (s)" "ref (s)" ratio
row() { printf '%-6s %-28s %10.3f %10.3f %8.3f\n' "$1" "$2" "$3" "$4" "$(awk -v a="$3" -v b="$4" 'BEGIN { print a / b }')"; }
row mp3 "lame -b 128 -q 5" "${best[mp3]}" "${best[ref_mp3]}"
row ogg "oggenc -q 3" "${best[ogg]}" "${best[ref_ogg]}"
row wma "ffmpeg -c:a wmav2 -b:a 128k" "${best[wma]}" "${best[ref_wma]}"
row flac "flac -5" "${best[flac]}" "${best[ref_flac]}"
row flac "flac -5 -V (verify)" "${best[flac]}" "${best[ref_flac_v]}"
