#!/usr/bin/env bash
# Builds the Debian package of the product, ripmarrow_<version>_<arch>.deb,
# from the release build (built first when needed) with CPack, into
# build/release/package/, and prints its path. The AppStream screenshot is
# the tests' picture of the main window on the demo disc, made here when the
# tests have not made it yet. scripts/check-package.sh checks the package.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$top/scripts/deps.sh"
"$top/scripts/build.sh" release >/dev/null
dir="$top/build/release"
if [ ! -f "$dir/screenshots/main_window.png" ]; then
  (cd "$dir" && QT_QPA_PLATFORM=offscreen ctest -R '^quavern_windows_test\.screenshots$' >/dev/null)
fi
rm -f "$dir"/package/ripmarrow_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
ls "$dir"/package/ripmarrow_*.deb
