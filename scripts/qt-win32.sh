#!/usr/bin/env bash
# Builds a static Qt 6 for 32-bit Windows (i686-w64-mingw32) from Debian's own qt6-base source
# package, of the very version the host's qt6-base-dev has, so the host tools of
# qt6-base-dev-tools serve the cross build (QT_HOST_PATH). Only what veltra-config needs: Core,
# Gui, Widgets, Test, the Windows platform plugin and the Windows styles.
# The result is kept outside the tree, keyed by the Qt version and the options, and reused:
#   ${XDG_CACHE_HOME:-~/.cache}/veltra/qt-win32/<version>-<hash>
# Prints that prefix on stdout; everything else goes to stderr.
# Usage: scripts/qt-win32.sh [--print-prefix]   (--print-prefix: only print it, build nothing)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
toolchain="$root/cmake/mingw-w64-i686.cmake"

version="$(dpkg-query -W -f='${source:Version}' qt6-base-dev 2>/dev/null || true)"
if [ -z "$version" ]; then
  "$root/scripts/bootstrap.sh"
  version="$(dpkg-query -W -f='${source:Version}' qt6-base-dev)"
fi

# Debian's source has no wintab.h, so no tablet events; the Windows platform plugin of 6.4 needs
# OpenGL to compile, which then resolves at run time (dynamic GL).
opts=(
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  -DQT_QMAKE_TARGET_MKSPEC=win32-g++
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
  -DFEATURE_xml=OFF -DFEATURE_concurrent=OFF -DFEATURE_tabletevent=OFF -DFEATURE_vulkan=OFF
  -DFEATURE_openssl=OFF -DFEATURE_sql_sqlite=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF
  -DFEATURE_accessibility=ON -DFEATURE_opengl=ON
)
key="$( (printf '%s\n' "${opts[@]}"; cat "$toolchain"; i686-w64-mingw32-g++-posix --version 2>/dev/null | head -1) |
  sha256sum | cut -c1-12)"
cache="${XDG_CACHE_HOME:-$HOME/.cache}/veltra/qt-win32"
prefix="$cache/${version//[:+~]/_}-$key"

if [ "${1:-}" = "--print-prefix" ]; then
  echo "$prefix"
  exit 0
fi
reuse() {
  if [ -f "$prefix/.complete" ]; then
    echo "qt-win32: reusing $prefix" >&2
    echo "$prefix"
    exit 0
  fi
}
reuse
# One build at a time into one prefix: a second run waits for the first and reuses its Qt.
mkdir -p "$cache"
exec 9>"$cache/.lock-$key"
flock 9
reuse

"$root/scripts/bootstrap.sh"
start=$SECONDS
work="$cache/work-$key"
rm -rf "$work"
mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/apt/sources.list.d" \
  "$work/src"

# A private source list and index: the system's package sources stay as they are. apt checks the
# index's signature with Debian's archive key and the files' hashes against the signed index.
cat >"$work/apt/sources.list.d/debian-src.sources" <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
apt_opts=(
  -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$work/apt/sources.list.d"
  -o Dir::State::Lists="$work/apt/lists" -o Dir::Cache="$work/apt/cache"
  -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache= -o APT::Sandbox::User=root
)
echo "qt-win32: fetching qt6-base $version (Debian source package)" >&2
apt-get "${apt_opts[@]}" -qq update >&2
(cd "$work/src" && apt-get "${apt_opts[@]}" -q --download-only source "qt6-base=$version" >&2)
# dpkg-source checks the files' sizes and hashes against the .dsc apt verified.
dsc="$(ls "$work/src"/qt6-base_*.dsc)"
dpkg-source --no-copy -x "$dsc" "$work/src/qtbase" >&2

# The compiler cache only spares a retry after a failed build; it is not part of the key.
launch=()
command -v ccache >/dev/null &&
  launch=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
echo "qt-win32: configuring into $prefix" >&2
rm -rf "$prefix"
cmake -S "$work/src/qtbase" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_INSTALL_PREFIX="$prefix" "${opts[@]}" "${launch[@]}" >"$work/configure.log" 2>&1 ||
  { tail -40 "$work/configure.log" >&2; echo "qt-win32: configure failed ($work/configure.log)" >&2; exit 1; }
echo "qt-win32: building (log: $work/build.log)" >&2
cmake --build "$work/build" -j "$(nproc)" >"$work/build.log" 2>&1 ||
  { tail -40 "$work/build.log" >&2; echo "qt-win32: build failed ($work/build.log)" >&2; exit 1; }
cmake --install "$work/build" >"$work/install.log" 2>&1 ||
  { tail -20 "$work/install.log" >&2; echo "qt-win32: install failed" >&2; exit 1; }
touch "$prefix/.complete"
rm -rf "$work"
elapsed=$((SECONDS - start))
echo "qt-win32: built Qt $version for Windows in $((elapsed / 60)) min $((elapsed % 60)) s: $prefix" >&2
echo "$prefix"
