#!/usr/bin/env bash
# The rip of a 5-minute generated track, in one run: a BURST WAV rip from a
# drive that answers at once (read unpaced) against cd-paranoia on the same
# CUE/BIN image (apt-get install cd-paranoia); every mode from a drive whose
# timing model reads at 32x with driveSpeed 32: the frames it read per frame
# of audio, what those reads take on that drive (frames read / (32 x 75) s
# plus the preset's spin-up), its wall time and the share the engine adds,
# and its wall time with jitter on 30 % of reads; an MP3 rip's end and peak
# resident memory against its PCM ring; SECURE and PARANOID with C2 error
# pointers; a 79-minute single-track MP3 rip's memory and time against WAV.
# Run by hand.
#   bench/rip/run.sh [rounds]     best of `rounds` runs each (default 1)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
rounds=${1:-1}
"$top/scripts/build.sh" bench rip_bench ripmarrow trackmill2 wavesmith2 >/dev/null
bench="$top/build/bench/bench/rip/rip_bench"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

less() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }
# best <mode> <speed>: the run with the shortest time, as rip_bench prints it
best() {
  local b="" line
  for _ in $(seq "$rounds"); do
    line=$("$bench" "$@")
    if [ -z "$b" ] || less "${line%% *}" "${b%% *}"; then b=$line; fi
  done
  echo "$b"
}
# rip_bench prints: seconds frames peak_kib base_kib pcm_bytes errors frames_read unconfirmed
# BURST from a drive that answers at once (unpaced) against cd-paranoia on the same CUE/BIN.
read -r burst frames _ _ _ errb _ _ <<<"$(best wav 32 0 burst)"
# The modes on a drive whose timing model reads at 32x, driveSpeed 32: what
# they read, what those reads cost on that drive, and their wall time.
spinup() { case $1 in synch) echo 1.0 ;; secure) echo 3.0 ;; *) echo 0 ;; esac; }
modes=(burst synch secure paranoid)
declare -A wall read unconf jwall
for m in "${modes[@]}"; do
  read -r wall[$m] _ _ _ _ _ read[$m] unconf[$m] <<<"$(best wav 32 32 "$m")"
  read -r jwall[$m] _ _ _ _ _ _ _ <<<"$(best wav 32 32 "$m" 30)"
done
# SECURE and PARANOID from a drive with exact C2 error pointers.
declare -A c2wall c2read
for m in secure paranoid; do
  read -r c2wall[$m] _ _ _ _ _ c2read[$m] _ <<<"$(best wav 32 32 "$m" 0 5 c2)"
done
read -r mp332 _ peak base pcm errmp3 _ _ <<<"$(best mp3 32 32 burst)"
# A 79-minute single-track disc from an instant drive: MP3 (the encoder's
# ring bounds the memory) against WAV.
read -r wav79 _ _ _ _ _ _ _ <<<"$(best wav 32 0 burst 0 79)"
read -r mp379 _ peak79 base79 _ _ _ _ <<<"$(best mp3 32 0 burst 0 79)"
# The checksums every rip takes: their cost alone, against a 64x WAV rip
# (drive and driveSpeed at 64x) and the unpaced BURST rip that holds them.
read -r wall64 _ _ _ _ _ _ _ <<<"$(best wav 64 64 burst)"
sums=$("$bench" sums)

# Verified mode on a disc the CUETools database knows (a loopback server,
# python3's http.server, serving the bench disc's answer) against a burst
# rip, both through ripmarrow from the bench image at 32x.
cli="$top/build/bench/ripmarrow/ripmarrow"
"$bench" image "$work"
"$bench" ctdb "$work"
port=$((20000 + RANDOM % 20000))
(cd "$work" && exec python3 -m http.server "$port" --bind 127.0.0.1 >/dev/null 2>&1) &
server=$!
sleep 1
clihome="$work/home"
mkdir -p "$clihome"
printf '[V]\nspeed=32\n' >"$clihome/vdrives.ini"
RIPMARROW_HOME="$clihome" "$cli" register >/dev/null
clirip() {
  local s e
  s=$(date +%s.%N)
  RIPMARROW_HOME="$clihome" "$cli" --vdrive "$work/bench.cue" rip --format wav --mode "$1" --titles none --speed 32 \
    --accuraterip-server none --ctdb-server "127.0.0.1:$port" --out "$work/$1" >/dev/null 2>&1 || true
  e=$(date +%s.%N)
  awk -v e="$e" -v s="$s" 'BEGIN { print e - s }'
}
cliburst=$(clirip burst)
cliverified=$(clirip verified)
kill "$server" 2>/dev/null || true

