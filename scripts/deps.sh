#!/usr/bin/env bash
# Installs the Debian 12 packages BIFF Lens needs, only those that are missing.
# Sourced by scripts/run and scripts/test; safe to run again.
set -euo pipefail

BIFFLENS_PACKAGES=(
  cmake g++ make pkg-config
  qt6-base-dev libgl-dev fonts-dejavu-core
  libgtest-dev libgmock-dev nlohmann-json3-dev
  # MD5, SHA-1 and RC4 for the password-protected workbooks.
  nettle-dev
  # Installation: icons rendered from the SVG, the CLI's man page from its
  # --help, the desktop entry checked, the Debian package's dependencies.
  qt6-svg-dev help2man desktop-file-utils dpkg-dev
)

bifflens_install_deps() {
  local missing=()
  for pkg in "${BIFFLENS_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
