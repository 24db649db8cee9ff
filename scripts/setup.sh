# SPDX-License-Identifier: MIT
# Shared by scripts/run, scripts/test and the other scripts: install what is missing, configure,
# build. Sourced, not run. Quiet when there is nothing to do.
# shellcheck shell=bash

TAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# What building the programs needs, and what the window needs to run: its Japanese font, and Qt's
# own texts in Japanese. scripts/run installs only these.
tavik_build_packages=(cmake ninja-build g++ pkg-config libcli11-dev libhidapi-dev qt6-base-dev
                      libboost1.81-dev nlohmann-json3-dev libqrcodegencpp-dev libmosquitto-dev)
tavik_run_packages=(fonts-noto-cjk qt6-translations-l10n)

# The development list: the build's, and what the test suite and the benchmarks need besides.
tavik_packages=("${tavik_build_packages[@]}" qt6-translations-l10n
                libgtest-dev libgmock-dev libbenchmark-dev python3 groff-base
                zbar-tools chromium chromium-driver python3-selenium xvfb xauth weston qt6-wayland)
# The MQTT bridge's tests: a broker of their own, and its command-line clients.
tavik_packages+=(mosquitto mosquitto-clients)
# The window's screen-reader test: a session bus, the accessibility bus, Debian's pyatspi, Orca.
tavik_packages+=(dbus-daemon at-spi2-core python3-pyatspi orca)

# tavik_install_missing [packages...]: the development list and those packages.
tavik_install_missing() {
    tavik_install_only "${tavik_packages[@]}" "$@"
}

# tavik_install_for_running: what building and running the programs need, no test tools. On a
# Wayland desktop Qt's Wayland plugin too, without which the window cannot open there.
tavik_install_for_running() {
    local wayland=()
    [ -n "${WAYLAND_DISPLAY:-}" ] && wayland=(qt6-wayland)
    tavik_install_only "${tavik_build_packages[@]}" "${tavik_run_packages[@]}" "${wayland[@]}"
}

# tavik_install_only packages...: only those.
tavik_install_only() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}" >&2
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq >&2
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        -o DPkg::Lock::Timeout=600 "${missing[@]}" >/dev/null
}

# The options of the development build (tests and benchmarks on); scripts add theirs after these.
# shellcheck disable=SC2034 # used by the scripts that source this file
tavik_dev_options=(-DTAVIK_BUILD_TESTS=ON -DTAVIK_BUILD_BENCH=ON -DTAVIK_WERROR=OFF
                   -DTAVIK_SANITIZE=)
# The programs alone, which need none of the test libraries.
# shellcheck disable=SC2034
tavik_run_options=(-DTAVIK_BUILD_TESTS=OFF -DTAVIK_BUILD_BENCH=OFF -DTAVIK_WERROR=OFF
                   -DTAVIK_SANITIZE=)

# tavik_build DIR [cmake options...]: configure when DIR is new or the options differ from those
# it was configured with, then build incrementally. TAVIK_TARGETS (blank-separated) limits the
# build to those targets.
tavik_build() {
    local dir=$1
    shift
    local stamp="$dir/tavik-configure-options"
    local wanted
    wanted=$(tavik_configured_as "$@")
    if [ ! -f "$dir/build.ninja" ] || [ "$(cat "$stamp" 2>/dev/null)" != "$wanted" ]; then
        cmake -S "$TAVIK_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
        printf '%s' "$wanted" >"$stamp"
    fi
    local targets=()
    for t in ${TAVIK_TARGETS:-}; do targets+=(--target "$t"); done
    cmake --build "$dir" "${targets[@]}" -- --quiet | sed "/^ninja: no work to do\.$/d"
}

# tavik_configured_as [cmake options...]: what tavik_build keeps in DIR/tavik-configure-options
# for a tree configured with those options.
tavik_configured_as() {
    echo "-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $*"
}

# tavik_deb_src PACKAGE: makes apt-get source find PACKAGE, adding a deb-src entry for the
# release when apt has none.
tavik_deb_src() {
    apt-get source --print-uris "$1" >/dev/null 2>&1 && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Adding a deb-src entry for Debian's source packages" >&2
    # The mirror the machine's own binary packages come from.
    local mirror
    mirror=$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '$1 == "URIs:" { print $2; exit }' || true)
    [ -n "$mirror" ] ||
        mirror=$(awk '$1 == "deb" { print $2; exit }' /etc/apt/sources.list 2>/dev/null || true)
    printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
        "$mirror" "$(. /etc/os-release && echo "$VERSION_CODENAME")" |
        $sudo tee /etc/apt/sources.list.d/debian-sources.sources >/dev/null
    $sudo apt-get update -qq >&2
}

