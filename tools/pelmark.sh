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
# The two builds, each in a folder of its own: the 32-bit program is the
# download; the 64-bit one is the same sources for x86_64, which every
# machine can run, so that every test runs on any machine.
build32=${PELMARK_BUILD_DIR:-$root/build}
build64=${PELMARK_BUILD64_DIR:-$root/build64}
# Debian's "wine" takes the 32-bit loader whenever it is installed: the
# 64-bit loader is called by its full path.
wine32=wine
wine64=/usr/lib/wine/wine64

if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi

have_packages() {
    command -v i686-w64-mingw32-g++-posix >/dev/null &&
        command -v i686-w64-mingw32-windres >/dev/null &&
        command -v x86_64-w64-mingw32-g++-posix >/dev/null &&
        command -v x86_64-w64-mingw32-windres >/dev/null &&
        command -v cmake >/dev/null && command -v make >/dev/null &&
        command -v wine >/dev/null && [ -x /usr/lib/wine/wine ] && [ -x /usr/lib/wine/wine64 ] &&
        command -v setpriv >/dev/null &&
        command -v Xvfb >/dev/null && [ -f /usr/src/googletest/CMakeLists.txt ] &&
        command -v openbox >/dev/null && command -v xdotool >/dev/null && command -v xprop >/dev/null &&
        command -v xwd >/dev/null && command -v python3 >/dev/null && command -v sha256sum >/dev/null &&
        [ -d /usr/share/wine/fonts ] && dpkg -s libxfixes3 >/dev/null 2>&1
}

install_packages() {
    echo "== installing the cross compilers (32- and 64-bit), Wine (32- and 64-bit), Xvfb and GoogleTest"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        "${sudo[@]}" dpkg --add-architecture i386
    fi
    "${sudo[@]}" apt-get update -q
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
        cmake make g++-mingw-w64-i686-posix binutils-mingw-w64-i686 \
        g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
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

# Whether this machine runs 32-bit code. Some kernels run 64-bit user code
# only: there Wine's 32-bit loader, an i386 program, fails with "Exec format
# error", and no 32-bit Windows program starts. PELMARK_64BIT_ONLY=1 takes the
# 64-bit-only path on any machine, so that it can be tried anywhere. Sets
# no32 to the reason the 32-bit programs cannot run, or to nothing.
no32=""
find_out_32bit() {
    if [ "${PELMARK_64BIT_ONLY:-}" = 1 ]; then
        no32="PELMARK_64BIT_ONLY=1 asks for the 64-bit build alone"
        return
    fi
    local said
    if ! said=$(/usr/lib/wine/wine --version 2>&1); then
        no32="this machine runs no 32-bit code (Wine's 32-bit loader: ${said##*: })"
    fi
}

# configure_and_build FOLDER TOOLCHAIN TESTS(ON|OFF) [TARGET]
configure_and_build() {
    echo "== building in $1"
    cmake -S "$root" -B "$1" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$2" \
        -DCMAKE_BUILD_TYPE=Release -DPELMARK_TESTS="$3" >/dev/null
    cmake --build "$1" -j"$(nproc)" ${4:+--target "$4"}
}

# use_build 32|64: the build, its Wine prefix and the loader that runs it.
use_build() {
    if [ "$1" = 64 ]; then
        build=$build64 WINE=$wine64
        export WINEARCH=win64
    else
        build=$build32 WINE=$wine32
        export WINEARCH=win32
    fi
    export WINEPREFIX="$build/wineprefix"
}

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="

pids=()
prefixes=()
cleanup() {
    # End what this script started: the Wine servers of its own prefixes,
    # and its display and window manager, by process id.
    local p
    for p in "${prefixes[@]}"; do WINEPREFIX=$p wineserver -k 2>/dev/null || true; done
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

# The current build's prefix, made once; one server for it, started here
# and ended by cleanup. $1: Y when a window manager draws the frames (ours,
# or the user's desktop).
prepare_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "== making the Wine prefix $WINEPREFIX (once)"
        "$WINE" wineboot -i >/dev/null 2>&1 || true
        wineserver -w
    fi
    # A server left from elsewhere in this prefix is ended first.
    wineserver -k 2>/dev/null || true
    prefixes+=("$WINEPREFIX")
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$1" /f >/dev/null 2>&1
}

if [ "$mode" = test ]; then
    find_out_32bit
    if [ -z "$no32" ]; then
        echo "== testing both builds, 64-bit and then 32-bit: this machine runs 32-bit code"
    else
        echo "== testing the 64-bit build; of the 32-bit one only what needs no Wine: $no32"
    fi
    configure_and_build "$build64" mingw-x86_64.cmake ON
    configure_and_build "$build32" mingw-i686.cmake ON
    start_xvfb
    # run_suite 32|64: every test of that build; the tests of a build this
    # machine cannot run report themselves skipped, with the reason.
    run_suite() {
        use_build "$1"
        local cannot=""
        if [ "$1" = 32 ] && [ -n "$no32" ]; then
            cannot=$no32
            echo "== the $1-bit build: its checks that need no Wine (the rest are skipped: $cannot)"
        else
            prepare_prefix Y
            # One server for the whole suite, so that each process starts
            # quickly; its helper services start here, detached from the
            # output of what follows.
            wineserver -p 2>/dev/null || true
            echo "== the $1-bit build: in-process tests, then the end-to-end journeys"
        fi
        # The suite's own desktop data folder, with its recycle bin, starts empty.
        rm -rf "$build/desktop-data"
        mkdir -p "$build/desktop-data/Trash/files" "$build/desktop-data/Trash/info"
        (cd "$build" && PELMARK_CANNOT_RUN=$cannot ctest --output-on-failure --timeout 180)
        local rc=$?
        [ -n "$cannot" ] || wineserver -k 2>/dev/null || true
        return $rc
    }
    status=0
    run_suite 64 || status=1
    run_suite 32 || status=1
    [ $status -eq 0 ] && echo "== every test passed ($([ -z "$no32" ] && echo "both builds" || echo "64-bit build; 32-bit: ${no32%% (*}"))"
    exit $status
fi

# run: the 32-bit program, the download, where this machine runs it;
# otherwise the same program built for 64-bit Windows.
find_out_32bit
if [ -z "$no32" ]; then
    configure_and_build "$build32" mingw-i686.cmake OFF
    use_build 32
else
    echo "== starting the 64-bit build: $no32"
    configure_and_build "$build64" mingw-x86_64.cmake OFF
    use_build 64
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
    "$WINE" reg add 'HKCU\Control Panel\Colors' /v InfoWindow /d '255 255 225' /f >/dev/null 2>&1
    "$WINE" reg add 'HKCU\Control Panel\Colors' /v HotTrackingColor /d '0 102 204' /f >/dev/null 2>&1
    touch "$WINEPREFIX/.pelmark-colours"
fi
# A demo Agent where Pelmark looks for it on first start: the stand-in and the
# template Agent.ini under the prefix's Program Files folder for 32-bit
# programs (Agent is one). An Agent.ini already there is the user's and stays.
agent_dir="$WINEPREFIX/drive_c/Program Files/Agent"
[ "$WINEARCH" = win64 ] && agent_dir="$WINEPREFIX/drive_c/Program Files (x86)/Agent"
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
"$WINE" "$build/bin/Pelmark.exe" || true
# A launch that closes Pelmark leaves the Agent it started running: the
# prefix's programs are waited for before anything is cleaned up.
echo "== Pelmark ended; waiting for the programs it started (close them to end)"
wineserver -w 2>/dev/null || true
