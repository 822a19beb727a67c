#!/usr/bin/env bash
# `ripmarrow verify` of a 7-minute rip (two generated tracks of 3:30, ripped
# from a virtual drive as WAV and as FLAC): its wall time and peak resident
# memory, best of `rounds` runs, AccurateRip not asked. The memory shows the
# streaming: a few MB above the program's own, whatever the files' size.
# Run by hand.
#   bench/verify/run.sh [rounds] [build]   (default 3, release)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
rounds=${1:-3}
build=${2:-release}
"$top/scripts/build.sh" "$build" ripmarrow trackmill2 wavesmith2 >/dev/null
cli="$top/build/$build/ripmarrow/ripmarrow"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export RIPMARROW_HOME=$home RIPMARROW_DEVICE_DIR=$home RIPMARROW_ACCURATERIP_SERVER=none
printf 'disc seed=7\ntrack kind=noise length=210s\ntrack kind=noise length=210s\n' >"$home/disc.txt"
cd "$home"
"$cli" register >/dev/null
for format in wav flac; do
  "$cli" --vdrive disc.txt rip --format $format --titles none --out $format >/dev/null
done

less() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }
# best <folder>: "seconds peak_kib" of the fastest run
best() {
  local b="" line
  for _ in $(seq "$rounds"); do
    /usr/bin/time -f "%e %M" -o "$home/time.txt" "$cli" verify "$1" >/dev/null
    line=$(cat "$home/time.txt")
    if [ -z "$b" ] || less "${line%% *}" "${b%% *}"; then b=$line; fi
  done
  echo "$b"
}
for format in wav flac; do
  read -r seconds kib <<<"$(best $format)"
  bytes=$(du -cb "$home/$format"/*."$format" | tail -1 | cut -f1)
  printf 'verify, 7-minute rip as %-4s (%d MB of files): %5.2f s, peak memory %d MB\n' \
    "$format" $((bytes / 1000000)) "$seconds" $((kib / 1024))
done
