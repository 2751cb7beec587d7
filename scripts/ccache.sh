# Sourced by the build scripts: the compiler cache, when ccache is there (the bootstrap installs
# it). Paths below the checkout are hashed relative to it and the build folder is left out of
# the hash, so every clone of the project shares what another compiled: a CI run on a fresh
# clone rebuilds only what changed. Sets ccache_opts for cmake.
ccache_opts=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
  ccache_opts=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
