#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# Installing dovecot starts a system-wide POP3/IMAP server on every address (*:110, *:995, *:143,
# *:993), and then the tests' own dovecot cannot take 127.0.0.x:110. One that this script
# installed only for the tests is stopped and kept from starting at boot; an administrator's
# own dovecot is left alone, with a warning.
quiet_system_dovecot() {
  local had_it=$1
  if [ "$had_it" = yes ]; then
    if [ -d /run/systemd/system ] && systemctl is-active --quiet dovecot.service dovecot.socket; then
      echo "Warning: the system's dovecot is running; the POP3 tests need port 110 on 127.0.0.14-16" >&2
    fi
    return 0
  fi
  is_installed dovecot-core || return 0
  echo "Stopping and disabling the system's dovecot service (installed only for the tests)"
  if [ -d /run/systemd/system ]; then
    as_root systemctl disable --now dovecot.socket dovecot.service
  else
    as_root invoke-rc.d dovecot stop || true
    as_root update-rc.d dovecot disable
  fi
}

had_dovecot=no
is_installed dovecot-core && had_dovecot=yes
# shellcheck disable=SC2086
install_missing $BUILD_PACKAGES $TEST_PACKAGES
quiet_system_dovecot "$had_dovecot"
build -DVELKOR_TESTS=ON
cd build
ctest --output-on-failure --timeout 600 -j2
