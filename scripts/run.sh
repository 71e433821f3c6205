#!/usr/bin/env bash
# Installs what is missing, builds, and opens the send form through the demo host.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
# shellcheck disable=SC2086
install_missing $BUILD_PACKAGES $RUN_PACKAGES
build
exec build/host/velkor-host --demo "$@"
