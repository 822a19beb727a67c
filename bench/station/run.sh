#!/usr/bin/env bash
# The ripping station's throughput: `ripmarrow watch` on four virtual drives
# whose timing model reads at 32x, each holding the same CUE/BIN image (two
# generated tracks), against the same on one drive. Prints the wall time of
# each run (from the program's start to its end, start-up and the wait for
# each disc to settle included) and the four drives' total throughput over
# one drive's, for WAV and then MP3 (MP3 encodes four 32x streams at once:
# on a 2-core machine the encoder, not the drives, sets its pace).
#   bench/station/run.sh [minutes per track] [configuration]   (default 4, release)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
minutes=${1:-4}
config=${2:-release}
dir="$top/build/$config"
RIPMARROW_JOBS=${RIPMARROW_JOBS:-1} "$top/scripts/build.sh" "$config" ripmarrow >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export RIPMARROW_HOME="$work/home" RIPMARROW_DEVICE_DIR="$work/home" RIPMARROW_AUDIO=silent \
  RIPMARROW_ACCURATERIP_SERVER=none HOME="$work/user"
mkdir -p "$RIPMARROW_HOME" "$HOME"
"$dir/ripmarrow/ripmarrow" register >/dev/null

# The disc: two tracks of tone and pink noise, raw little-endian PCM.
seconds=$((minutes * 60))
ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$((2 * seconds))" \
  -f lavfi -i "anoisesrc=color=pink:amplitude=0.1:sample_rate=44100:duration=$((2 * seconds)):seed=3" \
  -filter_complex "[0][1]amerge=inputs=2" -ac 2 -ar 44100 -f s16le "$RIPMARROW_HOME/disc.bin"
printf 'FILE "disc.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 %02d:00:00\n' \
  "$minutes" >"$RIPMARROW_HOME/disc.cue"

drives() {
  : >"$RIPMARROW_HOME/vdrives.ini"
  for letter in $(echo "S T U W" | cut -d' ' -f1-"$1"); do
    printf '[%s]\nimage=disc.cue\nspeed=32\n' "$letter" >>"$RIPMARROW_HOME/vdrives.ini"
  done
}
# run <drives> <format>: the wall time of watch ripping one disc per drive
run() {
  drives "$1"
  rm -rf "$work/out"
  local s e
  s=$(date +%s.%N)
  "$dir/ripmarrow/ripmarrow" watch --format "$2" --titles none --speed 32 --out "$work/out" --eject \
    --discs "$1" >"$work/log" 2>&1 || { cat "$work/log" >&2; exit 1; }
  e=$(date +%s.%N)
  awk -v e="$e" -v s="$s" 'BEGIN { print e - s }'
}
audio=$((2 * seconds))
for format in wav mp3; do
  one=$(run 1 "$format")
  four=$(run 4 "$format")
  printf '%-4s one drive %7.2f s (%5.1fx real time)  four drives %7.2f s (%5.1fx)  four over one %5.2fx\n' \
    "$format" "$one" "$(awk -v a="$audio" -v t="$one" 'BEGIN { print a / t }')" "$four" \
    "$(awk -v a="$audio" -v t="$four" 'BEGIN { print 4 * a / t }')" \
    "$(awk -v a="$one" -v b="$four" 'BEGIN { print 4 * a / b }')"
done
echo "cores: $(nproc)"
