#!/usr/bin/env bash
# The desktop program's converter against lame on the same files: ten WAV
# files of 5 minutes (44.1 kHz stereo, generated once) converted to MP3 at
# the [mp3] defaults (128 kbit/s, quality 5, the settings object's stereo
# mode, simple stereo) by quavern's converter (offscreen, the whole process)
# one file at a time ([convert] "files at once" = 1) and on every core
# ("files at once" = the core count), and by `lame -b 128 -q 5 -m s`, file
# after file and as many at once as there are cores; interleaved, `rounds`
# times each; prints the medians, every core's time over one at a time
# (goal at most 0.6 on 2 cores), and the converter over lame.
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
cores=$(nproc)
ini() {
  printf '[convert]\noutput directory=%s/desk\nfiles at once=%s\n[mp3]\nbitrate=11\nfrequency=7\nchannel=1\nquality=5\nenable vbr=0\n' \
    "$work" "$1" >"$RIPMARROW_HOME/quavern.ini"
}
elapsed() { awk -v e="$2" -v s="$1" 'BEGIN { print e - s }'; }
one=() all=() tool=() toolpar=()
for _ in $(seq "$rounds"); do
  for n in 1 "$cores"; do
    rm -rf "$work/desk"
    ini "$n"
    line=$("$bench" "${files[@]}")
    if [ "$n" = 1 ]; then one+=("$line"); else all+=("$line"); fi
  done
  rm -rf "$work/lame"; mkdir -p "$work/lame"
  s=$(now)
  for f in "${files[@]}"; do lame --quiet -b 128 -q 5 -m s "$f" "$work/lame/$(basename "${f%.wav}").mp3"; done
  tool+=("$(elapsed "$s" "$(now)")")
  rm -rf "$work/lame"; mkdir -p "$work/lame"
  s=$(now)
  printf '%s\n' "${files[@]}" | xargs -P "$cores" -I{} sh -c 'lame --quiet -b 128 -q 5 -m s "$1" "$2/$(basename "${1%.wav}").mp3"' _ {} "$work/lame"
  toolpar+=("$(elapsed "$s" "$(now)")")
done
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
m1=$(median "${one[@]}")
ma=$(median "${all[@]}")
ml=$(median "${tool[@]}")
mp=$(median "${toolpar[@]}")
printf '%-44s %s\n' "converter, one at a time, runs (s)" "${one[*]}" "converter, $cores at once, runs (s)" "${all[*]}" \
  "lame file after file, runs (s)" "${tool[*]}" "lame $cores at once, runs (s)" "${toolpar[*]}"
printf '%-44s %8.3f\n' "converter, one at a time, median (s)" "$m1" "converter, $cores at once, median (s)" "$ma" \
  "lame file after file, median (s)" "$ml" "lame $cores at once, median (s)" "$mp"
printf '%-44s %8.3f\n' "every core over one at a time (goal <= 0.6)" "$(awk -v a="$ma" -v b="$m1" 'BEGIN { print a / b }')"
printf '%-44s %7.2f%%\n' "converter on every core over lame in parallel" "$(awk -v a="$ma" -v b="$mp" 'BEGIN { print (a / b - 1) * 100 }')"
echo "cores: $cores"