# tavik_qrcodegen_source DIR: qrcodegen's C++ source from Debian's source package, unpacked into
# DIR (the Windows build compiles it; Debian has no Windows library of it).
tavik_qrcodegen_source() {
    local dir=$1
    [ -f "$dir/qrcodegen.cpp" ] && return 0
    tavik_deb_src qr-code-generator
    local download="$dir.download"
    mkdir -p "$download" "$dir"
    # Only the original source is used; apt checks it against the signed .dsc.
    (cd "$download" && apt-get source --download-only -qq qr-code-generator >/dev/null 2>&1) || true
    local orig
    orig=$(find "$download" -name 'qr-code-generator_*.orig.tar.gz' | head -n 1)
    local dsc
    dsc=$(find "$download" -name 'qr-code-generator_*.dsc' | head -n 1)
    if [ -z "$orig" ] || [ -z "$dsc" ] ||
        ! grep -q "$(sha256sum "$orig" | cut -d' ' -f1)" "$dsc"; then
        echo "cannot fetch qrcodegen's source (apt-get source qr-code-generator)" >&2
        return 1
    fi
    tar -xzf "$orig" -C "$dir" --strip-components=2 --wildcards '*/cpp/qrcodegen.cpp' '*/cpp/qrcodegen.hpp'
}

# tavik_mosquitto_source DIR: the client library's part of Debian's mosquitto source, unpacked
# into DIR (the Windows build compiles it; Debian has no Windows library of it). With Debian's
# patches applied: several of them fix the client library, and Linux links the patched one.
tavik_mosquitto_source() {
    local dir=$1
    [ -f "$dir/lib/mosquitto.c" ] && return 0
    tavik_deb_src mosquitto
    local download="$dir.download"
    rm -rf "$download"
    mkdir -p "$download"
    (cd "$download" && apt-get source --download-only -qq mosquitto >/dev/null 2>&1) || true
    local dsc
    dsc=$(find "$download" -name 'mosquitto_*.dsc' | head -n 1)
    # dpkg-source checks the tarballs against the .dsc, which apt checked against the signed index.
    if [ -z "$dsc" ] || ! dpkg-source -q -x "$dsc" "$download/src" >/dev/null 2>&1; then
        echo "cannot fetch mosquitto's source (apt-get source mosquitto)" >&2
        return 1
    fi
    # The library alone: lib/ without the C++ wrapper, its headers, config.h, the one header it
    # takes from deps/, and the licence. Moved into place whole, so that a broken unpack is redone.
    local src="$download/src" part="$download/part"
    mkdir -p "$part/lib" "$part/include" "$part/deps"
    cp "$src"/lib/*.c "$src"/lib/*.h "$part/lib/"
    cp "$src"/include/mosquitto.h "$src"/include/mqtt_protocol.h "$part/include/"
    cp "$src"/deps/utlist.h "$part/deps/"
    cp "$src"/config.h "$src"/LICENSE.txt "$src"/edl-v10 "$src"/epl-v20 "$part/"
    rm -rf "$dir"
    mv "$part" "$dir"
    rm -rf "$download"
}

# tavik_windows_build: the cross build for Windows in build-windows/, tests included.
tavik_windows_build() {
    tavik_install_missing g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine64 zip dpkg-dev
    tavik_qrcodegen_source "$TAVIK_ROOT/build-windows/qrcodegen"
    tavik_mosquitto_source "$TAVIK_ROOT/build-windows/mosquitto"
    tavik_build "$TAVIK_ROOT/build-windows" \
        "-DCMAKE_TOOLCHAIN_FILE=$TAVIK_ROOT/cmake/mingw-w64-x86_64.cmake" -DTAVIK_BUILD_TESTS=ON \
        -DCMAKE_RC_FLAGS=--codepage=65001 -DTAVIK_WERROR=ON \
        "-DTAVIK_QRCODEGEN_SOURCE=$TAVIK_ROOT/build-windows/qrcodegen" \
        "-DTAVIK_MOSQUITTO_SOURCE=$TAVIK_ROOT/build-windows/mosquitto" "$@"
}
