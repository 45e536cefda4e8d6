# Shared by ./run and ./test: the Debian packages the project needs and the build steps.
# shellcheck shell=bash

# What ./run needs: the build of the program and what the program uses at run time.
SATVIEW_RUN_PACKAGES=(
  cmake ninja-build g++ pkg-config
  libwxgtk3.2-dev libudev-dev libsystemd-dev libsimpleini-dev libspdlog-dev libcli11-dev
  libpugixml-dev xdg-utils
  libncurses-dev  # the terminal back end
  libacl1-dev  # ACL entries that let GeoClue's account alone reach the NMEA socket
  fonts-ipafont-gothic  # a Japanese font: the dialogs speak Japanese too
)

# What only ./test needs on top: the tests and benchmarks, the sanitizer builds and every
# program a test runs.
SATVIEW_TEST_PACKAGES=(
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  xvfb xauth  # the GUI tests' display
  imagemagick  # import: the window tests save the screen
  xdotool  # the window benchmarks press Start and open the satellites view
  umockdev libumockdev-dev  # fake USB devices for the port-list tests
  python3-dbusmock dbus systemd  # a mock logind on a private bus, driven with busctl
  desktop-file-utils  # desktop-file-validate: autostart entries, the installed package
  tmux  # the terminal the terminal tests run in
  modemmanager  # the real ModemManager managing the simulated card, on a private bus
  dpkg-dev file  # the .deb (cpack, dpkg-shlibdeps)
  gpsd gpsd-clients python3-gps gpsbabel  # gpsd on the NMEA feed, gpsbabel reading the tracks
  geoclue-2.0  # the real GeoClue reading the NMEA socket, on a private bus
  help2man  # the manual pages, made from the programs' --help
  lintian  # the .debs' check
)

# packages_installed PACKAGE...: true when every one of them is installed.
packages_installed() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || return 1
  done
}

# The CMake options of the program's build: the tests and benchmarks only where their
# libraries are installed (./run installs only what the program needs; ./test the rest).
program_build_options() {
  local tests=OFF bench=OFF
  packages_installed libgtest-dev libgmock-dev && tests=ON
  [ $tests = ON ] && packages_installed libbenchmark-dev && bench=ON
  echo "-DSATVIEW_TESTS=$tests -DSATVIEW_BENCH=$bench"
}

# ensure_packages [PACKAGE...]: install whichever of them (default: ./run's) is missing; as a
# user other than root, print the one line to run and stop.
ensure_packages() {
  local missing=() p wanted=("$@")
  [ ${#wanted[@]} -gt 0 ] || wanted=("${SATVIEW_RUN_PACKAGES[@]}")
  for p in "${wanted[@]}"; do
    packages_installed "$p" || missing+=("$p")
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
# here (the project's own checks); SATVIEW_WERROR=OFF in the environment turns that off. A new
# DIR uses Ninja; one configured before (by hand, with any generator) keeps its generator.
configure_and_build() {
  local dir=$1; shift
  local generator=(-G Ninja)
  [ -f "$dir/CMakeCache.txt" ] && generator=()
  cmake -S "$SATVIEW_ROOT" -B "$dir" "${generator[@]}" -DSATVIEW_WERROR="${SATVIEW_WERROR:-ON}" "$@" >/dev/null
  local targets=()
  read -r -a targets <<<"${SATVIEW_TARGET:-}"
  cmake --build "$dir" --parallel "$(nproc)" ${targets[@]:+--target "${targets[@]}"}
}
