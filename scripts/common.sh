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
    qt6-networkauth-dev qtkeychain-qt6-dev
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good
    fonts-noto-cjk fonts-ipafont-gothic
)
# And to test it: GoogleTest, a private X desktop, screenshots and their reading, a Wayland
# compositor with XWayland and Qt's Wayland plugin; for OAuth2 an OpenID provider on Node.js
# (npm comes with it), a browser driven over DevTools, the desktop's URL opener, a keyring, and
# the accessibility bus to read a box's text; D-Bus and GLib for Python, which the stand-in
# desktop-accounts service uses.
test_packages=(
    googletest libgtest-dev libgmock-dev clang-format clang libclang-rt-dev
    xvfb openbox x11-utils x11-xserver-utils xdotool wmctrl imagemagick trayer
    pulseaudio pulseaudio-utils sox desktop-file-utils
    dovecot-core dovecot-pop3d dovecot-imapd openssl python3 python3-dbusmock dbus libglib2.0-bin
    weston xwayland qt6-wayland
    nodejs chromium python3-websocket gnome-keyring libsecret-tools at-spi2-core python3-pyatspi
    xdg-utils
    python3-dbus python3-gi
)
# And Debian's checks of the package: lintian, hardening-check (devscripts), the metainfo's
# validator; the menu entry's is desktop-file-utils above. Installed without what they
# recommend: that would be a hundred packages more (Debian's keyring, debhelper...) for nothing
# the checks use. The desktop's accounts daemon (goa-daemon) goes with them: what it recommends
# brings pipewire-pulse, which removes pulseaudio.
check_packages=(lintian devscripts appstream gnome-online-accounts)

# Installs the named Debian packages that are not installed yet; apt-get's options may come
# first.
ensure_packages() {
    local options=() missing=() pkg
    while [[ ${1:-} == -* ]]; do
        options+=("$1")
        shift
    done
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$pkg")
    done
    [[ ${#missing[@]} -eq 0 ]] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [[ $(id -u) -ne 0 ]] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq &&
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${options[@]}" "${missing[@]}" >/dev/null
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

# Configures and builds the Debian package into the folder $1 as Debian would (more arguments
# go to cmake): the program alone, Release, with Debian's hardening flags; file paths in the
# binaries relative, every date the last commit's (the changelog's outside git) and the modes
# in the archive the same under any umask, so that two builds of one commit give the same
# bytes. Prints the package's path.
build_package() {
    local dir
    dir=$(mkdir -p "$1" && cd "$1" && pwd)
    shift
    local -x SOURCE_DATE_EPOCH
    SOURCE_DATE_EPOCH=$(git -C "$repo" log -1 --format=%ct 2>/dev/null ||
        dpkg-parsechangelog -l "$repo/packaging/changelog" -S Timestamp)
    # Asked in the source folder, which they map to "."; without -g, as the package is stripped.
    buildflag() {
        (cd "$repo" && DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g \
            dpkg-buildflags --get "$1")
    }
    local cxxflags ldflags
    cxxflags="$(buildflag CXXFLAGS) $(buildflag CPPFLAGS) -ffile-prefix-map=$dir=."
    ldflags=$(buildflag LDFLAGS)
    # Linked at once with the installed search path: the build folder's would be cut out at
    # install, but the program's layout would still depend on its length.
    cmake -S "$repo" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBREEZEL_BUILD_TESTS=OFF \
        -DBREEZEL_BUILD_BENCH=OFF "-DCMAKE_CXX_FLAGS=$cxxflags" "-DCMAKE_EXE_LINKER_FLAGS=$ldflags" \
        "-DCMAKE_SHARED_LINKER_FLAGS=$ldflags" "-DCMAKE_MODULE_LINKER_FLAGS=$ldflags" \
        -DCMAKE_BUILD_WITH_INSTALL_RPATH=ON "$@" >/dev/null &&
        cmake --build "$dir" --parallel "$(nproc)" >"$dir/build.log" &&
        (umask 022 && cpack --config "$dir/CPackConfig.cmake" -B "$dir" >"$dir/cpack.log" 2>&1) || {
        tail -n 40 "$dir/build.log" "$dir/cpack.log" >&2 2>/dev/null
        return 1
    }
    local version
    version=$(dpkg-parsechangelog -l "$repo/packaging/changelog" -S Version)
    echo "$dir/breezel_${version}_$(dpkg --print-architecture).deb"
}
