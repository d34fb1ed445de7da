# SPDX-License-Identifier: MIT
# Sourced by the scripts that build the Windows programs and run them under Wine.
#   build_windows [TARGET...]  installs what is missing, builds the build-time painters for this
#                              machine in build/ (they need Qt, which the cross build lacks), and
#                              cross-builds build-windows/ with mingw-w64: the targets, or all
#   use_wine PREFIX            Wine's environment for a prefix of the run's own
#   wine_temp_dir              the prefix's %TEMP% as a path here: where the programs find
#                              emu_port.dat (Wine takes it from the prefix, not the environment)
wine_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

build_windows() {
    # wine gives the launchers (wine, wineboot, wineserver), wine64 the 64-bit loader they start;
    # libz-mingw-w64-dev the zlib that expands the compiled-in pictures; icoutils reads the icon
    # back out of the program; Xvfb and xdotool show and click the panel; wixl builds the MSI, and
    # msitools and unzip take it and the zip apart again for the tests.
    # shellcheck source=packages.sh
    . "$wine_repo/scripts/packages.sh"
    ensure_packages cmake ninja-build g++-mingw-w64-x86-64-posix googletest libcli11-dev \
        nlohmann-json3-dev wine wine64 wixl msitools unzip libz-mingw-w64-dev icoutils xvfb xauth \
        xdotool x11-utils imagemagick
    "$wine_repo/scripts/setup.sh" bexen_render_boxes bexen_render_icon
    cmake -S "$wine_repo" -B "$wine_repo/build-windows" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$wine_repo/cmake/mingw-w64.cmake" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DBEXEN_HOST_TOOLS_DIR="$wine_repo/build" >/dev/null
    cmake --build "$wine_repo/build-windows" --parallel "$(nproc)" ${1:+--target "$@"}
}

use_wine() {
    # No Mono or Gecko to offer to install.
    export WINEDEBUG=-all WINEPREFIX="$1" WINEDLLOVERRIDES="mscoree,mshtml="
    unset WAYLAND_DISPLAY
    mkdir -p "$WINEPREFIX"
}

wine_temp_dir() {
    winepath -u "$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')" 2>/dev/null
}
