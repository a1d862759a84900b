#!/usr/bin/env bash
# Installs the Debian packages Ostrivel needs to build, run and test. Quick when all are there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  libgtkmm-3.0-dev libgtksourceview-4-dev libwebkit2gtk-4.1-dev
  googletest libgtest-dev libgmock-dev
  fonts-noto-cjk
  xvfb xdotool xclip x11-utils openbox imagemagick
  python3
  desktop-file-utils appstream dpkg-dev
)
if [[ "${1:-}" == "--with-fuzz" ]]; then
  packages+=(clang-14 libclang-rt-14-dev)
fi

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
if ((${#missing[@]} == 0)); then
  exit 0
fi

sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
