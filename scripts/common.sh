# Shared by ./run and ./test: the Debian packages the project needs and the build steps.
# shellcheck shell=bash

SATVIEW_PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config clang-format
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libwxgtk3.2-dev libudev-dev libsystemd-dev libsimpleini-dev libspdlog-dev libcli11-dev
  libpugixml-dev xvfb xauth xdg-utils
  umockdev libumockdev-dev  # fake USB devices for the port-list tests
  python3-dbusmock dbus desktop-file-utils  # tests: a mock logind on a private bus, autostart entries
  modemmanager  # tests only: the real ModemManager managing the simulated card (private bus)
  libncurses-dev tmux  # the terminal back end, and the terminal its tests run in
  dpkg-dev file  # the .deb (cpack, dpkg-shlibdeps)
  fonts-ipafont-gothic  # a Japanese font: the dialogs speak Japanese too
)

# Install whatever is missing; as a user other than root, print the one line to run and stop.
ensure_packages() {
  local missing=() p
  for p in "${SATVIEW_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Satview needs these Debian packages. Run, then try again:" >&2
    echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  echo "== installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# configure_and_build DIR [cmake options...]: configure DIR and build everything in it.
# With SATVIEW_TARGET set (one or more names), only those targets are built. Warnings are errors
# here (the project's own checks); SATVIEW_WERROR=OFF in the environment turns that off.
configure_and_build() {
  local dir=$1; shift
  cmake -S "$SATVIEW_ROOT" -B "$dir" -G Ninja -DSATVIEW_WERROR="${SATVIEW_WERROR:-ON}" "$@" >/dev/null
  local targets=()
  read -r -a targets <<<"${SATVIEW_TARGET:-}"
  cmake --build "$dir" --parallel "$(nproc)" ${targets[@]:+--target "${targets[@]}"}
}
