#!/usr/bin/env bash
# Installs the Debian 12 packages the build needs, only those that are missing.
set -euo pipefail

packages=(build-essential cmake pkg-config libgtest-dev libgmock-dev zlib1g-dev libcli11-dev
  qt6-base-dev libcanberra-dev libgl-dev
  libsecret-1-dev  # the sites' passwords in the desktop's keyring
  gnome-keyring dbus dbus-daemon  # a secret service on a private session bus for the keyring test
  desktop-file-utils appstream man-db  # validate the desktop entry, metainfo and manual pages
  bash-completion  # the framework the completion test runs the completions in
  ser2net  # the network serial server the network port is tested against
  lintian  # checks the Debian package (scripts/package)
  clang libclang-rt-14-dev)  # clang and libFuzzer for the fuzz targets (fuzz/run)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
fi
