#!/usr/bin/env bash
# Installs the Debian packages the project needs, if any is missing.
# Sourced by run.sh and test.sh; needs root (or sudo) only when something is missing.
set -euo pipefail

TARNIC_PACKAGES=(
  cmake g++ ninja-build          # build (Ninja: a cold build starts compiling at once)
  qt6-base-dev                   # Qt Core, Gui, Widgets, Network, Sql, Test
  qt6-serialport-dev             # QSerialPort
  libgl-dev                      # Qt Gui's CMake package asks for OpenGL headers
  qt6-qpa-plugins                # the offscreen and xcb platforms (tests run offscreen)
  fonts-liberation               # Liberation Mono stands in for Courier New in the terminal
  libqt6sql6-sqlite              # Qt's SQLite driver, a plugin: the journal
  sqlite3                        # the tests change a journal behind the program's back with it
)

# Only for the tests (test.sh): the serial device server the RFC 2217 link is
# tested through (the tests start their own, in the foreground), and Ansible
# for the collection under integrations/ansible.
TARNIC_TEST_PACKAGES=(
  ser2net                        # serial device server (telnet/RFC 2217 and raw TCP)
  ansible-core                   # the Ansible collection's modules, run by ansible-playbook
  ansible-lint                   # the collection's example playbook is linted
  python3-pyflakes               # the collection's Python is checked
  openssh-client                 # ssh: the collection's test has a site whose PC cannot be reached
)

# Only for the fuzz targets (fuzz/run.sh): libFuzzer comes with clang's runtime.
TARNIC_FUZZ_PACKAGES=(
  clang-14                       # clang++-14 with -fsanitize=fuzzer
  libclang-rt-14-dev             # the libFuzzer, ASan and UBSan runtimes for clang
)

# Only for the Debian package (scripts/package-check.sh).
TARNIC_PACKAGE_PACKAGES=(
  help2man                       # manual pages from the programs' --help
  dpkg-dev                       # dpkg-shlibdeps: the package's library dependencies
  file                           # CPack finds the programs to strip and scan with it
  lintian                        # the package's policy check
)

# Only for scripts/check-style.sh.
TARNIC_STYLE_PACKAGES=(
  clang-format-14                # the format check
  clang-tidy-22                  # the static checks (Debian 12's security updates carry it; it
                                 # skips Qt's headers when matching, about 4 times as fast as 14)
  clang-22                       # compiles Qt's headers once for clang-tidy's reading of the tests
                                 # (a precompiled header must come from clang-tidy's own version)
)

# tarnic_missing_packages [PACKAGE...]: the project's list unless given one.
tarnic_missing_packages() {
  local missing=()
  local wanted=("$@")
  [ "${#wanted[@]}" -eq 0 ] && wanted=("${TARNIC_PACKAGES[@]}")
  for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  echo "${missing[@]:-}"
}

# tarnic_install_deps [PACKAGE...]: installs what is missing of the project's
# list, or of the packages given.
tarnic_install_deps() {
  local missing
  missing=$(tarnic_missing_packages "$@")
  [ -z "$missing" ] && return 0
  echo "Installing Debian packages: $missing"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
}

# tarnic_disable_ser2net_service: the package starts ser2net as a service that
# listens on 127.0.0.1:2000 and up; the tests need none of it. Stopped and
# disabled where systemd runs; nothing to do elsewhere or when it is already so.
tarnic_disable_ser2net_service() {
  [ -d /run/systemd/system ] || return 0
  systemctl is-enabled --quiet ser2net 2>/dev/null || systemctl is-active --quiet ser2net 2>/dev/null || return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo systemctl disable --now ser2net
}

# tarnic_configure BUILD_DIR [CMAKE ARGS...]: configures the tree; a new tree
# builds with Ninja, one that exists keeps its generator.
tarnic_configure() {
  local build=$1
  shift
  local generator=()
  [ -f "$build/CMakeCache.txt" ] || generator=(-G Ninja)
  cmake -S . -B "$build" "${generator[@]}" "$@" >/dev/null
}

# tarnic_configure_main BUILD_DIR [CMAKE ARGS...]: the program's own build, as
# run.sh, test.sh and the package make it. A unity build compiles each
# library's files a batch at a time (Qt's headers are parsed once a batch, not
# once a file). -O2 as Debian builds its packages; no debug information, which
# the package strips anyway and which costs a fifth of the build. Later
# arguments override these.
tarnic_configure_main() {
  local build=$1
  shift
  tarnic_configure "$build" -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" \
    -DCMAKE_UNITY_BUILD=ON "$@"
}
