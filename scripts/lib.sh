# Shared by scripts/run and scripts/test: install what is missing, configure, build.
set -euo pipefail
FS_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# What building and running need: the compiler and build tools, Qt 6, PCRE2, xdg-open for the
# shell commands and the fonts the window is laid out with; xxHash for content hashes.
FS_PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev libgl-dev libpcre2-dev libxxhash-dev
             xdg-utils fonts-urw-base35 fonts-dejavu-core fonts-dejavu-extra)
# What the tests add: GoogleTest, a virtual display, the launcher and fuzzing tools, python3 (JSON
# parsing), man and groff (the manual page), bash-completion, strace.
FS_TEST_PACKAGES=(libgtest-dev xvfb xauth desktop-file-utils strace clang libclang-rt-14-dev
                  libglib2.0-bin python3 man-db groff-base bash-completion patch)
# scripts/test --windows: the mingw-w64 cross compiler, Wine to run the tests, and dpkg-dev to
# unpack the Debian source packages of PCRE2 and GoogleTest.
FS_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine64 dpkg-dev)
# FS_XVFB=1 scripts/run starts the window on a virtual display.
FS_XVFB_PACKAGES=(xvfb xauth)

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
    # Configured again when the tests' GoogleTest was installed after the last configuration.
    if [ ! -f "$dir/build.ninja" ] ||
        { [ -f /usr/include/gtest/gtest.h ] && grep -q '^FS_HAVE_GTEST:INTERNAL=OFF' "$dir/CMakeCache.txt"; }; then
        cmake -S "$FS_ROOT" -B "$dir" -G Ninja "$@"
    fi
    cmake --build "$dir" --parallel "$(nproc)"
}
