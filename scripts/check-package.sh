#!/usr/bin/env bash
# Checks the Debian package that scripts/package.sh built (or the one given):
#   - its AppStream data (appstreamcli validate --no-net) and desktop entry
#     (desktop-file-validate), and lintian with no errors (warnings shown);
#   - its tree unpacked with dpkg -x into a temporary folder: no path of the
#     build machine in it; ripmarrow --version, --help and a rip of the demo
#     disc from a fresh home; quavern started offscreen on the demo disc, a
#     second start handed over to it, then ended; the tree copied to another
#     prefix and run from there with the first home, which then names the
#     copy's components;
#   - only when CI=true, the package installed with apt-get, the same runs
#     from /usr/bin, then purged, with nothing of it left under /usr.
# Exits non-zero when anything fails.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
deb=${1:-$(ls "$top"/build/release/package/ripmarrow_*.deb)}
deb=$(realpath "$deb")
id=example.veltrosa.ripmarrow
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check-package: $*" >&2; exit 1; }

echo "--- package: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB, installed $(dpkg-deb -f "$deb" Installed-Size) KiB"
dpkg-deb -x "$deb" "$work/root"
appstreamcli validate --no-net --explain "$work/root/usr/share/metainfo/$id.metainfo.xml"
desktop-file-validate "$work/root/usr/share/applications/$id.desktop"
echo "--- lintian"
lintian --fail-on error --display-info "$deb" || fail "lintian found errors"

# Nothing of the machine that built it: neither the sources nor the build tree.
if grep -rlF "$top" "$work/root"; then fail "the package names the build machine's folder $top"; fi

# ripmarrow from <prefix>/bin in a fresh home of its own, with only the
# virtual drive (no real drives): version, help, a rip of the demo disc.
rip_demo() {  # rip_demo <prefix> <home>
  local prefix=$1 home=$2
  mkdir -p "$home"
  local -a env=(env -u RIPMARROW_BUILD_DIR RIPMARROW_HOME="$home" RIPMARROW_DEVICE_DIR="$home"
                RIPMARROW_ACCURATERIP_SERVER=none RIPMARROW_AUDIO=silent)
  "${env[@]}" "$prefix/bin/ripmarrow" --version | grep -qx "ripmarrow $(dpkg-deb -f "$deb" Version)" ||
    fail "$prefix/bin/ripmarrow --version"
  # The whole text first: grep -q would end the pipe early, and the program
  # still writing would die of SIGPIPE.
  local help
  help=$("${env[@]}" "$prefix/bin/ripmarrow" --help) || fail "$prefix/bin/ripmarrow --help"
  grep -q "^usage: ripmarrow" <<<"$help" || fail "$prefix/bin/ripmarrow --help"
  cp "$prefix/share/ripmarrow/demo/cdplayer.ini" "$home/"
  local out
  out=$(mktemp -d "$work/rip.XXXX")
  (cd "$home" && "${env[@]}" "$prefix/bin/ripmarrow" --vdrive rip --format mp3 --titles local --out "$out" \
     > "$out.txt" 2>&1) || { cat "$out.txt" >&2; fail "the rip of the demo disc from $prefix"; }
  [ "$(find "$out" -name '*.mp3' | wc -l)" -eq 4 ] || fail "the rip from $prefix made no four MP3 files"
  grep -q "ripmarrow $(dpkg-deb -f "$deb" Version)" "$out/ripmarrow.log" || fail "the rip log does not name the version"
  echo "ripped the demo disc with $prefix/bin/ripmarrow"
}

# quavern from <prefix>/bin, offscreen, on the demo disc in a virtual drive:
# a second start hands its drive over to the running one and ends at once;
# SIGTERM closes the window and the program ends cleanly.
run_quavern() {  # run_quavern <prefix> <home>
  local prefix=$1 home=$2
  mkdir -p "$home"
  printf '[V]\nimage=%s\naddress=0:0:7:0\n' "$prefix/share/ripmarrow/demo/demo.cue" > "$home/vdrives.ini"
  local -a env=(env -u RIPMARROW_BUILD_DIR RIPMARROW_HOME="$home" RIPMARROW_DEVICE_DIR="$home"
                RIPMARROW_ACCURATERIP_SERVER=none RIPMARROW_AUDIO=silent QT_QPA_PLATFORM=offscreen)
  "${env[@]}" "$prefix/bin/quavern" --version | grep -qx "quavern $(dpkg-deb -f "$deb" Version)" ||
    fail "$prefix/bin/quavern --version"
  "${env[@]}" "$prefix/bin/quavern" > "$home/quavern.out" 2>&1 &
  local pid=$! handed=0
  # It listens for later starts before it registers its components.
  for _ in $(seq 1 100); do
    [ -f "$home/registry.ini" ] || ! kill -0 "$pid" 2>/dev/null && break
    sleep 0.1
  done
  if "${env[@]}" timeout 30 "$prefix/bin/quavern" --device V: >> "$home/quavern.out" 2>&1; then handed=1; fi
  kill -TERM "$pid" 2>/dev/null || true
  local status=0
  wait "$pid" || status=$?
  [ $handed -eq 1 ] || { cat "$home/quavern.out" >&2; fail "a second quavern from $prefix was not handed over"; }
  [ $status -eq 0 ] || { cat "$home/quavern.out" >&2; fail "quavern from $prefix ended with $status"; }
  grep -q "$prefix/lib/" "$home/registry.ini" || fail "quavern from $prefix did not register its components"
  echo "started $prefix/bin/quavern, handed a second start over to it, ended it"
}

echo "--- the unpacked tree"
rip_demo "$work/root/usr" "$work/home"
run_quavern "$work/root/usr" "$work/desktop-home"
echo "--- a copy of it elsewhere, with the first home"
mkdir -p "$work/elsewhere"
cp -a "$work/root/usr" "$work/elsewhere/prefix"
rip_demo "$work/elsewhere/prefix" "$work/home"
grep -q "$work/elsewhere/prefix/lib/" "$work/home/registry.ini" || fail "the copy's components are not the registered ones"
grep -q "$work/root/usr/lib/" "$work/home/registry.ini" && fail "the home still names the first copy's components"
rm -rf "$work/root" "$work/elsewhere"

if [ "${CI:-}" = true ]; then
  echo "--- installed with apt-get"
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  mapfile -t files < <(dpkg-deb -c "$deb" | awk '{print substr($6, 2)}' | grep -v '/$')
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$deb" >/dev/null
  [ "$(command -v ripmarrow)" = /usr/bin/ripmarrow ] || fail "ripmarrow is not /usr/bin/ripmarrow"
  rip_demo /usr "$work/installed-home"
  run_quavern /usr "$work/installed-desktop-home"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq ripmarrow >/dev/null
  for file in "${files[@]}"; do
    [ ! -e "$file" ] || fail "$file is left after the purge"
  done
  for folder in /usr/share/ripmarrow /usr/share/doc/ripmarrow "$(dirname "$(printf '%s\n' "${files[@]}" | grep -m1 '/libtrackmill2.so$')")"; do
    [ ! -e "$folder" ] || fail "$folder is left after the purge"
  done
fi
echo "--- the package checks passed"
