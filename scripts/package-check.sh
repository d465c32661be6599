#!/usr/bin/env bash
# Builds the Debian package in the build tree ./test.sh made, checks it with
# lintian (an error fails; warnings are listed), installs it, runs the
# installed tarnic-cli against the installed tarnic-sim, and purges the
# package again. The udev rule's syntax is checked statically (no udev here).
#   scripts/package-check.sh          (BUILD_DIR defaults to build)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
tarnic_install_deps
tarnic_install_deps "${TARNIC_PACKAGE_PACKAGES[@]}"
BUILD=${BUILD_DIR:-build}
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

# Every key of every rule: a key udev knows, an operator, a quoted value.
check_udev_rules() {
  awk '
    /^[[:space:]]*(#|$)/ { next }
    {
      n = split($0, keys, /,[[:space:]]*/)
      for (i = 1; i <= n; i++) {
        if (keys[i] !~ /^(ACTION|DEVPATH|KERNELS?|NAME|SYMLINK|SUBSYSTEMS?|DRIVERS?|ATTRS?\{[A-Za-z0-9_]+\}|TAGS?|ENV\{[A-Za-z0-9_]+\}|TEST|PROGRAM|RESULT|OWNER|GROUP|MODE|RUN|LABEL|GOTO|IMPORT\{[a-z]+\}|OPTIONS)(==|!=|=|\+=|-=|:=)"[^"]*"$/) {
          printf "%s:%d: not a udev key: %s\n", FILENAME, FNR, keys[i]
          bad = 1
        }
      }
    }
    END { exit bad }' "$@"
}
check_udev_rules packaging/*.rules
bash -n packaging/tarnic-cli.bash-completion

start=$SECONDS
cmake -S . -B "$BUILD" -DTARNIC_PACKAGE=ON >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target package
deb=$(ls -t "$BUILD"/tarnic-flash-utility_*.deb | head -n 1)
echo "Package $deb built in $((SECONDS - start)) s"
lintian --fail-on error "$deb"

$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$(realpath "$deb")"
tmp=$(mktemp -d)
sim=""
cleanup() {
  [ -n "$sim" ] && kill "$sim" 2>/dev/null
  rm -rf "$tmp"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq tarnic-flash-utility >/dev/null
}
trap cleanup EXIT

/usr/bin/tarnic-cli --version | grep -Eqx 'tarnic-cli [0-9]+\.[0-9]+\.[0-9]+'
for program in tarnic-flash-utility tarnic-cli tarnic-sim; do
  test -s "/usr/share/man/man1/$program.1.gz"
done
/usr/bin/tarnic-sim --tcp 0 --version-text "QL 5200 V 9.9" >"$tmp/sim" &
sim=$!
for _ in $(seq 50); do
  grep -q '^tcp: ' "$tmp/sim" && break
  sleep 0.1
done
port=$(sed -n 's/^tcp: .*:\([0-9]*\)$/\1/p' "$tmp/sim")
reply=$(/usr/bin/tarnic-cli --tcp "127.0.0.1:$port" version)
if [ "$reply" != "QL 5200 V 9.9" ]; then
  echo "installed tarnic-cli got \"$reply\" from the installed tarnic-sim" >&2
  exit 1
fi
echo "Installed programs work; package checked in $((SECONDS - start)) s"
