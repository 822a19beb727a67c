#!/usr/bin/env bash
# The desktop program's converter against lame on the same files: ten WAV
# files of 5 minutes (44.1 kHz stereo, generated once) converted to MP3 at
# the [mp3] defaults (128 kbit/s, quality 5, the settings object's stereo
# mode, simple stereo) by quavern's converter (offscreen, the whole process)
# and by `lame -b 128 -q 5 -m s`, file after file, interleaved, `rounds`
# times each; prints both medians and the converter's share over lame.
#   bench/converter/run.sh [rounds] [files] [seconds] [configuration]
#   (default 5, 10, 300, bench)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
rounds=${1:-5}
count=${2:-10}
seconds=${3:-300}
config=${4:-bench}
dir="$top/build/$config"
# The benchmark programs find the components and data of the build tree through it.
export RIPMARROW_BUILD_DIR="$dir"
if [ ! -f "$dir/build.ninja" ]; then "$top/scripts/build.sh" "$config" >/dev/null; fi
cmake -DRIPMARROW_BENCH=ON "$dir" >/dev/null
"$top/scripts/build.sh" "$config" converter_bench ripmarrow >/dev/null
bench="$dir/bench/converter/converter_bench"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

export RIPMARROW_HOME="$work/home" RIPMARROW_DEVICE_DIR="$work/home" RIPMARROW_AUDIO=silent HOME="$work/user"
mkdir -p "$RIPMARROW_HOME" "$HOME" "$work/in"
printf '[convert]\noutput directory=%s/desk\n[mp3]\nbitrate=11\nfrequency=7\nchannel=1\nquality=5\nenable vbr=0\n' \
  "$work" >"$RIPMARROW_HOME/quavern.ini"
"$dir/ripmarrow/ripmarrow" register >/dev/null
files=()
for i in $(seq "$count"); do
  f="$work/in/track$i.wav"
  ffmpeg -loglevel error -f lavfi -i "sine=frequency=$((200 + 37 * i)):sample_rate=44100:duration=$seconds" \
    -f lavfi -i "anoisesrc=color=pink:amplitude=0.1:sample_rate=44100:duration=$seconds:seed=$i" \
    -filter_complex "[0][1]amerge=inputs=2" -ac 2 -ar 44100 -c:a pcm_s16le "$f"
  files+=("$f")
done

now() { date +%s.%N; }
desk=() run=() tool=()
for _ in $(seq "$rounds"); do
  rm -rf "$work/desk" "$work/lame"
  mkdir -p "$work/lame"
  s=$(now); line=$("$bench" "${files[@]}"); e=$(now)
  desk+=("$(awk -v e="$e" -v s="$s" 'BEGIN { print e - s }')"); run+=("$line")
  s=$(now)
  for f in "${files[@]}"; do lame --quiet -b 128 -q 5 -m s "$f" "$work/lame/$(basename "${f%.wav}").mp3"; done
  e=$(now); tool+=("$(awk -v e="$e" -v s="$s" 'BEGIN { print e - s }')")
done
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
md=$(median "${desk[@]}")
mr=$(median "${run[@]}")
ml=$(median "${tool[@]}")
printf '%-40s %s\n' "converter process, runs (s)" "${desk[*]}" "converter Convert to end, runs (s)" "${run[*]}" \
  "lame, runs (s)" "${tool[*]}"
printf '%-40s %8.3f\n' "converter process, median (s)" "$md" "converter Convert to end, median (s)" "$mr" \
  "lame, median (s)" "$ml"
printf '%-40s %7.2f%%\n' "converter over lame" "$(awk -v a="$mr" -v b="$ml" 'BEGIN { print (a / b - 1) * 100 }')"
