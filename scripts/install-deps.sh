#!/usr/bin/env bash
# Installs the Debian packages Brindle needs to build and test (as root, or
# through sudo). Packages already present are left alone.
#   install-deps.sh           what the build needs
#   install-deps.sh --tests   that and what only the tests use
set -euo pipefail
# libzstd-dev: the pages of Parquet exports are compressed with zstd.
# libsnappy-dev: or with snappy (--compression snappy).
# libxlsxwriter-dev: writes the Excel workbook export (constant-memory mode).
# libreadstat-dev: ReadStat's writer makes the Stata .dta export.
# fonts-dejavu-core: the offscreen Qt tests measure text, so a font must exist.
packages=(build-essential cmake pkg-config zlib1g-dev libdeflate-dev libssl-dev libzstd-dev libsnappy-dev libxlsxwriter-dev libreadstat-dev libgtest-dev qt6-base-dev qt6-svg-dev libgl-dev fonts-dejavu-core)
# pspp: the test writer's files are read back by PSPP (those tests skip without it).
# python3-openpyxl: the workbook export is read back by openpyxl.
# r-cran-haven: the Stata export is read back by R haven.
# (The Parquet read-back test installs DuckDB's Node package itself, with npm.)
test_packages=(pspp python3-openpyxl r-cran-haven)
case "${1:-}" in
  "") ;;
  --tests) packages+=("${test_packages[@]}") ;;
  *) echo "usage: $0 [--tests]" >&2; exit 2 ;;
esac
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
