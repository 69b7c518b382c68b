# Shared by the scripts: installs what is missing and builds the program folder.
# Source it from a script in scripts/.

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${BREEZEL_BUILD_DIR:-$repo/build}
# The name of the desktop entry and the metainfo (BREEZEL_APP_ID in cmake/Package.cmake).
app_id=invalid.breezel.Breezel

# Packages to build and run Breezel.
run_packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-multimedia-dev qt6-qpa-plugins qt6-translations-l10n libgl-dev dpkg-dev
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good
    fonts-noto-cjk fonts-ipafont-gothic
)
# And to test it: GoogleTest, a private X desktop, screenshots and their reading, a Wayland
# compositor with XWayland and Qt's Wayland plugin.
test_packages=(
    googletest libgtest-dev libgmock-dev clang-format clang libclang-rt-dev
    xvfb openbox x11-utils x11-xserver-utils xdotool imagemagick trayer
    pulseaudio pulseaudio-utils sox desktop-file-utils
    dovecot-core dovecot-pop3d openssl python3 python3-dbusmock dbus
    weston xwayland qt6-wayland
)

# Installs the named Debian packages that are not installed yet.
ensure_packages() {
    local missing=() pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$pkg")
    done
    [[ ${#missing[@]} -eq 0 ]] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [[ $(id -u) -ne 0 ]] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq &&
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
}

# Optimised, with line tables for backtraces: full debug info would cost a quarter more
# compile time. Our own builds treat warnings as errors; a plain cmake build does not.
build_flags=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
    -DBREEZEL_WERROR=ON)

# Configures and builds only the program into $build_dir: a complete program folder.
build_program() {
    cmake -S "$repo" -B "$build_dir" "${build_flags[@]}" >/dev/null &&
        cmake --build "$build_dir" --parallel "$(nproc)" --target breezel breezel_program_folder
}

# Configures and builds everything into $build_dir, tests included.
build_breezel() {
    cmake -S "$repo" -B "$build_dir" "${build_flags[@]}" "$@" >/dev/null &&
        cmake --build "$build_dir" --parallel "$(nproc)"
}
