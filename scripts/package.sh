#!/usr/bin/env bash
# Builds the Debian package build-deb/ostrivel_<version>_<arch>.deb (installed under /usr).
#   apt install ./build-deb/ostrivel_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=OFF \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build build-deb -j"$(nproc)" --target ostrivel
(cd build-deb && cpack -G DEB)
ls build-deb/ostrivel_*.deb
