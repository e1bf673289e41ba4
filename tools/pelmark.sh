#!/usr/bin/env bash
# Builds Pelmark with Debian's mingw-w64 cross compiler and either starts it
# under Wine ("run"), runs every test under Wine ("test"), or makes the
# download for Windows users in dist/ ("dist"). Installs what is missing
# first; works as root or through sudo. Everything it makes stays in the
# build folder (the Wine prefix included), or in build-dist/ and dist/.
set -euo pipefail

usage() {
    echo "usage: $0 run|test|dist" >&2
    exit 2
}
[ $# -eq 1 ] || usage
mode=$1
case "$mode" in run|test|dist) ;; *) usage ;; esac

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${PELMARK_BUILD_DIR:-$root/build}

if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi

have_packages() {
    command -v i686-w64-mingw32-g++-posix >/dev/null &&
        command -v i686-w64-mingw32-windres >/dev/null &&
        command -v cmake >/dev/null && command -v make >/dev/null &&
        command -v wine >/dev/null && [ -x /usr/lib/wine/wine ] && [ -x /usr/lib/wine/wine64 ] &&
        command -v setpriv >/dev/null &&
        command -v Xvfb >/dev/null && [ -f /usr/src/googletest/CMakeLists.txt ] &&
        command -v openbox >/dev/null && command -v xdotool >/dev/null && command -v xprop >/dev/null &&
        command -v xwd >/dev/null && command -v python3 >/dev/null && command -v sha256sum >/dev/null &&
        [ -d /usr/share/wine/fonts ] && dpkg -s libxfixes3 >/dev/null 2>&1
}

install_packages() {
    echo "== installing the cross compiler, Wine (32- and 64-bit), Xvfb and GoogleTest"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        "${sudo[@]}" dpkg --add-architecture i386
    fi
    "${sudo[@]}" apt-get update -q
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
        cmake make g++-mingw-w64-i686-posix binutils-mingw-w64-i686 \
        wine wine32:i386 wine64 util-linux fonts-wine fonts-liberation xvfb xauth googletest openbox xdotool x11-utils x11-apps \
        libxfixes3 python3 coreutils
}

have_packages || install_packages

if [ "$mode" = dist ]; then
    # The release program alone, in a build folder of its own, packed into
    # a zip whose bytes depend only on the commit; its checksum beside it.
    build=${PELMARK_BUILD_DIR:-$root/build-dist}
    echo "== building the download in $build"
    cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DPELMARK_TESTS=OFF >/dev/null
    cmake --build "$build" -j"$(nproc)" --target dist
    mkdir -p "$root/dist"
    rm -f "$root"/dist/Pelmark-*-win32.zip "$root/dist/SHA256SUMS"
    cp "$build"/dist/Pelmark-*-win32.zip "$root/dist/"
    (cd "$root/dist" && sha256sum Pelmark-*-win32.zip >SHA256SUMS)
    echo "== made:"
    (cd "$root/dist" && ls -l Pelmark-*-win32.zip && cat SHA256SUMS)
    exit 0
fi

echo "== building in $build"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DPELMARK_TESTS=$([ "$mode" = test ] && echo ON || echo OFF) >/dev/null
cmake --build "$build" -j"$(nproc)"

export WINEPREFIX="$build/wineprefix"
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="

pids=()
cleanup() {
    # End what this script started, by process id.
    wineserver -k 2>/dev/null || true
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

start_xvfb() {
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    [ -e "/tmp/.X11-unix/X$n" ] || { echo "Xvfb did not start on :$n" >&2; exit 1; }
    # A light window manager, as every user's desktop has: without one Wine
    # hands the focus back wrongly when a dialog closes and key presses get lost.
    openbox --sm-disable >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && return 0; sleep 0.1; done
    echo "openbox did not start on :$n" >&2
    exit 1
}

# $1: Y when a window manager draws the frames (ours, or the user's desktop).
prepare_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "== making the Wine prefix $WINEPREFIX (once)"
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w
    fi
    # A server left from elsewhere in this prefix is ended first.
    wineserver -k 2>/dev/null || true
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$1" /f >/dev/null 2>&1
}

