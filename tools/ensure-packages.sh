#!/usr/bin/env bash
# Installs the Debian packages that are missing from the list given as arguments.
# As root it runs apt-get; otherwise it prints the one command to run and fails.
set -euo pipefail
missing=()
for pkg in "$@"; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [[ "$status" == *"ok installed"* ]] || missing+=("$pkg")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0
if [[ $(id -u) -ne 0 ]]; then
  echo "Missing packages. Please run:"
  echo "  sudo apt-get install ${missing[*]}"
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
