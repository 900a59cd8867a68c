# Sourced by the comparisons with view3dscene: checks the size option and
# installs view3dscene with apt-get when missing.
#
# check_size NAME SIZE: exits 2 unless SIZE is WxH.
check_size() {
  case "$2" in
    [0-9]*x[0-9]*) ;;
    *) echo "$1: bad size '$2' (want WxH)" >&2; exit 2 ;;
  esac
}

# need_view3dscene NAME: installs Debian's view3dscene when it is missing.
need_view3dscene() {
  command -v view3dscene > /dev/null && return
  echo "installing view3dscene..." >&2
  if [ "$(id -u)" = 0 ]; then apt-get install -y view3dscene > /dev/null
  else sudo apt-get install -y view3dscene > /dev/null; fi || {
    echo "$1: cannot install view3dscene" >&2; exit 1; }
}
