#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through ctest.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
tarnic_install_deps
tarnic_install_deps "${TARNIC_TEST_PACKAGES[@]}"
tarnic_disable_ser2net_service
BUILD=${BUILD_DIR:-build}
# shellcheck disable=SC2086
tarnic_configure_main "$BUILD" ${BUILD_TYPE:+-DCMAKE_BUILD_TYPE=$BUILD_TYPE} ${CMAKE_EXTRA:-}
cmake --build "$BUILD" -j"$(nproc)"
ctest --test-dir "$BUILD" --output-on-failure -j"$(nproc)" "$@"
