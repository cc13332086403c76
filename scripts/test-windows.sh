#!/usr/bin/env bash
# Cross-builds the core and brindle-cli for 64-bit Windows with MinGW-w64 and
# tests them under Wine: the core's GoogleTest suites and the CLI's
# conformance checks, then brindle-cli.exe against the Linux brindle-cli byte
# for byte (info, vars, labels, freq, doc, export data) on every file in
# ../shared/testdata/sav, and a file whose name has non-ASCII letters.
# Installs what is missing from Debian's packages (as root, or through sudo).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/install-deps.sh
packages=(g++-mingw-w64-x86-64 libz-mingw-w64-dev wine64 googletest)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc)
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

# The Linux brindle-cli the Windows one is compared with: the release tree's
# when there is one (CI has built it just before), else a tree of its own.
linux_tree=build/release
if [ ! -f "$linux_tree/CMakeCache.txt" ]; then
  linux_tree=build/linux-cli
  cmake -S . -B "$linux_tree" -DCMAKE_BUILD_TYPE=Release -DBRINDLE_GUI=OFF -DBRINDLE_BENCH=OFF \
    -DBRINDLE_TESTS=OFF "${launcher[@]}"
fi
cmake --build "$linux_tree" --target brindle-cli -j"$jobs"
linux_cli=$root/$linux_tree/src/cli/brindle-cli

# Wine keeps its Windows in a prefix of the build's own, made once before
# the tests start so that parallel tests do not race to make it.
win_tree=build/windows
export WINEPREFIX=$root/$win_tree/wine
export WINEDEBUG=-all
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
cmake -S . -B "$win_tree" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DBRINDLE_GUI=OFF -DBRINDLE_BENCH=OFF "${launcher[@]}"
cmake --build "$win_tree" -j"$jobs"
mkdir -p "$WINEPREFIX"
# One server for the whole run, rather than one that may be timing out as
# the next program starts.
"$wineserver" -p >/dev/null 2>&1 || true
"$wine" cmd /c exit 0 >/dev/null 2>&1 || true
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
ctest --test-dir "$win_tree" --output-on-failure -j"$jobs"

# The same commands on both builds: standard output and exit code must agree.
win_cli=$root/$win_tree/src/cli/brindle-cli.exe
out=$root/$win_tree/compare
rm -rf "$out"
mkdir -p "$out"
export LC_ALL=C.UTF-8
checked=0
failed=0
compare() {
  local linux_rc=0 win_rc=0
  "$linux_cli" "$@" >"$out/linux" 2>"$out/linux.err" || linux_rc=$?
  "$wine" "$win_cli" "$@" >"$out/windows" 2>"$out/windows.err" || win_rc=$?
  checked=$((checked + 1))
  if [ "$linux_rc" != "$win_rc" ] || ! cmp -s "$out/linux" "$out/windows"; then
    failed=$((failed + 1))
    echo "DIFFERS: brindle-cli $* (exit codes $linux_rc and $win_rc)"
    diff <(od -c "$out/linux") <(od -c "$out/windows") | head -n 10 || true
    echo "Windows stderr:"
    head -n 5 "$out/windows.err"
  fi
}

testdata=$root/../shared/testdata/sav
files=()
if [ -d "$testdata" ]; then
  for f in "$testdata"/*.sav "$testdata"/*.zsav; do
    [ -f "$f" ] && files+=("$f")
  done
fi
if [ ${#files[@]} -eq 0 ]; then
  echo "no files in $testdata: comparing the example file only"
fi
files+=("$root/examples/survey.sav")
for f in "${files[@]}"; do
  compare info "$f"
  compare vars "$f"
  compare doc "$f"
  compare export data "$f"
  # Every variable's labels and frequency table; names come first in vars.
  while IFS= read -r var; do
    compare labels "$f" "$var"
    compare freq "$f" "$var"
  done < <("$linux_cli" vars "$f" 2>/dev/null | cut -f1)
done

# A file name with letters outside every ANSI code page at once.
unicode_dir=$out/names
mkdir -p "$unicode_dir"
unicode_name="$unicode_dir/Übersicht-ñandú-Ωμέγα-調査.sav"
cp "$root/examples/survey.sav" "$unicode_name"
compare info "$unicode_name"
compare export data "$unicode_name"
"$wine" "$win_cli" export data "$unicode_name" --out "$unicode_dir/Ergebnis-é.csv"
if ! cmp -s "$unicode_dir/Ergebnis-é.csv" "$out/linux"; then
  failed=$((failed + 1))
  echo "DIFFERS: export data --out to a non-ASCII name"
fi

echo "compared $checked commands of the Windows and the Linux brindle-cli: $failed differ"
[ "$failed" -eq 0 ]
