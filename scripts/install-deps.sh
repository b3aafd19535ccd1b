#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests, the benchmarks and the tools need.
# Idempotent: does nothing when every package is already present.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qtbase5-dev qtbase5-dev-tools libqt5sql5-sqlite libqt5network5 libqt5xml5
  libjsoncpp-dev
  libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev
  ccache
  clang  # libFuzzer for `make fuzz`
  # Real programs the end-to-end tests start or read with: tile servers, readers of exports, a
  # browser for the viewer page, and gcovr for `make coverage`.
  nginx-light python3 sqlite3 gdal-bin gcovr
  chromium
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
