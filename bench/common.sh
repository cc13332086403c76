# Shared by the benchmark scripts (sourced from the project root).

# install_pkg NAME: installs a Debian package for a peer when missing (apt),
# unless SKIP_PEERS is set.
install_pkg() {
  [ -n "${SKIP_PEERS:-}" ] && return 0
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed' && return 0
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "$1" >/dev/null
}

# median_of CMD...: runs the command once to warm up, then RUNS times; prints
# the median wall time in seconds.
median_of() {
  "$@" >/dev/null 2>&1 || true
  local times=()
  for ((i = 0; i < runs; i++)); do
    local t0 t1
    t0=$(date +%s%N)
    "$@" >/dev/null 2>&1 || true
    t1=$(date +%s%N)
    times+=("$(( (t1 - t0) / 1000 ))")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END { printf "%.3f", a[int((NR + 1) / 2)] / 1e6 }'
}
