#!/usr/bin/env bash
# Runs a Windows cross build's test suite through Wine in a fresh prefix.
#
#   cmake/wine_tests.sh <build-dir> [win32|win64] [ctest arguments...]
#
# The prefix uses the null display driver (windows, timers and message loops work with no X
# server); the Wine server is started persistent before the tests so that each test program
# starts fast, and stopped at the end. Every test has a time limit (set by the build); message
# boxes stay scripted, as in every test build.
set -euo pipefail
build=${1:?build directory}
arch=${2:-win32}
shift $(($# < 2 ? $# : 2))
if [ "$arch" = win64 ]; then
  export WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64
  wine=$WINELOADER
else
  export WINESERVER=/usr/lib/wine/wineserver32
  wine=wine
  [ -x /usr/lib/wine/wineserver32 ] || export WINESERVER=/usr/lib/wine/wineserver
fi
export WINEARCH=$arch WINEDEBUG=-all
export WINEPREFIX
WINEPREFIX=$(mktemp -d)/prefix
trap '"$WINESERVER" -k 2>/dev/null || true; rm -rf "$(dirname "$WINEPREFIX")"' EXIT
start=$SECONDS
timeout 300 "$wine" wineboot -i >/dev/null 2>&1
timeout 60 "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
"$WINESERVER" -w
"$WINESERVER" -p
echo "prefix ready in $((SECONDS - start)) s"
ctest --test-dir "$build" --output-on-failure --no-tests=error -j2 --timeout 300 "$@"
echo "suite ran in $((SECONDS - start)) s"
