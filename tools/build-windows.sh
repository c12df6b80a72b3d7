#!/usr/bin/env bash
# Builds the Windows form: gen_Tunelet.dll (32-bit) and its test host, cross-
# compiled with Debian's mingw-w64, the search engine and the tag reader built
# from Debian's own source packages. Installs what it needs (as root;
# otherwise prints the apt-get line to run), caches the cross-built
# dependencies in build/windows-deps (kept between runs), builds in
# build/windows: the libraries and their tests (tools/check-windows.sh runs
# those under Wine), then packs build/windows/gen_Tunelet-<version>-win32.zip.
#
#   tools/build-windows.sh            dependencies (once) and the build
#   tools/build-windows.sh deps       only the dependencies
#   tools/build-windows.sh sources    only the installs and Debian's source
#                                     entries (all that needs the package manager)
# WINDOWS_DEPS and WINDOWS_BUILD name other folders for the two (a cold build
# in throw-away folders, for one).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
deps=${WINDOWS_DEPS:-$root/build/windows-deps}
build=${WINDOWS_BUILD:-$root/build/windows}
toolchain=$root/tools/mingw-i686.cmake
jobs=$(nproc)
# Compiler results are cached as the Linux builds' are (ccache, keyed by
# content, when it is there): another clone of the same sources hits them.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

packages=(g++-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-i686-dev cmake ninja-build dpkg-dev googletest
  ffmpeg python3)

install_packages() {
  "$root/tools/deps.sh" "${packages[@]}"
}

# Debian's source entries, for `apt-get source`, when the machine has none.
ensure_sources() {
  if grep -rqs "^Types:.*deb-src\|^deb-src" /etc/apt/sources.list /etc/apt/sources.list.d/; then
    return 0
  fi
  if [ "$(id -u)" -ne 0 ]; then
    echo "build-windows: add Debian's deb-src entries (apt-get source needs them)" >&2
    exit 1
  fi
  cat > /etc/apt/sources.list.d/tunelet-deb-src.sources <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  apt-get update -q
}

# The search engine, from Debian's source package with Debian's patches, then
# made to cross-build: its compiler-version probe cannot read "12-posix" (it
# only decides on ELF symbol visibility, which Windows does not have); it must
# use Windows threads, not winpthreads; it must take the C runtime's own
# _snprintf and _snwprintf; its Windows thread code must include windows.h
# rather than declare the functions itself, and start threads with
# _beginthreadex, whose entry is __stdcall like its own. Both libraries are
# static, so neither may declare the other's functions as DLL imports.
build_clucene() {
  # The stamp names the recipe's version: a cache made by an older recipe is rebuilt.
  local stamp=$deps/clucene-2.done
  [ -f "$stamp" ] && return 0
  rm -rf "$deps/clucene-src" "$deps/clucene-build"
  mkdir -p "$deps/clucene-src"
  (cd "$deps/clucene-src" && apt-get source -q clucene-core >/dev/null)
  local src
  src=$(find "$deps/clucene-src" -maxdepth 1 -type d -name 'clucene-core-*' | head -n 1)
  sed -i 's|exec_program(${CMAKE_C_COMPILER} ARGS --version OUTPUT_VARIABLE _gcc_version_info)|set(_gcc_version_info "(GCC) 4.0.0")|' \
    "$src/src/shared/cmake/MacroCheckGccVisibility.cmake"
  sed -i -e 's|CHOOSE_FUNCTION(_snprintf "snprintf;_snprintf")|CHOOSE_FUNCTION(_snprintf "_snprintf;snprintf")|' \
    -e 's|CHOOSE_FUNCTION(_snwprintf "snwprintf;_snwprintf")|CHOOSE_FUNCTION(_snwprintf "_snwprintf;snwprintf")|' \
    -e 's|^IF ( CMAKE_USE_WIN32_THREADS_INIT )|IF ( CMAKE_USE_WIN32_THREADS_INIT OR WIN32 )|' \
    -e 's|^IF ( CMAKE_USE_PTHREADS_INIT )|IF ( CMAKE_USE_PTHREADS_INIT AND NOT WIN32 )|' \
    "$src/src/shared/CMakeLists.txt"
  python3 - "$src" <<'EOF'
import sys
src = sys.argv[1]
p = src + "/src/shared/CLucene/config/_threads.h"
s = open(p).read()
s = s.replace('      #ifndef _WINBASE_\n      extern "C"{',
              '      #if defined(__MINGW32__)\n      #ifndef NOMINMAX\n      #define NOMINMAX\n      #endif\n'
              '      #ifndef WIN32_LEAN_AND_MEAN\n      #define WIN32_LEAN_AND_MEAN\n      #endif\n'
              '      #include <windows.h>\n      #include <process.h>\n'
              '      #elif !defined(_WINBASE_)\n      extern "C"{', 1)
open(p, "w").write(s)
p = src + "/src/shared/CLucene/config/threads.cpp"
s = open(p).read()
s = s.replace("return (_LUCENE_THREADID_TYPE) ::_beginthread (func, 0, arg);",
              "return (_LUCENE_THREADID_TYPE) ::_beginthreadex (NULL, 0, (unsigned (__stdcall*)(void*))func, arg, 0, NULL);", 1)
open(p, "w").write(s)
EOF
  cmake -S "$src" -B "$deps/clucene-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" "${launcher[@]}" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS="-Wno-narrowing -w -DMAKE_CLUCENE_CORE_LIB -DMAKE_CLUCENE_SHARED_LIB" -DCMAKE_C_FLAGS="-w" \
    -DBUILD_STATIC_LIBRARIES=ON -DENABLE_COMPILE_TESTS=OFF >/dev/null
  cmake --build "$deps/clucene-build" -j "$jobs" --target clucene-core-static clucene-shared-static
  # One prefix the project's build reads: the public headers (the source
  # tree's and the generated configuration) and the two static libraries.
  rm -rf "$deps/clucene"
  mkdir -p "$deps/clucene/include" "$deps/clucene/lib"
  cp "$src/src/core/CLucene.h" "$deps/clucene/include/"
  (cd "$src/src/core" && find CLucene -name '*.h' -exec cp --parents {} "$deps/clucene/include/" \;)
  (cd "$src/src/shared" && find CLucene -name '*.h' -exec cp --parents {} "$deps/clucene/include/" \;)
  cp "$deps/clucene-build/src/shared/CLucene/clucene-config.h" "$deps/clucene/include/CLucene/"
  cp "$deps/clucene-build/bin/libclucene-core-static.a" "$deps/clucene-build/bin/libclucene-shared-static.a" \
    "$deps/clucene/lib/"
  touch "$stamp"
}