if [ "$mode" = test ]; then
    start_xvfb
    prepare_prefix Y
    # One server for the whole run, so that each process starts quickly; its
    # helper services start here, detached from the output of what follows.
    wineserver -p 2>/dev/null || true
    echo "== running the tests (in-process, then the end-to-end journeys)"
    # The run's own desktop data folder, with its recycle bin, starts empty.
    rm -rf "$build/desktop-data"
    mkdir -p "$build/desktop-data/Trash/files" "$build/desktop-data/Trash/info"
    cd "$build"
    ctest --output-on-failure --timeout 180
    exit $?
fi

# run: the user's display when there is one, otherwise a private Xvfb.
if [ -z "${DISPLAY:-}" ]; then
    start_xvfb
    echo "== no display: Pelmark runs on the virtual display $DISPLAY"
    echo "   look at it with:  DISPLAY=$DISPLAY import -window root pelmark.png"
    echo "                     (import comes with: ${sudo[*]:+${sudo[*]} }apt-get install imagemagick)"
    echo "   or share it with: x11vnc -display $DISPLAY  (then any VNC viewer)"
    echo "                     (x11vnc comes with: ${sudo[*]:+${sudo[*]} }apt-get install x11vnc)"
fi
prepare_prefix Y
# The two system colours the launch colours default to, as Windows has them
# ("Info Background" and "Hot Light"): Wine's own scheme makes them white and
# light grey, and the colour coding nearly invisible. Written once, in a
# prefix this script made; changed afterwards, they stay as changed.
if [ ! -f "$WINEPREFIX/.pelmark-colours" ]; then
    wine reg add 'HKCU\Control Panel\Colors' /v InfoWindow /d '255 255 225' /f >/dev/null 2>&1
    wine reg add 'HKCU\Control Panel\Colors' /v HotTrackingColor /d '0 102 204' /f >/dev/null 2>&1
    touch "$WINEPREFIX/.pelmark-colours"
fi
# A demo Agent where Pelmark looks for it on first start: the stand-in and the
# template Agent.ini under the prefix's Program Files folder. An Agent.ini
# already there is the user's and stays.
agent_dir="$WINEPREFIX/drive_c/Program Files/Agent"
mkdir -p "$agent_dir"
cp "$build/bin/agent/Agent.exe" "$agent_dir/Agent.exe"
[ -f "$agent_dir/Agent.ini" ] || cp "$build/bin/agent/Agent.ini" "$agent_dir/Agent.ini"
# Three demo profiles beside it, made once.
demo_profile() { # name title news mail launch-mode
    local dir="$agent_dir/$1"
    [ -e "$dir" ] && return 0
    mkdir -p "$dir"
    sed -e "s/^Title=.*/Title=$2/" -e "s/^NewsServer=.*/NewsServer=$3/" \
        -e "s/^MailServer=.*/MailServer=$4/" -e "s/^LaunchMode=.*/LaunchMode=$5/" \
        "$build/bin/agent/Agent.ini" >"$dir/Agent.ini"
}
demo_profile "Home" "Agent at home" "news.home.example" "mail.home.example" 1
demo_profile "Work news" "Agent - work" "news.work.example" "smtp.work.example" 0
demo_profile "archive" "Old archive" "news.archive.example" "" 0
echo "== starting Pelmark (close its window or press Escape to end)"
wine "$build/bin/Pelmark.exe" || true
# A launch that closes Pelmark leaves the Agent it started running: the
# prefix's programs are waited for before anything is cleaned up.
echo "== Pelmark ended; waiting for the programs it started (close them to end)"
wineserver -w 2>/dev/null || true
