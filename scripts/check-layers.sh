#!/usr/bin/env bash
# Fails on an include across the layers. Each folder may include only its
# own headers and those of the layers below it:
#
#   platform/    the stand-ins for the system's services, the COM runtime
#   components/  the component interfaces            (+ platform)
#   proof/       pure proof maths                    (+ platform)
#   outside/     the codec, player and tag components (+ platform, components)
#   engine/      Trackmill2                          (+ platform, components, proof)
#   client/      what both programs share            (+ platform, components, proof)
#   ripmarrow/   the command-line program            (+ platform, components, proof, client)
#   frontend/    the desktop program                 (+ platform, components, proof, client)
#
# Every layer may include the build's generated headers (vdrive/). Test code
# (*_test.cpp, *_fixture.*, tests/ and testing/ folders) may also use the
# test doubles of any layer: loopback servers under a testing/ folder,
# tests/support/ and the codec's test signals. tests/ and bench/ cross the
# layers on purpose. The one borrowing below: proof/ reads tables of
# contents with the device layer's pure parser (functions over bytes).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"

allowed() {  # allowed <folder> -> the include prefixes it may use
  case "$1" in
    platform) echo "platform/" ;;
    components) echo "platform/ components/" ;;
    proof) echo "platform/ proof/ engine/device/toc_parser.h engine/device/disc_id.h engine/device/device_types.h" ;;
    outside) echo "platform/ components/ outside/" ;;
    engine) echo "platform/ components/ proof/ engine/" ;;
    client) echo "platform/ components/ proof/ client/" ;;
    ripmarrow) echo "platform/ components/ proof/ client/ ripmarrow/" ;;
    frontend) echo "platform/ components/ proof/ client/ frontend/" ;;
  esac
}

status=0
for layer in platform components proof outside engine client ripmarrow frontend; do
  read -r -a prefixes <<<"$(allowed "$layer")"
  while IFS=: read -r file line include; do
    ok=0
    for prefix in "${prefixes[@]}"; do
      [[ $include == "$prefix"* ]] && ok=1 && break
    done
    # Includes by a path without a folder (moc files), generated headers.
    [[ $include != */* || $include == vdrive/* ]] && ok=1
    if [[ $file =~ (_test\.cpp|_fixture\.(h|cpp)|/tests/|/testing/) ]] &&
       [[ $include =~ (/testing/|^tests/support/|/test_signals\.h$) ]]; then
      ok=1
    fi
    if [ $ok -eq 0 ]; then
      echo "$file:$line: $layer/ may not include \"$include\"" >&2
      status=1
    fi
  done < <(git ls-files "$layer" | grep -E '\.(h|cpp)$' | xargs grep -nE '^\s*#\s*include\s+"' |
             sed -E 's/^([^:]+):([0-9]+):\s*#\s*include\s+"([^"]+)".*/\1:\2:\3/')
done
if [ $status -eq 0 ]; then echo "layers: every include is allowed"; fi
exit $status
