#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
# shellcheck disable=SC2086
install_missing $BUILD_PACKAGES $TEST_PACKAGES
build -DVELKOR_TESTS=ON
cd build
ctest --output-on-failure --timeout 600 -j2
