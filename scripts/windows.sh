#!/usr/bin/env bash
# Cross-builds Vantelo for 64-bit Windows on a Debian machine, runs its tests
# under Wine, and packs a portable zip and a setup program into build/windows.
#
#   scripts/windows.sh          prepare, build, test and package
#   scripts/windows.sh build    prepare, build and package, without the tests
#   scripts/windows.sh test     prepare, build and run the tests under Wine
#   scripts/windows.sh prepare  only install the packages and cross-build Qt
#                               and libjpeg-turbo (CI starts this early, in the
#                               background, beside the Linux suites)
#
# Installs what is missing from Debian: the mingw-w64 cross compiler, Wine,
# NSIS, and the source packages of qt6-base (the version of the host's Qt) and
# libjpeg-turbo. Qt and libjpeg-turbo are cross-built once into a cache folder
# outside the repository ($VANTELO_WINDOWS_CACHE, by default
# ~/.cache/vantelo-windows) and reused by later runs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
what="${1:-all}"
case "$what" in all | build | test | prepare) ;; *)
  echo "usage: $0 [all|build|test|prepare]" >&2
  exit 2
  ;;
esac

cache="${VANTELO_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vantelo-windows}"
out="$root/build/windows"
mingw=x86_64-w64-mingw32
jobs="$(nproc)"
log() { echo "windows.sh: $*" >&2; }
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)

# --- What the cross build needs from Debian -------------------------------
# mingw-w64: the compilers and the Windows headers and import libraries;
# wine64: runs the tests and the smoke test; nsis: the setup program; nasm:
# libjpeg-turbo's SIMD code; dpkg-dev: unpacks the source packages; xvfb,
# xauth, xdotool: a display for the program's real window under Wine;
# fonts-liberation, fonts-dejavu-core: the fonts the tests register under
# Wine; the Linux build's own packages come from setup.sh (the host Qt
# supplies moc and rcc).
bash scripts/setup.sh
packages=(mingw-w64 wine64 nsis nasm dpkg-dev xvfb xauth xdotool fonts-liberation fonts-dejavu-core)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  log "installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi

qt_version="$(dpkg-query -W -f='${Version}' qt6-base-dev)" # e.g. 6.4.2+dfsg-10
qt_upstream="${qt_version%%[+-]*}"
qt="$cache/qt-$qt_upstream"
jpeg="$cache/libjpeg-turbo"
# Where the host Qt keeps its CMake packages (moc, rcc and uic are found there).
host_cmake="$(dirname "$(dirname "$(find /usr/lib -path '*/cmake/Qt6HostInfo/Qt6HostInfoConfig.cmake' | head -1)")")"
mkdir -p "$cache"

# Fetches Debian's source package into $cache/src/<name> (unpacked, with
# Debian's patches applied), through a deb-src entry of its own when the
# machine's sources list has none.
fetch_source() {
  local name="$1" version="$2" dir="$cache/src/$1"
  [ -f "$dir/.unpacked" ] && return 0
  if ! apt-get source --print-uris "$name=$version" >/dev/null 2>&1; then
    log "adding Debian's source archive to apt"
    local list=/etc/apt/sources.list.d/vantelo-deb-src.sources
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
        "${sudo[@]}" tee "$list" >/dev/null
    else
      grep -h '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
        "${sudo[@]}" tee /etc/apt/sources.list.d/vantelo-deb-src.list >/dev/null
    fi
    "${sudo[@]}" apt-get update -qq
  fi
  rm -rf "$dir" "$cache/src/download-$name"
  mkdir -p "$cache/src/download-$name"
  (cd "$cache/src/download-$name" && apt-get source -qq "$name=$version" >/dev/null)
  mv "$(find "$cache/src/download-$name" -mindepth 1 -maxdepth 1 -type d | head -1)" "$dir"
  rm -rf "$cache/src/download-$name"
  touch "$dir/.unpacked"
}

# --- Qt, cross-built once -------------------------------------------------
# Only what the program uses: Core, Gui, Widgets and Test with the windows
# platform plugin, with Qt's own copies of the image and font libraries, and
# without network, SQL, D-Bus, OpenGL, printing, XML or Vulkan. Direct2D stays
# on: without it the windows plugin does not link (its DirectWrite font
# database is only built with it). Tablet events are off: Debian's source
# package leaves out the Wintab header the windows plugin would need for them.
build_qt() {
  [ -f "$qt/.built" ] && return 0
  fetch_source qt6-base "$qt_version"
  log "cross-building Qt $qt_upstream into $qt (the slow step: about an hour of CPU)"
  local build="$cache/build-qt"
  rm -rf "$build" "$qt"
  mkdir -p "$build"
  (
    cd "$build"
    "$cache/src/qt6-base/configure" -prefix "$qt" -xplatform win32-g++ -qt-host-path /usr \
      -release -shared -nomake tests -nomake examples \
      -qt-zlib -qt-libpng -qt-libjpeg -qt-pcre -qt-freetype -qt-harfbuzz \
      -no-feature-sql -no-feature-network -no-dbus -no-opengl -no-feature-vulkan \
      -no-feature-printsupport -no-feature-concurrent -no-feature-xml -no-feature-tabletevent \
      -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
      -DQT_HOST_PATH_CMAKE_DIR="$host_cmake" -DQT_BUILD_TOOLS_WHEN_CROSSCOMPILING=OFF
    cmake --build . --parallel "$jobs"
    cmake --install .
  )
  rm -rf "$build"
  touch "$qt/.built"
}

