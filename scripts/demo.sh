#!/usr/bin/env bash
# The product's main job on the built-in virtual drive holding the demo disc.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/deps.sh"
"$top/scripts/build.sh" release >/dev/null
exec "$top/build/release/ripmarrow/ripmarrow" demo "$@"
