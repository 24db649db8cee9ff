# Shared by scripts/run and scripts/test: install what is missing, configure, build.
# Sourced, not run. Quiet when there is nothing to do.

TAVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

tavik_packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
                libcli11-dev libhidapi-dev qt6-base-dev python3)

tavik_install_missing() {
    local missing=()
    for p in "${tavik_packages[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}" >&2
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq >&2
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# tavik_build DIR [cmake options...]: configure once, then build incrementally. TAVIK_TARGETS
# (blank-separated) limits the build to those targets.
tavik_build() {
    local dir=$1
    shift
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S "$TAVIK_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    fi
    local targets=()
    for t in ${TAVIK_TARGETS:-}; do targets+=(--target "$t"); done
    cmake --build "$dir" "${targets[@]}" -- --quiet | sed "/^ninja: no work to do\.$/d"
}