# --- libjpeg-turbo, the encoder the program writes JPEG files with --------
build_jpeg() {
  [ -f "$jpeg/.built" ] && return 0
  local version
  version="$(dpkg-query -W -f='${Version}' libjpeg62-turbo-dev)"
  fetch_source libjpeg-turbo "$version"
  log "cross-building libjpeg-turbo into $jpeg"
  local build="$cache/build-jpeg"
  rm -rf "$build" "$jpeg"
  cmake -S "$cache/src/libjpeg-turbo" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$jpeg" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
    -DWITH_TURBOJPEG=OFF >/dev/null
  cmake --build "$build" --parallel "$jobs"
  cmake --install "$build" >/dev/null
  rm -rf "$build"
  touch "$jpeg/.built"
}

# --- The program and its tests -------------------------------------------
version="$(sed -n 's/^project(Vantelo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
gcc_runtime="$(dirname "$("$mingw-g++-posix" -print-file-name=libstdc++-6.dll)")"
mingw_runtime="/usr/$mingw/lib"
# The folders the program's DLLs come from, in the order they are searched.
dll_folders=("$qt/bin" "$gcc_runtime" "$mingw_runtime")
build="$out/build"

build_program() {
  local tests=OFF launcher=()
  [ "$what" != build ] && tests=ON
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  local wine_path="" folder
  for folder in "${dll_folders[@]}"; do wine_path+="${wine_path:+;}Z:$folder"; done
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DCMAKE_PREFIX_PATH="$qt;$jpeg" -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="$host_cmake" \
    -DCMAKE_BUILD_TYPE=Release -DVANTELO_WERROR=ON -DVANTELO_BUILD_BENCH=OFF \
    -DVANTELO_BUILD_TESTS="$tests" -DVANTELO_WINE_PATH="$wine_path" "${launcher[@]}" >/dev/null
  cmake --build "$build" --parallel "$jobs"
}

# Copies into $1 every DLL that the programs and libraries there import and
# that one of dll_folders holds, following the imports of what it copied, as
# windeployqt does. DLLs of Windows itself are in none of those folders.
gather_dlls() {
  local dist="$1" queue=() file name folder
  mapfile -t queue < <(find "$dist" -iname '*.exe' -o -iname '*.dll')
  while [ ${#queue[@]} -gt 0 ]; do
    file="${queue[0]}"
    queue=("${queue[@]:1}")
    while read -r name; do
      [ -e "$dist/$name" ] && continue
      for folder in "${dll_folders[@]}"; do
        if [ -f "$folder/$name" ]; then
          cp "$folder/$name" "$dist/$name"
          queue+=("$dist/$name")
          break
        fi
      done
    done < <("$mingw-objdump" -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p')
  done
}

# The portable folder: the program, the application folder's files, the Qt
# plugins it loads (the windows and offscreen platforms, the native style, the JPEG, GIF and
# ICO readers) and every DLL those need.
package() {
  local name="vantelo-$version" dist="$out/vantelo-$version"
  rm -rf "$dist"
  mkdir -p "$dist/platforms" "$dist/styles" "$dist/imageformats"
  cp "$build/vantelo.exe" "$dist/"
  cp -r "$root/assets/." "$dist/"
  # The window draws through the windows platform; --export and --export-kit
  # draw with no window at all, through the offscreen one.
  cp "$qt/plugins/platforms/"{qwindows,qoffscreen}.dll "$dist/platforms/"
  cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$dist/styles/"
  cp "$qt/plugins/imageformats/"{qjpeg,qgif,qico}.dll "$dist/imageformats/"
  "$mingw-strip" "$dist/vantelo.exe"
  gather_dlls "$dist"
  # Qt looks for its plugins beside the program when qt.conf says so.
  printf '[Paths]\nPrefix = .\nPlugins = .\n' >"$dist/qt.conf"

  local zip="$out/$name-windows-x64.zip"
  rm -f "$zip"
  (cd "$out" && cmake -E tar cf "$zip" --format=zip "$name")

  # The uninstaller deletes each installed file, then each installed folder
  # from the deepest up, so that a folder holding the user's own files stays.
  local uninstall="$out/uninstall.nsh"
  (
    cd "$dist"
    find . -type f | sed 's|^\./||; s|/|\\|g; s|.*|  Delete "$INSTDIR\\&"|'
    find . -mindepth 1 -type d | awk '{ print length($0) "\t" $0 }' | sort -rn | cut -f2- |
      sed 's|^\./||; s|/|\\|g; s|.*|  RMDir "$INSTDIR\\&"|'
  ) >"$uninstall"
  makensis -V2 -DVERSION="$version" -DSOURCE="$dist" -DOUTFILE="$out/$name-setup.exe" \
    -DUNINSTALL="$uninstall" -DICON="$root/desktop/windows/vantelo.ico" \
    "$root/desktop/windows/vantelo.nsi"
  log "made $zip and $out/$name-setup.exe"
}

# Wine runs in a prefix of its own, made once in the cache, without asking to
# install Mono or Gecko (nothing here needs them).
export WINEPREFIX="${WINEPREFIX:-$cache/wine}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
prepare_wine() {
  [ -f "$WINEPREFIX/system.reg" ] && return 0
  log "making the Wine prefix $WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
}

run_tests() {
  prepare_wine
  ctest --test-dir "$build" --output-on-failure --timeout 600
  bash "$root/tests/windows/smoke.sh" "$out/vantelo-$version-windows-x64.zip" \
    "$out/vantelo-$version-setup.exe"
}

build_jpeg
build_qt
if [ "$what" = prepare ]; then
  prepare_wine
  log "prepared"
  exit 0
fi
build_program
package
[ "$what" != build ] && run_tests
log "done"
