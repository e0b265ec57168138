#!/usr/bin/env bash
# Runs a Windows cross build's test suite through Wine in a fresh prefix.
#
#   cmake/wine_tests.sh <build-dir> [win32|win64] [ctest arguments...]
#
# The prefix uses the null display driver (windows, timers and message loops work with no X
# server). The Wine server is started persistent before the tests, and the prefix's own services
# with it, so that each test program starts fast; both are stopped at the end. Every test has a
# time limit (set by the build); message boxes stay scripted, as in every test build. A cross
# build runs each test executable as one ctest test; the closing line counts their test cases.
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
timeout 300 "$wine" wineboot -i </dev/null >/dev/null 2>&1
timeout 60 "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null \
  >/dev/null 2>&1
"$WINESERVER" -w
"$WINESERVER" -p
# The first program of a prefix starts Wine's services (services.exe, winedevice.exe, ...),
# which then stay. Started by a test, they would inherit ctest's output pipe, and ctest would
# wait for them until its time limit; started here, they have output of their own.
timeout 120 "$wine" cmd /c exit </dev/null >/dev/null 2>&1
echo "prefix ready in $((SECONDS - start)) s"
status=0
ctest --test-dir "$build" --output-on-failure --no-tests=error -j2 --timeout 900 "$@" || status=$?
bash "$(dirname "$0")/count_cases.sh" "$build"
echo "suite ran in $((SECONDS - start)) s"
exit "$status"
