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
