#!/usr/bin/env bash
# Installs the Debian packages Kestrel needs to build, test and run, when missing.
set -euo pipefail
packages=(cmake ninja-build g++ qt6-base-dev qt6-multimedia-dev zlib1g-dev libgtest-dev libgmock-dev
          libbenchmark-dev sharutils openssl ca-certificates python3-yenc)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
