# Shared by the scripts: install what is missing, configure and build.
# shellcheck shell=bash
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Debian packages every build, test and window run needs.
BASE_PACKAGES=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev libxcb1-dev libcurl4-openssl-dev libssl-dev zlib1g-dev xvfb xauth fonts-noto-cjk
    clang libclang-rt-dev clang-tidy at-spi2-core dbus-bin dbus-daemon)
# scripts/screenshot: window lookup (xwininfo) and capture (import).
SCREENSHOT_PACKAGES=(imagemagick x11-utils)
# scripts/package and scripts/check-package: the package (file and dpkg-shlibdeps for its
# dependencies), its checks, and the icons' renderer (packaging/icons/generate).
# hardening-check (devscripts) and xdotool for the installed program's checks.
PACKAGE_PACKAGES=(file dpkg-dev desktop-file-utils appstream lintian librsvg2-bin devscripts
    xdotool)
# scripts/check-wayland: a compositor nested in Xvfb, Qt's Wayland platform, input, the
# clipboard and screenshots.
WAYLAND_PACKAGES=(weston qt6-wayland wl-clipboard xdotool imagemagick python3)
# Checking by hand what a screen reader hears: the AT-SPI Python client (the bus is in BASE).
ACCESSIBILITY_PACKAGES=(python3-pyatspi)

ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "Installing: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# project_version BUILD_DIR: the CMake project's version that the build was configured with.
project_version() {
    sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt" 2>/dev/null
}

# configure_and_build PRESET BUILD_DIR [cmake options...]
# PRESET names one of CMakePresets.json's configurations; BUILD_DIR, when not its own folder,
# takes its place.
configure_and_build() {
    local preset="$1" dir="$2"
    shift 2
    (cd "$ROOT" && cmake --preset "$preset" -B "$dir" "$@" >/dev/null)
    cmake --build "$dir" -- -j"$(nproc)"
}

# preset_build_dir PRESET: the folder CMakePresets.json gives the preset.
preset_build_dir() {
    if [ "$1" = default ]; then
        echo "$ROOT/build"
    else
        echo "$ROOT/build-$1"
    fi
}

# The Windows program: the cross compiler, Wine (32-bit, so the i386 architecture) to run it,
# NSIS for its installer, zlib built for it, a CJK font, and an X server, input and clipboard
# tools to drive it.
# GoogleTest comes as sources (libgtest-dev), built for Windows beside the tests.
WINDOWS_PACKAGES=(g++-mingw-w64-i686-posix libz-mingw-w64-dev wine wine32:i386 wine64 nsis
    fonts-noto-cjk xvfb xauth xdotool xclip python3 imagemagick file libgtest-dev)

ensure_windows_packages() {
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        local sudo=""
        [ "$(id -u)" -ne 0 ] && sudo="sudo"
        $sudo dpkg --add-architecture i386
        $sudo apt-get update -qq
    fi
    ensure_packages "${WINDOWS_PACKAGES[@]}"
}


# start_quiet_wine WORK_DIR: a throwaway Wine prefix in WORK_DIR, with no offer to download Mono
# or Gecko and no trace lines; its wineserver must be killed on every path out (stop_wine).
start_quiet_wine() {
    export WINEPREFIX="$1/prefix" WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
    wineboot --init >/dev/null 2>&1
    link_cjk_font
}

# As Windows links its interface font to a Chinese one (SimSun, Microsoft YaHei), the prefix
# links Wine's to the CJK font Debian installs: the window shows the system's font as it is,
# and Chinese captions come through font linking, in any locale.
link_cjk_font() {
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
        /v Tahoma /t REG_MULTI_SZ /d 'NotoSansCJK-Regular.ttc,Noto Sans CJK SC' /f >/dev/null 2>&1
}
stop_wine() {
    [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null || true
}

# eventually COMMAND...: polls a condition that another process brings about, up to 20 s.
eventually() {
    local tries
    for tries in $(seq 200); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# start_xvfb WORK_DIR: an X server of its own on a display it picks itself, exported as DISPLAY;
# its pid is appended to the caller's array pids, for the caller's cleanup.
start_xvfb() {
    Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp >"$1/display" 2>"$1/xvfb.log" &
    pids+=($!)
    eventually test -s "$1/display" || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$(cat "$1/display")"
}
