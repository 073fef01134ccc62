# Shared by run.sh and test.sh: install what is missing, configure and build.
# shellcheck shell=bash

ETC_PACKAGES=(build-essential cmake ninja-build pkg-config libgtest-dev qt6-base-dev qt6-serialport-dev
              qt6-charts-dev libqt6opengl6-dev libgl-dev)

etc_install_missing() {
    local missing=() p
    for p in "${ETC_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [[ ${#missing[@]} -eq 0 ]] && return 0
    if [[ $(id -u) -eq 0 ]]; then
        echo "Installing: ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq && apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null || {
            echo "apt-get install failed" >&2
            return 1
        }
    else
        echo "Some packages are missing. Run this, then try again:" >&2
        echo "  sudo apt-get install -y ${missing[*]}" >&2
        return 1
    fi
}

# etc_build DIR [cmake options...]: configure with Ninja (once) and build with two jobs.
etc_build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null || return 1
    cmake --build "$dir" -j2
}
