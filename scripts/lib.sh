# Shared by scripts/run and scripts/test: install what is missing, configure, build.
set -euo pipefail
FS_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

FS_PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev libgl-dev libpcre2-dev
             libgtest-dev xvfb xauth xdg-utils desktop-file-utils strace clang libclang-rt-14-dev
             libglib2.0-bin fonts-urw-base35 fonts-dejavu-core fonts-dejavu-extra)

fs_install_missing() {
    local missing=()
    for p in "${FS_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo=sudo
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

# fs_build DIR [cmake options...]
fs_build() {
    local dir=$1; shift
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S "$FS_ROOT" -B "$dir" -G Ninja "$@"
    fi
    cmake --build "$dir" --parallel "$(nproc)"
}