peer="not available (apt-get install cd-paranoia)"
peer_s=""
if command -v cd-paranoia >/dev/null; then
  "$bench" image "$work"
  s=$(date +%s.%N)
  if (cd "$work" && cd-paranoia -q -d bench.cue 1 peer.wav >/dev/null 2>&1) && [ -s "$work/peer.wav" ]; then
    e=$(date +%s.%N)
    peer_s=$(awk -v e="$e" -v s="$s" 'BEGIN { print e - s }')
    peer="cd-paranoia -d bench.cue 1"
  else
    peer="cd-paranoia could not read the CUE/BIN image"
  fi
fi

printf 'BURST WAV rip of %s frames from an instant drive: %.3f s (errors %s)\n' "$frames" "$burst" "$errb"
if [ -n "$peer_s" ]; then
  printf '%-34s %.3f s (ours: %.2f x its time)\n' "$peer" "$peer_s" "$(awk -v a="$burst" -v b="$peer_s" 'BEGIN { print a / b }')"
else
  echo "peer: $peer"
fi
echo
printf '%-9s %12s %12s %10s %8s %12s %10s %12s\n' mode "read/frame" "reads (s)" "wall (s)" over "unconfirmed" "jitter 30%" "x clean"
for m in "${modes[@]}"; do
  awk -v m="$m" -v f="$frames" -v r="${read[$m]}" -v w="${wall[$m]}" -v s="$(spinup "$m")" -v u="${unconf[$m]}" \
      -v j="${jwall[$m]}" 'BEGIN {
    t = r / (32 * 75) + s
    printf "%-9s %12.3f %12.3f %10.3f %7.2f%% %12d %10.3f %12.2f\n", m, r / f, t, w, (w / t - 1) * 100, u, j, j / w }'
done
for m in secure paranoid; do
  awk -v m="$m+C2" -v f="$frames" -v r="${c2read[$m]}" -v w="${c2wall[$m]}" -v b="${wall[burst]}" 'BEGIN {
    printf "%-9s %12.3f %25.3f  (%.2f x BURST)\n", m, r / f, w, w / b }'
done
awk -v v="$cliverified" -v b="$cliburst" 'BEGIN {
  printf "verified on a CTDB-known disc (ripmarrow, 32x): %.3f s, burst %.3f s: %.2f x BURST\n", v, b, v / b }'
echo
printf '%-34s %10.3f s (WAV: %.3f s)\n' "MP3 at 32x (last RipProgress)" "$mp332" "${wall[burst]}"
awk -v m="$mp379" -v w="$wav79" -v p="$peak79" -v b="$base79" 'BEGIN {
  printf "79-minute track from an instant drive: MP3 %.3f s, WAV %.3f s; MP3 peak RSS grew %.1f MiB\n",
    m, w, (p - b) / 1024 }'
awk -v s="$sums" -v w="$wall64" -v b="$burst" 'BEGIN {
  printf "Checksums of the track alone %.3f s: %.2f%% of a 64x WAV rip (%.3f s), %.2f%% of the unpaced one (%.3f s)\n",
    s, s / (w - s) * 100, w, s / (b - s) * 100, b }'
awk -v p="$peak" -v b="$base" -v c="$pcm" 'BEGIN {
  printf "MP3 rip peak RSS %.1f MiB (%.1f MiB before the rip): grew %.1f MiB; PCM ring %.1f MiB + 32 MiB = %.1f MiB\n",
    p / 1024, b / 1024, (p - b) / 1024, c / 1048576, c / 1048576 + 32 }'
