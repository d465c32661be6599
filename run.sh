#!/usr/bin/env bash
# Installs what is missing, builds, and starts the desktop program.
#   ./run.sh          the program
#   ./run.sh --demo   also a simulated controller on a pseudo-terminal and TCP 127.0.0.1:5757
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
tarnic_install_deps
BUILD=${BUILD_DIR:-build}
tarnic_configure_main "$BUILD"
cmake --build "$BUILD" -j"$(nproc)"

if [ "${1:-}" = "--demo" ]; then
  out=$(mktemp)
  "$BUILD/sim/tarnic-sim" --pty --pty-link /tmp/tarnic-demo-tty --tcp 5757 >"$out" 2>&1 &
  sim=$!
  trap 'kill $sim 2>/dev/null; rm -f "$out" /tmp/tarnic-demo-tty' EXIT
  for _ in $(seq 50); do grep -q '^tcp:' "$out" && break; sleep 0.1; done
  cat "$out"
  echo "Demo controller running. To connect:"
  echo "  serial: Communications > Serial Port, Device /tmp/tarnic-demo-tty (any baud rate)"
  echo "  TCP/IP: Communications > TCP/IP, IP Address 127.0.0.1, Port 5757"
  "$BUILD/app/tarnic-flash-utility"
else
  exec "$BUILD/app/tarnic-flash-utility"
fi