# The tag reader, from Debian's source package with Debian's patches, static.
# Debian's build takes UTF-8 handling from a system package; the upstream
# sources carry the same headers, which are used instead. No zlib (only
# compressed ID3v2 frames need it, and they are rare), no bindings.
build_taglib() {
  local stamp=$deps/taglib-1.done
  [ -f "$stamp" ] && return 0
  rm -rf "$deps/taglib-src" "$deps/taglib-build"
  mkdir -p "$deps/taglib-src"
  (cd "$deps/taglib-src" && apt-get source -q taglib >/dev/null)
  local src
  src=$(find "$deps/taglib-src" -mindepth 1 -maxdepth 1 -type d -name 'taglib-*' | head -n 1)
  sed -i 's|#include <utf8/checked.h>|#include <utf8-cpp/checked.h>|' "$src/taglib/toolkit/tstring.cpp"
  rm -rf "$deps/taglib"
  cmake -S "$src" -B "$deps/taglib-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" "${launcher[@]}" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS="-w -I$src/3rdparty" -DCMAKE_C_FLAGS="-w" \
    -DCMAKE_INSTALL_PREFIX="$deps/taglib" -DBUILD_SHARED_LIBS=OFF -DWITH_ZLIB=OFF \
    -DBUILD_BINDINGS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$deps/taglib-build" -j "$jobs" --target tag
  cmake --install "$deps/taglib-build" >/dev/null
  touch "$stamp"
}

install_packages
ensure_sources
[ "${1:-}" = sources ] && exit 0
mkdir -p "$deps"
build_clucene
build_taglib
[ "${1:-}" = deps ] && exit 0

# TUNELET_WERROR=1 (continuous integration): warnings are errors here too.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" "${launcher[@]}" -DCMAKE_BUILD_TYPE=Release \
  -DTUNELET_WINDOWS_DEPS="$deps" -DTUNELET_TESTS=ON -DTUNELET_BENCH=OFF \
  -DTUNELET_WERROR="$([ "${TUNELET_WERROR:-0}" = 1 ] && echo ON || echo OFF)"
cmake --build "$build" -j "$jobs"

# The zip to hand out: the plug-in and a note on where it goes. The DLL must
# be there whenever this build defines it; a build whose platform layer is
# still incomplete has no module target, and its zip holds the note alone.
pack_zip() {
  local version dll note zip
  version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION \(.*\))$/\1/p' "$root/packaging/CMakeLists.txt")
  zip=$build/gen_Tunelet-$version-win32.zip
  dll=$(ninja -C "$build" -t targets all | sed -n 's/^\(.*gen_Tunelet\.dll\): .*/\1/p' | head -n 1)
  local files=()
  if [ -n "$dll" ]; then
    if [ ! -f "$build/$dll" ]; then
      echo "build-windows: the build defines $dll but did not make it" >&2
      exit 1
    fi
    files+=("$build/$dll")
  else
    echo "build-windows: this build has no plug-in module yet (see the configure warning); the zip holds the note only" >&2
  fi
  note=$(mktemp -d)/README.txt
  # Windows' own line ends, for any text editor there.
  sed 's/$/\r/' > "$note" <<'EOF_NOTE'
Tunelet: the player's web remote control, as a plug-in

Put gen_Tunelet.dll into the player's Plugins folder (the folder named
Plugins in the folder where the player's program is installed), then start
the player again. The plug-in appears among the player's general-purpose
plug-ins, where its settings open; it keeps them in gen_Tunelet.ini
beside gen_Tunelet.dll.

Remove the file from the Plugins folder to remove the plug-in.
EOF_NOTE
  rm -f "$zip"
  if command -v zip >/dev/null; then
    zip -q -j -X "$zip" "${files[@]}" "$note"
  else
    python3 -c 'import sys, zipfile, os
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    [z.write(f, os.path.basename(f)) for f in sys.argv[2:]]' "$zip" "${files[@]}" "$note"
  fi
  rm -rf "$(dirname "$note")"
  echo "build-windows: packed $zip"
}
pack_zip
# The build lays out the test host's folder as the player is installed
# (build/windows/dist: tunelet-player.exe, Plugins/gen_Tunelet.dll) when it
# makes the plug-in module (see the configure warning otherwise).
if [ -f "$build/dist/Plugins/gen_Tunelet.dll" ]; then
  echo "build-windows: the host player with the plug-in is in $build/dist"
fi
