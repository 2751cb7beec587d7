#!/usr/bin/env bash
# Builds the Debian package from the normal build (build/), unpacks it into a clean folder and
# installs it on this machine with apt, which pulls the Qt libraries it depends on; then runs
# the installed programs and removes the package again. Usage: scripts/package.sh [--keep]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$("$root/scripts/build.sh" | tail -n 1)"

rm -rf "$dir/packages"
(cd "$dir" && cpack -G DEB >/dev/null)
deb="$(ls "$dir"/packages/veltra-config_*.deb)"
echo "Debian package: $deb"
dpkg-deb --info "$deb" | sed -n 's/^ Depends: /Depends: /p'
contents="$(dpkg-deb --contents "$deb")"
for file in ./usr/bin/veltra-config ./usr/bin/veltra-cli \
            ./usr/share/applications/veltra-config.desktop \
            ./usr/share/icons/hicolor/scalable/apps/veltra-config.svg \
            ./usr/share/man/man1/veltra-cli.1 ./usr/share/bash-completion/completions/veltra-cli; do
  grep -q " $file\$" <<<"$contents" || { echo "$deb: no $file" >&2; exit 1; }
done

# Unpacked into a clean folder, the programs run with the system's libraries.
unpacked="$(mktemp -d)"
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
"$unpacked/usr/bin/veltra-cli" --version >/dev/null

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
start=$SECONDS
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
echo "installed in $((SECONDS - start)) s"
version="$(/usr/bin/veltra-cli --version)"
echo "$version"
[ "$version" = "veltra-cli $(sed -n 's/^project(veltra-config VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")" ]
# The GUI's libraries all resolve.
if ldd /usr/bin/veltra-config | grep -q "not found"; then
  ldd /usr/bin/veltra-config | grep "not found" >&2
  exit 1
fi
if [ "${1:-}" != "--keep" ]; then
  DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y -qq veltra-config >/dev/null
fi
