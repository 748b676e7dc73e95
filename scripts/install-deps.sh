#!/usr/bin/env bash
# Installs what building, running and testing the workstation needs on a
# fresh Debian 12 machine. Runs apt-get as root, or through sudo otherwise.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ ccache pkg-config
  # the .deb target: CPack runs file and dpkg-shlibdeps
  file dpkg-dev
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core fonts-dseg
  xvfb xauth xdotool imagemagick poppler-utils
  # run.sh without a display: the virtual display served over VNC, ss for free ports
  tigervnc-standalone-server iproute2
  clang-14 libclang-rt-14-dev
  locales sqlite3
  # several lanes: the database server, its driver and the certificates for its TLS
  postgresql-15 libqt6sql6-psql openssl
  # the check of the result chains reads through the engines' own client
  # libraries and hashes with libcrypto
  libsqlite3-dev libpq-dev libssl-dev
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Only for regenerating the operator's manual (scripts/make-manual.sh).
if [ "${ZELMOR_MANUAL_TOOLS:-0}" = 1 ]; then
  PACKAGES+=(libreoffice-writer-nogui python3)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The operator's screens use the Russian regional settings (comma as the
# decimal separator); make sure that locale exists.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  as_root sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  as_root locale-gen >/dev/null
fi
