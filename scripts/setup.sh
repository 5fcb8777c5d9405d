#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when they are missing.
set -euo pipefail

packages=(cmake make g++ gcc libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev default-jdk-headless
          libx11-dev pkg-config dpkg-dev clang libclang-rt-14-dev libcli11-dev
          nlohmann-json3-dev python3-prometheus-client hyperfine)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# A JDK that is already there (any version) serves as well as the default one.
if command -v javac >/dev/null 2>&1 && command -v jar >/dev/null 2>&1; then
  missing=("${missing[@]/default-jdk-headless}")
fi
list=$(printf '%s ' "${missing[@]}" | xargs -r echo)
if [ -n "$list" ]; then
  echo "Installing: $list"
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO apt-get update -q
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q $list
fi
