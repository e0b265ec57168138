#!/usr/bin/env bash
# Counts the test cases of a build's last ctest run whose tests each ran a whole test executable
# (each ends its output with "[  PASSED  ] N tests." and, when some failed or were skipped,
# "[  FAILED  ] N tests, listed below:" or "[  SKIPPED ] N tests, listed below:").
#
#   cmake/count_cases.sh <build-dir>
set -euo pipefail
log=${1:?build directory}/Testing/Temporary/LastTest.log
[ -f "$log" ] || exit 0
awk '/^\[  PASSED  \] [0-9]+ tests?\./ { passed += $4 }
     /^\[  FAILED  \] [0-9]+ tests?, listed below:/ { failed += $4 }
     /^\[  SKIPPED \] [0-9]+ tests?, listed below:/ { skipped += $4 }
     END { printf "cases: %d passed, %d failed", passed, failed
           if (skipped) printf ", %d skipped", skipped
           print "" }' "$log"
