#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the fuzzers and the benchmarks need.
# Does nothing when they are all present.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev pkg-config python3 clang-format
          libgtest-dev libgmock-dev libbenchmark-dev libicu-dev libboost-dev libpcre2-dev
          libre2-dev libfmt-dev zlib1g-dev libsqlite3-dev libmuparser-dev libinih-dev)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq || true
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
