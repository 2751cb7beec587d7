#!/usr/bin/env bash
# Installs what the build and the tests need (Debian 12), only when missing. Idempotent.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev clang-format ccache
  libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
  qt6-base-dev libgl-dev
  xvfb xauth xdotool
  # The 32-bit Windows build (GoogleTest from its sources) and its tests under Wine.
  g++-mingw-w64-i686-posix googletest wine wine32:i386 file unzip
  # The Windows GUI under Wine: Wine's own Tahoma, the dialog font a Windows system has.
  fonts-wine
  # Packages: dpkg-shlibdeps finds the .deb's library dependencies.
  dpkg-dev
  # The line database: PostgreSQL (its tests start a throwaway cluster as the postgres user)
  # reached through unixODBC and the PostgreSQL ODBC driver; the i386 ones serve the .exe
  # under Wine, whose ODBC hands calls to the host's unixODBC.
  postgresql unixodbc-dev odbc-postgresql libodbc2:i386 odbc-postgresql:i386
)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# 32-bit Wine comes from the i386 architecture.
update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  update=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "bootstrap: installing ${missing[*]}" >&2
  update=1
fi
if ((update)); then
  $sudo apt-get update -qq
fi
if ((${#missing[@]})); then
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi
