#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Shared by run.sh and test.sh: installs the Debian packages the build and the tests need (only
# those missing), then configures and builds into build/ (the targets named as arguments, or
# everything). Quick when nothing changed.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir="$repo/build"

packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-svg-dev libgl-dev zlib1g-dev
    libbenchmark-dev libcli11-dev nlohmann-json3-dev googletest libunicorn-dev nasm
    fonts-liberation2
    xvfb xauth xdotool x11-utils imagemagick
    dpkg-dev file desktop-file-utils
    help2man lintian appstream man-db groff-base
    parallel python3 python3-yaml zip unzip
)

# shellcheck source=packages.sh
. "$repo/scripts/packages.sh"
ensure_packages "${packages[@]}"

if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    cmake -S "$repo" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
targets=()
for t in "$@"; do
    targets+=(--target "$t")
done
cmake --build "$build_dir" --parallel "$(nproc)" "${targets[@]}"
