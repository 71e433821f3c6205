# Shared by run.sh and test.sh: install what is missing, configure and build.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

BUILD_PACKAGES="cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite
  libqt6sql6-psql libqt6sql6-odbc libcurl4-openssl-dev libxlsxwriter-dev xdg-utils xdotool fonts-dejavu-core
  libsqlite3-dev qt6-webengine-dev qtkeychain-qt6-dev qt6-networkauth-dev"
RUN_PACKAGES="xvfb xauth python3 python3-aiosmtpd"
TEST_PACKAGES="python3 python3-aiosmtpd python3-dnslib dovecot-pop3d dovecot-submissiond dovecot-imapd dnsmasq-base postgresql openssl
  clang libclang-rt-14-dev xvfb xauth python3-openpyxl poppler-utils dpkg-dev
  gnome-keyring dbus-daemon libsecret-tools libxdamage-dev python3-oauthlib"

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

is_installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'; }

install_missing() {
  local missing="" p
  for p in "$@"; do
    is_installed "$p" || missing="$missing $p"
  done
  [ -z "$missing" ] && return 0
  echo "Installing:$missing"
  as_root apt-get update -q
  # shellcheck disable=SC2086
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 install -y -q \
    --no-install-recommends $missing
}

build() {
  # ccache, when the machine has it, makes rebuilds of clean clones cheap.
  local launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@"
  cmake --build build
}
